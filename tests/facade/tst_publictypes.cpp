#include "facade/Guard.h"
#include "facade/Types.h"

#include <QTest>

#include <stdexcept>

using namespace mrv;

namespace {

// Errors that answers from a script and remembers what it was told.
class ScriptedErrors : public host::Errors
{
public:
    QList<qint32> answers;
    QStringList reports;

    qint32 report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                  qint32 flag) override
    {
        reports << QStringLiteral("%1.%2: %3 (%4, %5)").arg(object, procedure, description).arg(number).arg(flag);
        return answers.isEmpty() ? host::eaAbandon : answers.takeFirst();
    }
};

} // namespace

// The numeric values cross the boundary and are stored in the database, so
// each one is fixed; the guard is the one error trap of every public operation.
class PublicTypesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void enumerationValues_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        const QList<QPair<const char *, QPair<int, int>>> values = {
            {"mstPublic", {mstPublic, 4}},
            {"mstNotification", {mstNotification, 5}},
            {"mspHigh", {mspHigh, 2}},
            {"msfTrash", {msfTrash, 3}},
            {"mssReplied", {mssReplied, 3}},
            {"tksRejected", {tksRejected, 6}},
            {"eiiStore", {eiiStore, 1}},
            {"eiiJunk", {eiiJunk, 7}},
            {"eEmailServerIn_Exchange", {eEmailServerIn_Exchange, 92}},
            {"eEmailServerOut_SMTP", {eEmailServerOut_SMTP, 3}},
            {"eEmailServerOut_Outlook", {eEmailServerOut_Outlook, 91}},
            {"eEmailServerOutAuth_NTLM", {eEmailServerOutAuth_NTLM, 4}},
            {"eEmailServerInAuth_IMAP_NTLM", {eEmailServerInAuth_IMAP_NTLM, 4}},
            {"eEmailServerInAuth_POP_APOP", {eEmailServerInAuth_POP_APOP, 16}},
            {"eEmailServerInAuth_POP_Automatic", {eEmailServerInAuth_POP_Automatic, 256}},
            {"eDatasetLinkedField_None", {eDatasetLinkedField_None, -1}},
            {"eDatasetLinkedField_Attachment", {eDatasetLinkedField_Attachment, 3}},
            {"eMessageBodyFormat_RTF", {eMessageBodyFormat_RTF, 2}},
            {"eMessageBodyFormat_XML", {eMessageBodyFormat_XML, 8}},
            {"eMessageProprity_High", {eMessageProprity_High, 1}},
            {"eMessageProprity_Low", {eMessageProprity_Low, 4}},
            {"eMessageRecipient_Ccn", {eMessageRecipient_Ccn, 3}},
        };
        for (const auto &[name, pair] : values)
            QTest::newRow(name) << pair.first << pair.second;
    }

    void enumerationValues()
    {
        QFETCH(int, value);
        QFETCH(int, expected);
        QCOMPARE(value, expected);
    }

    void enumerationsAre32Bit()
    {
        static_assert(sizeof(mrv_eMessageType) == 4 && sizeof(qd_eEmailServerInAuthType_POP) == 4);
        QCOMPARE(toAutomationBoolean(true), qint16(-1));
        QCOMPARE(toAutomationBoolean(false), qint16(0));
    }

    void nullIsNotEmpty()
    {
        QVERIFY(isNull(mrv::null()));
        QVERIFY(!isNull(QVariant()));
        QVERIFY(!isNull(QVariant(0)));
    }

    void guardReportsAndReturnsTheFailureValue_data()
    {
        QTest::addColumn<QList<qint32>>("answers");
        QTest::addColumn<int>("failuresBeforeSuccess");
        QTest::addColumn<int>("expectedCalls");
        QTest::addColumn<QString>("expectedResult");
        QTest::newRow("abandon") << QList<qint32>{2} << 1 << 1 << QString();
        QTest::newRow("resume next abandons") << QList<qint32>{0} << 1 << 1 << QString();
        QTest::newRow("retry abandons: the operation is never run twice") << QList<qint32>{1} << 1 << 1 << QString();
        QTest::newRow("no failure") << QList<qint32>{} << 0 << 1 << QStringLiteral("done");
    }

    void guardReportsAndReturnsTheFailureValue()
    {
        QFETCH(QList<qint32>, answers);
        QFETCH(int, failuresBeforeSuccess);
        QFETCH(int, expectedCalls);
        QFETCH(QString, expectedResult);
        ScriptedErrors errors;
        errors.answers = answers;
        int calls = 0;
        const QString result =
            guarded(&errors, QStringLiteral("mrvMessage"), "OpenRecord", QString(), [&]() -> QString {
                if (calls++ < failuresBeforeSuccess)
                    throw Failure(QStringLiteral("disk full"), 61);
                return QStringLiteral("done");
            });
        QCOMPARE(result, expectedResult);
        QCOMPARE(calls, expectedCalls);
        QCOMPARE(errors.reports.size(), qMin(failuresBeforeSuccess, expectedCalls));
        if (!errors.reports.isEmpty())
            QCOMPARE(errors.reports.first(), QStringLiteral("mrvMessage.OpenRecord: disk full (61, 0)"));
    }

    void guardCatchesEveryException()
    {
        ScriptedErrors errors;
        QVERIFY(!guardedVoid(&errors, QStringLiteral("mrvSMTP"), "Send", [] { throw std::runtime_error("boom"); }));
        QVERIFY(!guardedVoid(&errors, QStringLiteral("mrvSMTP"), "Send", [] { throw 42; }));
        QVERIFY(guardedVoid(nullptr, QStringLiteral("mrvSMTP"), "Reset", [] {}));
        QCOMPARE(
            guarded(nullptr, QStringLiteral("x"), "y", false, []() -> bool { throw Failure(QStringLiteral("z")); }),
            false);
        QCOMPARE(errors.reports.size(), 2);
        QVERIFY(errors.reports.first().contains(QLatin1String("boom")));
    }
};

QTEST_GUILESS_MAIN(PublicTypesTest)
#include "tst_publictypes.moc"
