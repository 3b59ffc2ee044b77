#include "DemoSuite.h"
#include "IdleWindow.h"
#include "db/SuiteConnection.h"
#include "facade/Factories.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "mail/mrvEmailParams.h"
#include "services/SuiteSession.h"

#include <QTest>

using namespace mrv;

namespace {

class FakeWizard : public testing::IdleWindow<EmailParamsWizard>
{
public:
    static inline bool answer = false;
    static inline QString seenServer;

    void setErrors(std::shared_ptr<host::Errors>) override {}
    void setRecords(std::shared_ptr<host::Records>) override {}
    void setEmailParams(mrvEmailParams *params) override { m_params = params; }
    bool ShowEmailConfig(QWidget *) override
    {
        seenServer = m_params->ServerName_Out;
        m_params->ServerName_Out = QStringLiteral("edited.example");
        return answer;
    }

private:
    mrvEmailParams *m_params = nullptr;
};

} // namespace

// The account of the configuration: keys, prefixes, defaults and scopes.
class EmailParamsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;

    std::unique_ptr<mrvEmailParams> newParams()
    {
        auto params = std::make_unique<mrvEmailParams>();
        params->setRecords(m_suite->session().records());
        params->setErrors(m_suite->session().errors());
        return params;
    }
    static QVariantList fields(const mrvEmailParams &p)
    {
        return {p.Name,          p.Email,        p.ServerType_In,  p.ServerName_In,  p.ServerPort_In,  p.ServerSSL_In,
                p.ServerAuth_In, p.User_In,      p.Password_In,    p.ServerType_Out, p.ServerName_Out, p.ServerPort_Out,
                p.ServerSSL_Out, p.StartTLS_Out, p.ServerAuth_Out, p.User_Out,       p.Password_Out};
    }
    void set(const QString &key, const QString &value) { m_suite->session().config()->setValue(key, value); }
    QString get(const QString &key) { return m_suite->session().config()->value(key, QStringLiteral("<absent>")); }

