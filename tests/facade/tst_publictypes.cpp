#include "facade/Guard.h"

#include <QTest>

#include <functional>
#include <stdexcept>

using namespace mrv;

namespace {

// Errors that abandons and remembers what it was told.
class RecordingErrors : public host::Errors
{
public:
    QStringList reports;

    qint32 report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                  qint32 flag) override
    {
        reports << QStringLiteral("%1.%2: %3 (%4, %5)").arg(object, procedure, description).arg(number).arg(flag);
        return host::eaAbandon;
    }
};

using Throw = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Throw)

// The guard is the one error trap of every public operation: whatever is
// thrown, it is reported and the operation returns its failure value.
class PublicTypesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void guardReportsEveryFailure_data()
    {
        QTest::addColumn<Throw>("fail");
        QTest::addColumn<QString>("report");
        QTest::newRow("failure") << Throw([] { throw Failure(QStringLiteral("disk full"), 61); })
                                 << "mrvMessage.OpenRecord: disk full (61, 0)";
        QTest::newRow("standard exception")
            << Throw([] { throw std::runtime_error("boom"); }) << "mrvMessage.OpenRecord: boom (0, 0)";
        QTest::newRow("anything else") << Throw([] { throw 42; }) << "mrvMessage.OpenRecord: Unknown error (0, 0)";
    }

    void guardReportsEveryFailure()
    {
        QFETCH(Throw, fail);
        QFETCH(QString, report);
        RecordingErrors errors;
        const auto failing = [&]() -> QString {
            fail();
            return QStringLiteral("done");
        };
        QCOMPARE(guarded(&errors, QStringLiteral("mrvMessage"), "OpenRecord", QStringLiteral("failed"), failing),
                 QStringLiteral("failed"));
        QVERIFY(!guardedVoid(&errors, QStringLiteral("mrvMessage"), "OpenRecord", fail));
        QCOMPARE(errors.reports, (QStringList{report, report}));
        QCOMPARE(guarded(nullptr, QStringLiteral("mrvMessage"), "OpenRecord", QStringLiteral("failed"), failing),
                 QStringLiteral("failed"));
    }

    void guardPassesSuccessThrough()
    {
        RecordingErrors errors;
        QCOMPARE(guarded(&errors, QStringLiteral("mrvSMTP"), "Send", 0, [] { return 7; }), 7);
        QVERIFY(guardedVoid(&errors, QStringLiteral("mrvSMTP"), "Reset", [] {}));
        QVERIFY(errors.reports.isEmpty());
    }
};

QTEST_GUILESS_MAIN(PublicTypesTest)
#include "tst_publictypes.moc"
