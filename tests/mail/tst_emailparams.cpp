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
        m_params->ServerName_Out = u"edited.example"_qs;
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
    QString get(const QString &key) { return m_suite->session().config()->value(key, u"<absent>"_qs); }

private Q_SLOTS:
    void init() { m_suite = std::make_unique<testing::DemoSuite>(u"ROSSI"_qs, u"A02"_qs); }

    void prefixes_data()
    {
        QTest::addColumn<QString>("forFirm");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("effective");
        QTest::newRow("one account") << QString() << QString() << QString();
        QTest::newRow("per company") << u"1"_qs << QString() << u"A02_"_qs;
        QTest::newRow("per company, 2 is not 1") << u"2"_qs << QString() << QString();
        QTest::newRow("explicit") << u"1"_qs << u"CDO"_qs << u"CDO_"_qs;
        QTest::newRow("explicit with _") << QString() << u"CDO_"_qs << u"CDO_"_qs;
    }

    void prefixes()
    {
        QFETCH(QString, forFirm);
        QFETCH(QString, prefix);
        QFETCH(QString, effective);
        if (!forFirm.isEmpty())
            set(u"EMAIL_CONFIG_FOR_FIRM"_qs, forFirm);
        set(effective + u"EMAIL"_qs, u"ufficio@"_qs + effective + u"x.example"_qs);
        set(effective + u"EMAIL_OUT_AUTH"_qs, u"4"_qs);
        auto params = newParams();
        QCOMPARE(params->effectivePrefix(prefix), effective);
        params->LoadConfig(prefix);
        QCOMPARE(params->Email, u"ufficio@"_qs + effective + u"x.example"_qs);
        QCOMPARE(params->ServerAuth_Out, qint32(eEmailServerOutAuth_NTLM));
    }

    void saveThenLoadGivesEveryFieldBackOrItsDefault()
    {
        auto params = newParams();
        params->Name = u"Mario Rossi «Vendite»"_qs;
        params->Email = u"m.rossi@brambilla.example.it"_qs;
        params->ServerType_In = eEmailServerIn_IMAP4;
        params->ServerName_In = u"imap.example"_qs;
        params->ServerPort_In = 993;
        params->ServerSSL_In = true;
        params->ServerAuth_In = eEmailServerInAuth_IMAP_CRAM_MD5;
        params->User_In = u"mrossi"_qs;
        params->Password_In = u"p'a;s=s -- è"_qs;
        params->ServerType_Out = eEmailServerOut_SMTP;
        params->ServerName_Out = u"smtp.example"_qs;
        params->ServerPort_Out = 587;
        params->ServerSSL_Out = false;
        params->StartTLS_Out = true;
        params->ServerAuth_Out = eEmailServerOutAuth_None;
        params->User_Out = u"mrossi@example"_qs;
        params->Password_Out = u"segreto\""_qs;
        params->SaveConfig(u"ACC"_qs);
        QCOMPARE(get(u"ACC_EMAIL_IN_SSL"_qs), u"-1"_qs);
        QCOMPARE(get(u"ACC_EMAIL_OUT_SSL"_qs), u"0"_qs);
        QCOMPARE(get(u"ACC_EMAIL_OUT_TYPE"_qs), u"3"_qs);
        QCOMPARE(get(u"ACC_EMAIL_IN_PASS"_qs), u"p'a;s=s -- è"_qs);

        auto loaded = newParams();
        loaded->LoadConfig(u"ACC"_qs);
        QCOMPARE(fields(*loaded), fields(*params));
        // Keys missing from the configuration load their defaults.
        loaded->LoadConfig(u"NONE"_qs);
        mrvEmailParams defaults;
        defaults.ServerAuth_Out = eEmailServerOutAuth_AUTH_LOGIN;
        QCOMPARE(fields(*loaded), fields(defaults));
    }

    void scopeFlagsOfSaving_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("application");
        QTest::newRow("U") << u"U"_qs << u"ROSSI"_qs << QString();
        QTest::newRow("A") << u"A"_qs << QString() << u"mrv"_qs;
        QTest::newRow("other") << u"u"_qs << QString() << QString();
    }

    void scopeFlagsOfSaving()
    {
        QFETCH(QString, flag);
        QFETCH(QString, user);
        QFETCH(QString, application);
        auto params = newParams();
        params->Email = u"scoped@example"_qs;
        params->SaveConfig(QString(), flag);
        const auto rows =
            m_suite->session().connection()->query(u"SELECT CFUSR, CFAPP FROM SYS_CFG WHERE CFKEY = 'EMAIL'"_qs);
        QCOMPARE(rows.rows.size(), 1);
        QCOMPARE(rows.rows.first().at(0).toString(), user);
        QCOMPARE(rows.rows.first().at(1).toString(), application);
    }

    void showConfigHandsTheWizardThisObjectAndFailuresAreReported()
    {
        Factories::add(EmailParamsWizard::factoryName(), [] { return std::make_unique<FakeWizard>(); });
        auto params = newParams();
        params->ServerName_Out = u"before.example"_qs;
        FakeWizard::answer = true;
        QVERIFY(params->ShowConfig(nullptr));
        QCOMPARE(FakeWizard::seenServer, u"before.example"_qs);
        QCOMPARE(params->ServerName_Out, u"edited.example"_qs);
        WindowRegistry::instance().windows().first()->unload();
        Factories::removeFactory(EmailParamsWizard::factoryName());
        QVERIFY(!params->ShowConfig(nullptr));
        // Without the host's Records nothing can be read or written either.
        mrvEmailParams withoutRecords;
        withoutRecords.setErrors(m_suite->session().errors());
        withoutRecords.LoadConfig();
        withoutRecords.SaveConfig();
        QStringList reported;
        for (const auto &report : m_suite->session().errors()->recentReports())
            reported << report.object + '.' + report.procedure;
        QCOMPARE(reported.join(' '),
                 u"mrvEmailParams.ShowConfig mrvEmailParams.LoadConfig mrvEmailParams.SaveConfig"_qs);
    }
};

QTEST_GUILESS_MAIN(EmailParamsTest)
#include "tst_emailparams.moc"