private Q_SLOTS:
    void init() { m_suite = std::make_unique<testing::DemoSuite>(QStringLiteral("ROSSI"), QStringLiteral("A02")); }

    void missingKeysLoadTheirDefaults()
    {
        auto params = newParams();
        params->ServerPort_Out = 99;
        params->ServerSSL_In = true;
        params->LoadConfig();
        QCOMPARE(params->ServerAuth_Out, qint32(eEmailServerOutAuth_AUTH_LOGIN));
        QCOMPARE(params->ServerPort_Out, 0);
        QCOMPARE(params->ServerType_Out, 0);
        QCOMPARE(params->ServerAuth_In, 0);
        QVERIFY(!params->ServerSSL_In);
        QVERIFY(params->Email.isEmpty());
    }

    void prefixes_data()
    {
        QTest::addColumn<QString>("forFirm");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("effective");
        QTest::newRow("one account") << QString() << QString() << QString();
        QTest::newRow("per company") << QStringLiteral("1") << QString() << QStringLiteral("A02_");
        QTest::newRow("per company, 2 is not 1") << QStringLiteral("2") << QString() << QString();
        QTest::newRow("per company, -1 is not 1") << QStringLiteral("-1") << QString() << QString();
        QTest::newRow("explicit") << QStringLiteral("1") << QStringLiteral("CDO") << QStringLiteral("CDO_");
        QTest::newRow("explicit with _") << QString() << QStringLiteral("CDO_") << QStringLiteral("CDO_");
    }

    void prefixes()
    {
        QFETCH(QString, forFirm);
        QFETCH(QString, prefix);
        QFETCH(QString, effective);
        if (!forFirm.isEmpty())
            set(QStringLiteral("EMAIL_CONFIG_FOR_FIRM"), forFirm);
        set(effective + QStringLiteral("EMAIL"), QStringLiteral("ufficio@") + effective + QStringLiteral("x.example"));
        set(effective + QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("4"));
        auto params = newParams();
        QCOMPARE(params->effectivePrefix(prefix), effective);
        params->LoadConfig(prefix);
        QCOMPARE(params->Email, QStringLiteral("ufficio@") + effective + QStringLiteral("x.example"));
        QCOMPARE(params->ServerAuth_Out, qint32(eEmailServerOutAuth_NTLM));
    }

    void saveThenLoadGivesEveryFieldBack()
    {
        auto params = newParams();
        params->Name = QStringLiteral("Mario Rossi «Vendite»");
        params->Email = QStringLiteral("m.rossi@brambilla.example.it");
        params->ServerType_In = eEmailServerIn_IMAP4;
        params->ServerName_In = QStringLiteral("imap.example");
        params->ServerPort_In = 993;
        params->ServerSSL_In = true;
        params->ServerAuth_In = eEmailServerInAuth_IMAP_CRAM_MD5;
        params->User_In = QStringLiteral("mrossi");
        params->Password_In = QStringLiteral("p'a;s=s -- è");
        params->ServerType_Out = eEmailServerOut_SMTP;
        params->ServerName_Out = QStringLiteral("smtp.example");
        params->ServerPort_Out = 587;
        params->ServerSSL_Out = false;
        params->StartTLS_Out = true;
        params->ServerAuth_Out = eEmailServerOutAuth_None;
        params->User_Out = QStringLiteral("mrossi@example");
        params->Password_Out = QStringLiteral("segreto\"");
        params->SaveConfig(QStringLiteral("ACC"));
        QCOMPARE(get(QStringLiteral("ACC_EMAIL_IN_SSL")), QStringLiteral("-1"));
        QCOMPARE(get(QStringLiteral("ACC_EMAIL_OUT_SSL")), QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("ACC_EMAIL_OUT_TYPE")), QStringLiteral("3"));
        QCOMPARE(get(QStringLiteral("ACC_EMAIL_IN_PASS")), QStringLiteral("p'a;s=s -- è"));

        auto loaded = newParams();
        loaded->LoadConfig(QStringLiteral("ACC"));
        QCOMPARE(fields(*loaded), fields(*params));
    }

    void scopeFlagsOfSaving_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("application");
        QTest::newRow("U") << QStringLiteral("U") << QStringLiteral("ROSSI") << QString();
        QTest::newRow("A") << QStringLiteral("A") << QString() << QStringLiteral("mrv");
        QTest::newRow("G") << QStringLiteral("G") << QString() << QString();
        QTest::newRow("other") << QStringLiteral("u") << QString() << QString();
    }

    void scopeFlagsOfSaving()
    {
        QFETCH(QString, flag);
        QFETCH(QString, user);
        QFETCH(QString, application);
        auto params = newParams();
        params->Email = QStringLiteral("scoped@example");
        params->SaveConfig(QString(), flag);
        const auto rows = m_suite->session().connection()->query(
            QStringLiteral("SELECT CFUSR, CFAPP FROM SYS_CFG WHERE CFKEY = 'EMAIL'"));
        QCOMPARE(rows.rows.size(), 1);
        QCOMPARE(rows.rows.first().at(0).toString(), user);
        QCOMPARE(rows.rows.first().at(1).toString(), application);
    }

    void showConfigHandsTheWizardThisObject()
    {
        Factories::add(EmailParamsWizard::factoryName(), [] { return std::make_unique<FakeWizard>(); });
        auto params = newParams();
        params->ServerName_Out = QStringLiteral("before.example");
        FakeWizard::answer = true;
        QVERIFY(params->ShowConfig(nullptr));
        QCOMPARE(FakeWizard::seenServer, QStringLiteral("before.example"));
        QCOMPARE(params->ServerName_Out, QStringLiteral("edited.example"));
        WindowRegistry::instance().windows().first()->unload();
        Factories::removeFactory(EmailParamsWizard::factoryName());
        QVERIFY(!params->ShowConfig(nullptr));
        QCOMPARE(m_suite->session().errors()->recentReports().last().procedure, QStringLiteral("ShowConfig"));
    }

    void withoutRecordsTheFailureIsReported()
    {
        mrvEmailParams params;
        params.setErrors(m_suite->session().errors());
        params.LoadConfig();
        params.SaveConfig();
        const auto reports = m_suite->session().errors()->recentReports();
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.at(0).object, QStringLiteral("mrvEmailParams"));
        QCOMPARE(reports.at(0).procedure, QStringLiteral("LoadConfig"));
        QCOMPARE(reports.at(1).procedure, QStringLiteral("SaveConfig"));
    }
};

QTEST_GUILESS_MAIN(EmailParamsTest)
#include "tst_emailparams.moc"
