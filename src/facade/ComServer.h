#pragma once

#include "ComObject.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

// The component's exported entry points: the counterpart of an in-process
// COM server on this platform. A host finds the library through the suite's
// registry file, asks it for the class factory of a registered class name
// ("MerovanComMessage.mrvMessage") or of its class id, and creates objects
// through the factory. Results are HRESULT values.
extern "C" {
// classId: the registered name or the class id ("{...}"), UTF-8, either in
// any case. On success *factory receives a mrv::ClassFactory owned by the
// library; on failure it receives null.
__attribute__((visibility("default"))) int32_t DllGetClassObject(const char *classId, void **factory);
// S_OK when no object of the component is alive, no window of it is loaded
// and no factory is locked.
__attribute__((visibility("default"))) int32_t DllCanUnloadNow(void);
// Writes (or removes) every creatable class in the suite's registry file.
__attribute__((visibility("default"))) int32_t DllRegisterServer(void);
__attribute__((visibility("default"))) int32_t DllUnregisterServer(void);
}

namespace mrv {

namespace hresult {
constexpr int32_t ok = 0;
constexpr int32_t falseResult = 1;
constexpr int32_t pointer = int32_t(0x80004003);
constexpr int32_t classNotAvailable = int32_t(0x80040111);
constexpr int32_t registrationFailed = int32_t(0x80040201);
} // namespace hresult

// Creates the objects of one creatable class.
class ClassFactory
{
public:
    using Create = std::function<std::unique_ptr<ComObject>()>;

    ClassFactory(QString className, Create create);

    QString className() const; // "mrvMessage"
    QString progId() const;    // "MerovanComMessage.mrvMessage"
    QString classId() const;   // "{...}", the same on every machine

    // A new object; the caller owns it.
    std::unique_ptr<ComObject> CreateInstance() const;
    // While locked, DllCanUnloadNow answers S_FALSE. Locks are counted.
    void LockServer(bool lock);

private:
    QString m_className;
    Create m_create;
};

// The type library's name and version, prefix of every registered name.
inline constexpr const char *kTypeLibrary = "MerovanComMessage";
inline constexpr const char *kTypeLibraryVersion = "1.0";

// The name a class is registered under: "MerovanComMessage." + class name.
QString progIdOf(const QString &className);

// The creatable classes, in registration order.
const std::vector<std::unique_ptr<ClassFactory>> &classFactories();

// The registry file of the suite: $MRV_REGISTRY, or registry.ini in the
// product's data folder.
QString registryFilePath();

} // namespace mrv
