#include "DemoSuite.h"
#include "IdleWindow.h"
#include "db/SuiteConnection.h"
#include "facade/ComServer.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/mrvMessage.h"
#include "messages/MessageStore.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <functional>

using namespace mrv;

namespace {

// The platform's HRESULT values, written out here rather than taken from the
// component: they are what a host compares against.
const int32_t kOk = 0;
const int32_t kFalse = 1;
const int32_t kPointer = int32_t(0x80004003);
const int32_t kClassNotAvailable = int32_t(0x80040111);
const int32_t kRegistrationFailed = int32_t(0x80040201);

const char *const kMessageName = "MerovanComMessage.mrvMessage";

using GetClassObjectFunction = int32_t (*)(const char *, void **);
using NoArgumentFunction = int32_t (*)();

// The entry points as a host reaches them: by their plain C names in the
// process's global symbol table.
template <typename Function> Function exported(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

int32_t getClassObject(const char *classId, void **factory)
{
    return exported<GetClassObjectFunction>("DllGetClassObject")(classId, factory);
}

int32_t canUnloadNow()
{
    return exported<NoArgumentFunction>("DllCanUnloadNow")();
}

int32_t registerServer()
{
    return exported<NoArgumentFunction>("DllRegisterServer")();
}

int32_t unregisterServer()
{
    return exported<NoArgumentFunction>("DllUnregisterServer")();
}

ClassFactory *factoryOf(const char *classId)
{
    void *factory = nullptr;
    return getClassObject(classId, &factory) == kOk ? static_cast<ClassFactory *>(factory) : nullptr;
}

QString libraryFileOf(const char *symbol)
{
    Dl_info info{};
    if (dladdr(dlsym(RTLD_DEFAULT, symbol), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}

// A loaded window that does nothing: enough for the registry to hold.
using IdleWindow = testing::IdleWindow<ComponentWindow>;

// Something that keeps the component loaded for as long as it is held.
using Holder = std::function<std::shared_ptr<void>()>;

std::shared_ptr<void> liveObject()
{
    return std::shared_ptr<ComObject>(factoryOf(kMessageName)->CreateInstance());
}

std::shared_ptr<void> lockedFactory()
{
    ClassFactory *factory = factoryOf(kMessageName);
    factory->LockServer(true);
    return std::shared_ptr<void>(nullptr, [factory](void *) { factory->LockServer(false); });
}

std::shared_ptr<void> loadedWindow()
{
    ComponentWindow *window = WindowRegistry::instance().add(std::make_unique<IdleWindow>());
    return std::shared_ptr<void>(nullptr, [window](void *) { window->unload(); });
}

std::shared_ptr<void> hostSession()
{
    return std::make_shared<testing::DemoSuite>();
}

// Group -> key -> value, everything a registry file holds.
QMap<QString, QVariantMap> registryContents(const QString &path)
{
    QSettings registry(path, QSettings::IniFormat);
    QMap<QString, QVariantMap> contents;
    for (const QString &key : registry.allKeys()) {
        const QString group = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, -2) : QString();
        contents[group].insert(key.section(QLatin1Char('/'), -1), registry.value(key));
    }
    return contents;
}

// Entries of other libraries, including one whose name begins like ours.
QMap<QString, QVariantMap> unrelatedEntries()
{
    return {
        {QString(), {{QStringLiteral("Owner"), QStringLiteral("Officine Brambilla")}}},
        {QStringLiteral("Idrano.COM.Database"),
         {{QStringLiteral("CLSID"), QStringLiteral("{0D9A5E21-3C47-4B8E-9F11-7A2B6C3D4E5F}")},
          {QStringLiteral("InprocServer32"), QStringLiteral("/opt/idrano/lib/libdatabase.so")}}},
        {QStringLiteral("MerovanComMessage.mrvMessageLegacy"),
         {{QStringLiteral("CLSID"), QStringLiteral("{11111111-2222-3333-4444-555555555555}")}}},
    };
}

void writeEntries(const QString &path, const QMap<QString, QVariantMap> &entries)
{
    QSettings registry(path, QSettings::IniFormat);
    for (auto group = entries.cbegin(); group != entries.cend(); ++group) {
        const QString prefix = group.key().isEmpty() ? QString() : group.key() + QLatin1Char('/');
        for (auto value = group->cbegin(); value != group->cend(); ++value)
            registry.setValue(prefix + value.key(), value.value());
    }
}

QMap<QString, QVariantMap> withoutClassesOf(QMap<QString, QVariantMap> contents)
{
    for (const auto &factory : classFactories())
        contents.remove(factory->progId());
    return contents;
}

} // namespace

Q_DECLARE_METATYPE(Holder)

// The component's exported entry points, found and called the way a host
// does, with the registry file in a temporary folder.
class ComServerTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString useRegistry(const QString &relativePath)
    {
        const QString path = m_dir.filePath(relativePath);
        qputenv("MRV_REGISTRY", QFile::encodeName(path));
        return path;
    }

private Q_SLOTS:
    void cleanup() { qunsetenv("MRV_REGISTRY"); }

    void entryPointsAreExportedWithCLinkage_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void entryPointsAreExportedWithCLinkage()
    {
        QFETCH(QString, name);
        const QByteArray symbol = name.toLatin1();
        void *global = dlsym(RTLD_DEFAULT, symbol.constData());
        QVERIFY2(global, dlerror());
        Dl_info info{};
        QVERIFY(dladdr(global, &info) != 0);
        QCOMPARE(QString::fromLatin1(info.dli_sname), name);
        QVERIFY(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName().startsWith(QLatin1String("libmrv.so")));

        void *library = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        QVERIFY2(library, dlerror());
        QCOMPARE(dlsym(library, symbol.constData()), global);
        dlclose(library);
    }

    void classObjectByNameOrClassId_data()
    {
        QTest::addColumn<QByteArray>("classId");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("className");
        const QByteArray messageId = factoryOf(kMessageName)->classId().toLatin1();
        QTest::newRow("registered name") << QByteArray(kMessageName) << kOk << QStringLiteral("mrvMessage");
        QTest::newRow("registered name in other case")
            << QByteArray("merovancommessage.MRVMESSAGE") << kOk << QStringLiteral("mrvMessage");
        QTest::newRow("class id") << messageId << kOk << QStringLiteral("mrvMessage");
        QTest::newRow("class id in lower case") << messageId.toLower() << kOk << QStringLiteral("mrvMessage");
        QTest::newRow("class name without the library") << QByteArray("mrvMessage") << kClassNotAvailable << QString();
        QTest::newRow("class that only comes from parsing")
            << QByteArray("MerovanComMessage.mrvTemplateFields") << kClassNotAvailable << QString();
        QTest::newRow("unknown class") << QByteArray("MerovanComMessage.mrvNothing") << kClassNotAvailable << QString();
        QTest::newRow("empty name") << QByteArray("") << kClassNotAvailable << QString();
        QTest::newRow("unknown class id")
            << QByteArray("{00000000-0000-0000-0000-000000000000}") << kClassNotAvailable << QString();
    }

    void classObjectByNameOrClassId()
    {
        QFETCH(QByteArray, classId);
        QFETCH(int, result);
        QFETCH(QString, className);
        int sentinel = 0;
        void *factory = &sentinel;
        QCOMPARE(getClassObject(classId.constData(), &factory), result);
        if (className.isEmpty()) {
            QCOMPARE(factory, nullptr);
            return;
        }
        QVERIFY(factory);
        QCOMPARE(static_cast<ClassFactory *>(factory)->className(), className);
        QCOMPARE(static_cast<ClassFactory *>(factory)->progId(), QString::fromLatin1(kMessageName));
    }

    void nullPointersAreRefused()
    {
        int sentinel = 0;
        void *factory = &sentinel;
        QCOMPARE(getClassObject(nullptr, &factory), kPointer);
        QCOMPARE(factory, nullptr);
        QCOMPARE(getClassObject(kMessageName, nullptr), kPointer);
    }

    void classIdsAreStableAcrossCalls()
    {
        ClassFactory *first = factoryOf(kMessageName);
        ClassFactory *second = factoryOf(kMessageName);
        QVERIFY(first);
        QCOMPARE(second, first);
        QCOMPARE(second->classId(), first->classId());
        QVERIFY(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
                    .match(first->classId())
                    .hasMatch());
        QCOMPARE(factoryOf(first->classId().toLatin1().constData()), first);
    }

    void factoryMakesAWorkingMessageObject()
    {
        testing::DemoSuite suite;
        auto &session = suite.session();
        const qint32 id = MessageStore(*session.connection(), nullptr).insert(MessageCopy{});
        ClassFactory *factory = factoryOf(kMessageName);

        std::unique_ptr<ComObject> object = factory->CreateInstance();
        std::unique_ptr<ComObject> another = factory->CreateInstance();
        QVERIFY(object.get() != another.get());
        auto *message = dynamic_cast<mrvMessage *>(object.get());
        QVERIFY(message);
        message->setConnection(session.connection());
        message->setUserManager(session.users());
        message->setConfigClass(session.config());
        message->setRecords(session.records());
        message->setErrors(session.errors());
        message->ChangeMessageStatus(id, mssReplied);
        QCOMPARE(suite.scalar(QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = %1").arg(id)).toInt(),
                 int(mssReplied));
    }

    void anythingAliveKeepsTheLibraryLoaded_data()
    {
        QTest::addColumn<Holder>("hold");
        QTest::newRow("an object") << Holder(liveObject);
        QTest::newRow("a locked factory") << Holder(lockedFactory);
        QTest::newRow("a loaded window") << Holder(loadedWindow);
        QTest::newRow("a host session") << Holder(hostSession);
    }

    void anythingAliveKeepsTheLibraryLoaded()
    {
        QFETCH(Holder, hold);
        QCOMPARE(canUnloadNow(), kOk);
        {
            const std::shared_ptr<void> held = hold();
            QCOMPARE(canUnloadNow(), kFalse);
        }
        QCOMPARE(canUnloadNow(), kOk);
    }

    void theLastHolderDecides()
    {
        ClassFactory *factory = factoryOf(kMessageName);
        std::unique_ptr<ComObject> first = factory->CreateInstance();
        std::unique_ptr<ComObject> second = factory->CreateInstance();
        factory->LockServer(true);
        first.reset();
        QCOMPARE(canUnloadNow(), kFalse);
        factory->LockServer(false);
        QCOMPARE(canUnloadNow(), kFalse);
        second.reset();
        QCOMPARE(canUnloadNow(), kOk);
    }

    // A host that unlocks once too often must not cancel its next lock.
    void unbalancedUnlockDoesNotHideALock()
    {
        ClassFactory *factory = factoryOf(kMessageName);
        factory->LockServer(false);
        QCOMPARE(canUnloadNow(), kOk);
        factory->LockServer(true);
        QCOMPARE(canUnloadNow(), kFalse);
        factory->LockServer(false);
        QCOMPARE(canUnloadNow(), kOk);
    }

    void registrationWritesEveryClassAndRemovesOnlyThem()
    {
        const QString path = useRegistry(QStringLiteral("suite/config/registry.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        writeEntries(path, unrelatedEntries());

        QCOMPARE(registerServer(), kOk);
        const auto registered = registryContents(path);
        QVERIFY(registered.contains(QString::fromLatin1(kMessageName)));
        QVERIFY(!registered.contains(QStringLiteral("MerovanComMessage.mrvTemplateFields")));
        for (const auto &factory : classFactories()) {
            const QVariantMap entry = registered.value(factory->progId());
            QCOMPARE(entry.value(QStringLiteral("CLSID")).toString(), factory->classId());
            const QFileInfo library(entry.value(QStringLiteral("InprocServer32")).toString());
            QVERIFY2(library.isFile(), qPrintable(library.filePath()));
            QCOMPARE(library.canonicalFilePath(), libraryFileOf("DllGetClassObject"));
            QCOMPARE(entry.value(QStringLiteral("TypeLib")).toString(), QStringLiteral("MerovanComMessage"));
            QCOMPARE(entry.value(QStringLiteral("Version")).toString(), QStringLiteral("1.0"));
        }
        QCOMPARE(withoutClassesOf(registered), unrelatedEntries());

        QCOMPARE(registerServer(), kOk);
        QCOMPARE(registryContents(path), registered);

        QCOMPARE(unregisterServer(), kOk);
        QCOMPARE(registryContents(path), unrelatedEntries());
        QCOMPARE(unregisterServer(), kOk);
        QCOMPARE(registryContents(path), unrelatedEntries());
    }

    void registrationIntoANewFolder()
    {
        const QString path = useRegistry(QStringLiteral("new/folder/registry.ini"));
        QCOMPARE(registerServer(), kOk);
        QVERIFY(registryContents(path).contains(QString::fromLatin1(kMessageName)));
    }

    void unregisteringWithoutARegistryCreatesNone()
    {
        const QString path = useRegistry(QStringLiteral("absent/registry.ini"));
        QCOMPARE(unregisterServer(), kOk);
        QVERIFY(!QFileInfo::exists(path));
    }

    void registrationWhereNoFileCanBeFails()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        useRegistry(QStringLiteral("blocker/registry.ini"));
        QCOMPARE(registerServer(), kRegistrationFailed);
    }

    // The class ids are what other processes find the classes by: the
    // command line registers the same ones, and the same library.
    void anotherProcessRegistersTheSameClassIds()
    {
        const QString ours = useRegistry(QStringLiteral("ours.ini"));
        QCOMPARE(registerServer(), kOk);

        const QString theirs = m_dir.filePath(QStringLiteral("theirs.ini"));
        QProcess mrv;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MRV_REGISTRY"), theirs);
        mrv.setProcessEnvironment(environment);
        const QString bin = qEnvironmentVariable("MRV_BIN", QCoreApplication::applicationDirPath());
        mrv.start(bin + QStringLiteral("/mrv"), {QStringLiteral("register")});
        QVERIFY2(mrv.waitForFinished(-1), qPrintable(mrv.errorString()));
        QCOMPARE(mrv.exitCode(), 0);
        QCOMPARE(registryContents(theirs), registryContents(ours));
    }
};

QTEST_GUILESS_MAIN(ComServerTest)
#include "tst_comserver.moc"
