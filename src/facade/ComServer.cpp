#include "ComServer.h"

#include "WindowRegistry.h"
#include "mail/mrvEmailParams.h"
#include "exchange/mrvExchange.h"
#include "mail/mrvSMTP.h"
#include "mrvMessage.h"
#include "templates/mrvDataset.h"
#include "templates/mrvTemplate.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <dlfcn.h>

namespace mrv {

namespace {

std::atomic<int> serverLocks{0};

// Class ids are derived from the registered name, so that every build and
// every machine agrees on them without a table to keep.
const QUuid kClassIdNamespace(QStringLiteral("{6c1f3a52-8e0b-4d6e-9a43-2f7d5b1c0e91}"));

QString libraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&DllGetClassObject), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

// Names and class ids are matched without regard to case, as the platform's
// registry matches its keys.
ClassFactory *findFactory(const QString &classId)
{
    for (const auto &factory : classFactories()) {
        if (factory->progId().compare(classId, Qt::CaseInsensitive) == 0 ||
            factory->classId().compare(classId, Qt::CaseInsensitive) == 0)
            return factory.get();
    }
    return nullptr;
}

} // namespace

ClassFactory::ClassFactory(QString className, Create create)
    : m_className(std::move(className)), m_create(std::move(create))
{}

QString ClassFactory::className() const
{
    return m_className;
}

QString ClassFactory::progId() const
{
    return progIdOf(m_className);
}

QString progIdOf(const QString &className)
{
    return QLatin1String(kTypeLibrary) + QLatin1Char('.') + className;
}

QString ClassFactory::classId() const
{
    return QUuid::createUuidV5(kClassIdNamespace, progId()).toString(QUuid::WithBraces).toUpper();
}

std::unique_ptr<ComObject> ClassFactory::CreateInstance() const
{
    return m_create();
}

void ClassFactory::LockServer(bool lock)
{
    // An unlock without a lock is ignored, so that it cannot cancel the next lock.
    int locks = serverLocks.load();
    while (!serverLocks.compare_exchange_weak(locks, lock ? locks + 1 : std::max(locks - 1, 0))) {
    }
}

const std::vector<std::unique_ptr<ClassFactory>> &classFactories()
{
    static const std::vector<std::unique_ptr<ClassFactory>> factories = [] {
        std::vector<std::unique_ptr<ClassFactory>> list;
        list.push_back(std::make_unique<ClassFactory>(QStringLiteral("mrvEmailParams"),
                                                      [] { return std::make_unique<mrvEmailParams>(); }));
        list.push_back(
            std::make_unique<ClassFactory>(QStringLiteral("mrvSMTP"), [] { return std::make_unique<mrvSMTP>(); }));
        list.push_back(std::make_unique<ClassFactory>(QStringLiteral("mrvMessage"),
                                                      [] { return std::make_unique<mrvMessage>(); }));
        list.push_back(std::make_unique<ClassFactory>(QStringLiteral("mrvDataset"),
                                                      [] { return std::make_unique<mrvDataset>(); }));
        list.push_back(std::make_unique<ClassFactory>(QStringLiteral("mrvTemplate"),
                                                      [] { return std::make_unique<mrvTemplate>(); }));
        list.push_back(std::make_unique<ClassFactory>(QStringLiteral("mrvExchange"),
                                                      [] { return std::make_unique<mrvExchange>(); }));
        return list;
    }();
    return factories;
}

QString registryFilePath()
{
    const QString configured = qEnvironmentVariable("MRV_REGISTRY");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Merovan/registry.ini");
}

} // namespace mrv

using namespace mrv;

int32_t DllGetClassObject(const char *classId, void **factory)
{
    if (!factory)
        return hresult::pointer;
    *factory = nullptr;
    if (!classId)
        return hresult::pointer;
    ClassFactory *found = findFactory(QString::fromUtf8(classId));
    if (!found)
        return hresult::classNotAvailable;
    *factory = found;
    return hresult::ok;
}

int32_t DllCanUnloadNow(void)
{
    // A modeless window may outlive every object the host created; its code
    // is in this library too.
    const bool idle = ComObject::liveCount() == 0 && serverLocks.load() == 0 && WindowRegistry::instance().count() == 0;
    return idle ? hresult::ok : hresult::falseResult;
}

int32_t DllRegisterServer(void)
{
    const QString library = libraryPath();
    const QString path = registryFilePath();
    if (library.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return hresult::registrationFailed;
    QSettings registry(path, QSettings::IniFormat);
    for (const auto &factory : classFactories()) {
        registry.beginGroup(factory->progId());
        registry.setValue(QStringLiteral("CLSID"), factory->classId());
        registry.setValue(QStringLiteral("InprocServer32"), library);
        registry.setValue(QStringLiteral("TypeLib"), QLatin1String(kTypeLibrary));
        registry.setValue(QStringLiteral("Version"), QLatin1String(kTypeLibraryVersion));
        registry.endGroup();
    }
    registry.sync();
    return registry.status() == QSettings::NoError ? hresult::ok : hresult::registrationFailed;
}

int32_t DllUnregisterServer(void)
{
    const QString path = registryFilePath();
    if (!QFileInfo::exists(path))
        return hresult::ok;
    QSettings registry(path, QSettings::IniFormat);
    for (const auto &factory : classFactories())
        registry.remove(factory->progId());
    registry.sync();
    return registry.status() == QSettings::NoError ? hresult::ok : hresult::registrationFailed;
}
