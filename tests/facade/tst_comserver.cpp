#include "DemoSuite.h"
#include "IdleWindow.h"
#include "facade/ComServer.h"
#include "facade/WindowRegistry.h"
#include "facade/mrvMessage.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

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

// The entry points as a host reaches them: by their plain C names in the
// process's global symbol table.
template <typename Function> Function exported(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

const auto getClassObject = exported<int32_t (*)(const char *, void **)>("DllGetClassObject");
const auto canUnloadNow = exported<int32_t (*)()>("DllCanUnloadNow");
const auto registerServer = exported<int32_t (*)()>("DllRegisterServer");
const auto unregisterServer = exported<int32_t (*)()>("DllUnregisterServer");

ClassFactory *factoryOf(const char *classId)
{
    void *factory = nullptr;
    return getClassObject(classId, &factory) == kOk ? static_cast<ClassFactory *>(factory) : nullptr;
}

// "group/key" -> value, everything a registry file holds.
QVariantMap registryContents(const QString &path)
{
    QSettings registry(path, QSettings::IniFormat);
    QVariantMap contents;
    for (const QString &key : registry.allKeys())
        contents.insert(key, registry.value(key));
    return contents;
}

// Entries of other libraries, including one whose name begins like ours.
const QVariantMap kUnrelatedEntries = {
    {"Owner", "Officine Brambilla"},
    {"Idrano.COM.Database/CLSID", "{0D9A5E21-3C47-4B8E-9F11-7A2B6C3D4E5F}"},
    {"MerovanComMessage.mrvMessageLegacy/CLSID", "{11111111-2222-3333-4444-555555555555}"}};

} // namespace

// The component's exported entry points, found and called the way a host
// does, with the registry file in a temporary folder.
class ComServerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // Every other test calls them: found by their C names, or nothing runs.
    void initTestCase() { QVERIFY(getClassObject && canUnloadNow && registerServer && unregisterServer); }

    void cleanup() { qunsetenv("MRV_REGISTRY"); }

    // A class found gives a factory of message objects, each one new.
    void classObjectByNameOrClassId_data()
    {
        QTest::addColumn<QByteArray>("classId");
        QTest::addColumn<int32_t>("result");
        const QByteArray messageId = factoryOf(kMessageName)->classId().toLatin1();
        QTest::newRow("registered name in other case") << QByteArray("merovancommessage.MRVMESSAGE") << kOk;
        QTest::newRow("class id") << messageId << kOk;
        QTest::newRow("class id in lower case") << messageId.toLower() << kOk;
        QTest::newRow("class name without the library") << QByteArray("mrvMessage") << kClassNotAvailable;
        QTest::newRow("class that only comes from parsing")
            << QByteArray("MerovanComMessage.mrvTemplateFields") << kClassNotAvailable;
        QTest::newRow("unknown class id") << QByteArray("{00000000-0000-0000-0000-000000000000}") << kClassNotAvailable;
        QTest::newRow("no class id") << QByteArray() << kPointer;
    }

    void classObjectByNameOrClassId()
    {
        QFETCH(QByteArray, classId);
        QFETCH(int32_t, result);
        int sentinel = 0;
        void *found = &sentinel;
        QCOMPARE(getClassObject(classId.isNull() ? nullptr : classId.constData(), &found), result);
        auto *factory = static_cast<ClassFactory *>(found);
        QCOMPARE(factory ? factory->progId() : QString(),
                 result == kOk ? QString::fromLatin1(kMessageName) : QString());
        if (factory) {
            const std::unique_ptr<ComObject> object = factory->CreateInstance();
            QVERIFY(dynamic_cast<mrvMessage *>(object.get()));
            QVERIFY(object != factory->CreateInstance());
        }
        QCOMPARE(getClassObject(classId.constData(), nullptr), kPointer);
    }

    // A loaded window, a host session, an object or a lock keeps the library
    // loaded; objects and locks are counted, and a host that unlocks once
    // too often must not cancel its next lock.
    void anythingAliveKeepsTheLibraryLoaded()
    {
        QCOMPARE(canUnloadNow(), kOk);
        ComponentWindow *window =
            WindowRegistry::instance().add(std::make_unique<testing::IdleWindow<ComponentWindow>>());
        QCOMPARE(canUnloadNow(), kFalse);
        window->unload();
        QCOMPARE(canUnloadNow(), kOk);
        auto session = std::make_unique<testing::DemoSuite>();
        QCOMPARE(canUnloadNow(), kFalse);
        session.reset();
        QCOMPARE(canUnloadNow(), kOk);
        ClassFactory *factory = factoryOf(kMessageName);
        factory->LockServer(false);
        std::unique_ptr<ComObject> first = factory->CreateInstance();
        std::unique_ptr<ComObject> second = factory->CreateInstance();
        first.reset();
        QCOMPARE(canUnloadNow(), kFalse);
        factory->LockServer(true);
        second.reset();
        QCOMPARE(canUnloadNow(), kFalse);
        factory->LockServer(false);
        QCOMPARE(canUnloadNow(), kOk);
    }

    // Every class with its id and this library, in a folder made for it. Unregistering
    // removes only them, and no registry is made to remove nothing from it.
    // Below a file there is no registry to write.
    void registrationWritesEveryClassAndRemovesOnlyThem()
    {
        const QString path = m_dir.filePath(QStringLiteral("new/folder/registry.ini"));
        qputenv("MRV_REGISTRY", QFile::encodeName(path));
        QCOMPARE(unregisterServer(), kOk);
        QVERIFY(!QFileInfo::exists(path));
        {
            QSettings registry(path, QSettings::IniFormat);
            for (auto entry = kUnrelatedEntries.cbegin(); entry != kUnrelatedEntries.cend(); ++entry)
                registry.setValue(entry.key(), entry.value());
        }
        QCOMPARE(registerServer(), kOk);
        const QVariantMap registered = registryContents(path);
        QVERIFY(registered.contains(QString::fromLatin1(kMessageName) + "/CLSID"));
        QVERIFY(!registered.contains(QStringLiteral("MerovanComMessage.mrvTemplateFields/CLSID")));
        Dl_info library{};
        QVERIFY(dladdr(reinterpret_cast<void *>(getClassObject), &library) != 0);
        const QRegularExpression classId(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"));
        for (const auto &factory : classFactories()) {
            const QString prefix = factory->progId() + QLatin1Char('/');
            QCOMPARE(registered.value(prefix + "CLSID").toString(), factory->classId());
            QVERIFY(classId.match(factory->classId()).hasMatch());
            QCOMPARE(QFileInfo(registered.value(prefix + "InprocServer32").toString()).canonicalFilePath(),
                     QFileInfo(QString::fromLocal8Bit(library.dli_fname)).canonicalFilePath());
        }
        QCOMPARE(registerServer(), kOk);
        QCOMPARE(registryContents(path), registered);

        for (int times = 0; times < 2; ++times) {
            QCOMPARE(unregisterServer(), kOk);
            QCOMPARE(registryContents(path), kUnrelatedEntries);
        }
        qputenv("MRV_REGISTRY", QFile::encodeName(path + QStringLiteral("/below a file.ini")));
        QCOMPARE(registerServer(), kRegistrationFailed);
    }
};

QTEST_GUILESS_MAIN(ComServerTest)
#include "tst_comserver.moc"
