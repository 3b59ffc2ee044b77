#include "DemoSuite.h"
#include "TemplateRows.h"
#include "TestDatabase.h"

#include "db/SuiteConnection.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/richtext/RtfReader.h"
#include "services/SuiteSession.h"
#include "templates/mrvTemplate.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <QTextDocument>

using namespace mrv;
using namespace mrv::suite;

namespace {

// Braces, backslashes, a control word, a line end and non-Latin letters,
// all of which a rendered text must show as they are.
const QString kAwkwardName = QStringLiteral("{Rossi} \\par C:\\dir\r\nΩ 漢");

const QString kBody =
    QStringLiteral("{\\rtf1\\ansi Caro {\\field{\\*\\fldinst MERGEFIELD CORAS}{\\fldrslt [CORAS]}}, da "
                   "{\\field{\\*\\fldinst MERGEFIELD PARAM_USER_FULLNAME}{\\fldrslt [PARAM_USER_FULLNAME]}} "
                   "{\\field{\\*\\fldinst MERGEFIELD NOPE}{\\fldrslt [NOPE]}}\\par}");

} // namespace

// Templates parsed for the keys of demo customers and rendered per message,
// with a template and two datasets of the test's own.
class TemplateParseTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    qint32 m_template = 0;
    QStringList m_keys;  // RECORD_IDs of the first three customers by code
    QStringList m_codes; // their codes
    QStringList m_names; // their names

    SuiteSession &session() const { return m_suite->session(); }

    std::unique_ptr<mrvTemplate> newTemplate() const
    {
        return session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        db::SuiteConnection &connection = *session().connection();
        const auto customers =
            connection.query(QStringLiteral("SELECT TOP 3 RECORD_ID, CDCON, CORAS FROM A01_CON_TRO ORDER BY CDCON"));
        for (const QVariantList &row : customers.rows)
            m_keys << row.at(0).toString(), m_codes << row.at(1).toString(), m_names << row.at(2).toString();
        m_names[0] = kAwkwardName;
        connection.query(QStringLiteral("UPDATE A01_CON_TRO SET CORAS = '%1' WHERE RECORD_ID = %2")
                             .arg(QString(kAwkwardName).replace(QLatin1Char('\''), QLatin1String("''")), m_keys.at(0)));
        const qint32 customerDataset = testing::addDataset(
            connection, QStringLiteral("CON_TRO"),
            QStringLiteral("SELECT CDCON, CORAS FROM A01_CON_TRO WHERE RECORD_ID IN (@) ORDER BY CDCON"),
            QStringLiteral("CDCON"));
        const qint32 other =
            testing::addDataset(connection, QStringLiteral("DOC_VEN"), QStringLiteral("SELECT 'altro' AS CORAS"));
        m_template = testing::addTemplate(connection, kBody, {customerDataset, other});
    }

    void init() { session().errors()->clearRecentReports(); }

    void parse_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("expectedCodes"); // "-" for no result at all
        QTest::addColumn<bool>("reported");
        const QStringList all = m_codes;
        QTest::newRow("list") << "CON_TRO" << m_keys.join(QLatin1Char(',')) << "," << all << false;
        QTest::newRow("own separator") << "con_tro" << m_keys.mid(0, 2).join(QLatin1Char(';')) << ";"
                                       << m_codes.mid(0, 2) << false;
        QTest::newRow("as variants") << "CON_TRO" << m_keys.at(1) << "" << m_codes.mid(1, 1) << false;
        QTest::newRow("no rows") << "CON_TRO"
                                 << "0"
                                 << "," << QStringList() << false;
        QTest::newRow("no dataset for the table") << "AGE_NTI"
                                                  << "1"
                                                  << "," << QStringList{"-"} << false;
        QTest::newRow("not a number") << "CON_TRO"
                                      << "1,x"
                                      << "," << QStringList{"-"} << true;
    }
    void parse()
    {
        QFETCH(QString, table);
        QFETCH(QString, keys);
        QFETCH(QString, separator);
        QFETCH(QStringList, expectedCodes);
        QFETCH(bool, reported);
        auto filler = newTemplate();
        QList<QVariant> variants{keys};
        std::shared_ptr<mrvTemplateFields> fields =
            separator.isEmpty() ? filler->Parse(m_template, table, variants)
                                : std::dynamic_pointer_cast<mrvTemplateFields>(
                                      filler->ParseFromList(m_template, table, keys, separator));
        QCOMPARE(session().errors()->recentReports().size(), reported ? 1 : 0);
        QCOMPARE(!fields, expectedCodes == QStringList{"-"});
        if (!fields)
            return;
        QCOMPARE(fields->Count(), expectedCodes.size());
        // The fields of the table's own dataset, not those it shares with the other.
        QCOMPARE(fields->FieldsCount(), expectedCodes.isEmpty() ? 0 : 3);
        for (qint32 message = 1; message <= fields->Count(); ++message) {
            const QList<mrvTemplateField> row = fields->Fields(message);
            QCOMPARE(row.last().Name(), QStringLiteral("PARAM_USER_FULLNAME"));
            QCOMPARE(row.last().Value(), session().users()->userName());
            QCOMPARE(row.last().Linked(), eDatasetLinkedField_None);
            QCOMPARE(row.first().Value(), expectedCodes.at(message - 1));
            QCOMPARE(row.first().Linked(), eDatasetLinkedField_Customer);
        }
    }

    // Each message's body with the fields turned into its values, as text:
    // a field matching no column shows its name.
    void replaceFields_data()
    {
        QTest::addColumn<qint32>("index");
        QTest::addColumn<QList<qint32>>("expectedMessages"); // none: the call fails
        QTest::newRow("every message") << 0 << QList<qint32>{0, 1};
        QTest::newRow("the last") << 2 << QList<qint32>{1};
        QTest::newRow("past the last") << 3 << QList<qint32>();
        QTest::newRow("below zero") << -1 << QList<qint32>();
    }
    void replaceFields()
    {
        QFETCH(qint32, index);
        QFETCH(QList<qint32>, expectedMessages);
        auto filler = newTemplate();
        auto fields = filler->ParseFromList(m_template, QStringLiteral("CON_TRO"), m_keys.mid(0, 2).join(","));
        QList<QByteArray> rendered{"left over"};
        QCOMPARE(filler->ReplaceFields(fields.get(), rendered, "SYS_MST", "MTTEM", "RECORD_ID",
                                       QString::number(m_template), 2, 5, index),
                 !expectedMessages.isEmpty());
        QCOMPARE(rendered.size(), expectedMessages.size());
        for (qsizetype i = 0; i < rendered.size(); ++i) {
            const auto document = richtext::readRtf(rendered.at(i));
            QVERIFY(richtext::findFields(*document).isEmpty());
            QCOMPARE(document->blockCount(), 1); // a line end in a value opens no paragraph
            const QString name = QString(m_names.at(expectedMessages.at(i))).replace("\r\n", "\n");
            QCOMPARE(document->toPlainText(),
                     QStringLiteral("Caro %1, da %2 NOPE").arg(name, session().users()->userName()));
        }
    }

    // The first selected type with an address supplies it; the customer's
    // channel picks the list of the To entry.
    void recipients_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QStringList>("expected"); // To, To e-mail, To fax, Cc
        QTest::newRow("e-mail") << "EM" << QStringList{"p@x.it", "p@x.it", "0212345", "cc@x.it"};
        QTest::newRow("fax") << "FX" << QStringList{"0212345", "p@x.it", "0212345", "cc@x.it"};
    }
    void recipients()
    {
        QFETCH(QString, channel);
        QFETCH(QStringList, expected);
        const char *statements[] = {
            "DELETE FROM A01_IND_WEB WHERE TBKEY = '%1'",
            "DELETE FROM A01_NUM_TEL WHERE TBKEY = '%1'",
            "INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBDES, WBIND) VALUES ('CON_TRO', '%1', '@ Ufficio', 'u@x.it')",
            "INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBDES, WBIND) VALUES ('CON_TRO', '%1', '@ Principale', 'p@x.it')",
            "INSERT INTO A01_NUM_TEL (TBNAM, TBKEY, NRDES, NRTEL) VALUES ('CON_TRO', '%1', 'Fax (uff.)', '0212345')",
            "UPDATE A01_CON_TRO SET COMID = '%2' WHERE CDCON = '%1'",
            "UPDATE SYS_MST SET MTREC = '-3|1|99|2', MTCCC = 'cc@x.it', MTAGE = 1 WHERE RECORD_ID = %3"};
        for (const char *statement : statements)
            session().connection()->query(QString::fromUtf8(statement)
                                              .replace("%1", m_codes.at(0))
                                              .replace("%2", channel)
                                              .replace("%3", QString::number(m_template)));
        auto filler = newTemplate();
        auto fields = filler->ParseFromList(m_template, QStringLiteral("CON_TRO"), m_keys.at(0));
        QStringList to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax;
        QVERIFY(filler->GetRecipients(fields.get(), to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax));
        QCOMPARE(to + toEmail + toFax + cc, expected);
        QCOMPARE(ccn, QStringList{QString()});
        // The template's order (an unknown code left out), then the others by value.
        QList<mrv_tRecipientType> types;
        QVERIFY(!filler->GetRecipientsTypeList(m_template, types).isValid());
        QCOMPARE((QList<qint32>{types.at(0).Code, types.at(1).Code, types.at(2).Code, types.at(3).Code}),
                 (QList<qint32>{3, 1, 2, 4}));
        QCOMPARE((QList<bool>{types.at(0).Selected, types.at(1).Selected, types.at(3).Selected}),
                 (QList<bool>{false, true, false}));
    }

    // The demo sales template puts each document's agent in Cc by the only
    // agent type it selects, an e-mail slot: the slot's address and no fax,
    // agents shared by several documents included.
    void agentsInCc()
    {
        const auto documents = session().connection()->query(QStringLiteral(
            "SELECT D.RECORD_ID, D.DTAGE, W.WBIND FROM A01_DOC_VEN D JOIN A01_IND_WEB W ON W.TBNAM = 'AGE_NTI' "
            "AND W.TBKEY = D.DTAGE AND W.WBDES = '@ Principale'"));
        QList<qint32> keys;
        QHash<QString, QString> addressOfAgent;
        for (const QVariantList &row : documents.rows)
            keys << row.at(0).toInt(), addressOfAgent.insert(row.at(1).toString(), row.at(2).toString());
        QVERIFY(keys.size() > addressOfAgent.size());
        auto filler = newTemplate();
        auto fields = filler->ParseFromArray(1, QStringLiteral("DOC_VEN"), keys);
        QStringList to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax;
        QVERIFY(filler->GetRecipients(fields.get(), to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax));
        QStringList expected;
        for (qint32 message = 1; message <= fields->Count(); ++message) {
            for (const mrvTemplateField &field : fields->Fields(message)) {
                if (field.Name() == QLatin1String("Agente"))
                    expected << addressOfAgent.value(field.Value());
            }
        }
        QCOMPARE(expected.size(), keys.size());
        QCOMPARE(ccEmail, expected);
        QCOMPARE(ccFax, QStringList(keys.size(), QString()));
    }

    // Filled for all the demo's documents at once, every message gets the
    // lists it gets on its own, with the address book resolving addresses,
    // numbers, codes and names.
    void recipientsOfAllMessagesAtOnce_data()
    {
        QTest::addColumn<QString>("types");
        QTest::addColumn<int>("agentIn");
        QTest::addColumn<bool>("otherAgents");
        QTest::newRow("customer slots, agent in Cc") << "1|2|-7|19" << 1 << false;
        QTest::newRow("contacts, sites, agents' numbers in To")
            << "7|8|9|10|11|12|13|14|15|16|17|18|20|25|26" << 0 << true;
        QTest::newRow("slots and a site, agent in Ccn") << "2|6|22|27|19|3|11" << 2 << true;
        QTest::newRow("contacts by flag, sites by type") << "9|13|1|2" << 1 << false;
    }
    void recipientsOfAllMessagesAtOnce()
    {
        QFETCH(QString, types);
        QFETCH(int, agentIn);
        QFETCH(bool, otherAgents);
        db::SuiteConnection &connection = *session().connection();
        const auto forget = qScopeGuard([&] {
            connection.query(
                QStringLiteral("DELETE FROM SYS_CFG WHERE UPPER(CFKEY) IN ('EXCHANGE_MODE', 'FAX_SERVER')"));
        });
        session().config()->setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
        session().config()->setValue(QStringLiteral("FAX_SERVER"), QStringLiteral("FAXSRV"));
        const qint32 sales = testing::addTemplate(connection, kBody, {1});
        connection.query(QStringLiteral("UPDATE SYS_MST SET MTREC = '%1', MTAGE = %2, MTAGN = %3, "
                                        "MTCCC = 'ROSSI; vendite; Capo <ROSSI>', MTCCN = 'x@y.it; 06 1234567; greco' "
                                        "WHERE RECORD_ID = %4")
                             .arg(types)
                             .arg(agentIn)
                             .arg(otherAgents ? 1 : 0)
                             .arg(sales));
        QList<qint32> keys;
        for (const QVariantList &row : connection.query(QStringLiteral("SELECT RECORD_ID FROM A01_DOC_VEN")).rows)
            keys << row.at(0).toInt();
        auto filler = newTemplate();
        auto fields = filler->ParseFromArray(sales, QStringLiteral("DOC_VEN"), keys);
        QCOMPARE(fields->Count(), keys.size());
        QList<QStringList> all(9);
        QVERIFY(filler->GetRecipients(fields.get(), all[0], all[1], all[2], all[3], all[4], all[5], all[6], all[7],
                                      all[8]));
        QVERIFY(all[1].count(QString()) + all[2].count(QString()) < keys.size());
        QList<QList<QStringList>> alone;
        bool eachAlone = true;
        for (qint32 message = 1; message <= fields->Count(); ++message) {
            QList<QStringList> &one = alone.emplaceBack(9);
            eachAlone = filler->GetRecipients(fields.get(), one[0], one[1], one[2], one[3], one[4], one[5], one[6],
                                              one[7], one[8], message) &&
                        eachAlone;
        }
        QVERIFY(eachAlone);
        for (qsizetype message = 0; message < alone.size(); ++message) {
            for (qsizetype list = 0; list < all.size(); ++list)
                QCOMPARE(alone.at(message).at(list), QStringList{all.at(list).at(message)});
        }
    }

    // A report's file is named after the attachment-linked column: a name
    // that climbs out, names a system file or a device stays a file of the
    // product's temp folder.
    void reportFileStaysInTheTempFolder_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"../../x", "/etc/passwd", "con"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void reportFileStaysInTheTempFolder()
    {
        QFETCH(QString, name);
        session().connection()->nativeQuery(QStringLiteral("UPDATE A01_DOC_VEN SET DTDES = ? WHERE RECORD_ID = 1"),
                                            {name});
        auto filler = newTemplate();
        QList<qint32> keys{1};
        auto fields = filler->ParseFromArray(1, QStringLiteral("DOC_VEN"), keys);
        QStringList reports;
        QString code, table, printed;
        QVERIFY(filler->GetReports(fields.get(), reports, {}, code, table, printed));
        QCOMPARE(reports.size(), 1);
        const QString temp = QFileInfo(session().paths()->productFolder(QStringLiteral("Temp"))).canonicalFilePath();
        const QFileInfo report(reports.first());
        QVERIFY2(report.isFile(), qPrintable(reports.first()));
        QVERIFY2(report.canonicalFilePath().startsWith(temp + u'/'), qPrintable(report.canonicalFilePath()));
    }
};

QTEST_MAIN(TemplateParseTest)
#include "tst_templateparse.moc"
