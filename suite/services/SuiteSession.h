#pragma once

// The services are included whole: whoever holds a session uses them.
#include "SuiteConfig.h"
#include "SuiteErrors.h"
#include "SuitePaths.h"
#include "SuiteRecords.h"
#include "SuiteTextService.h"
#include "SuiteUserManager.h"
#include "facade/ComObject.h"

#include <QString>

namespace mrv {
class mrvMessage;
namespace host {
class ScreenPointer;
}
} // namespace mrv

#include <memory>

namespace mrv::suite {

// A working host on one database: the connection, the current user and
// company, configuration, error log and record services, with the global
// host services installed for the process.
class SuiteSession
{
public:
    // The name this program's per-application configuration is stored under.
    static constexpr const char *kApplicationName = "mrv";

    // An empty user or company picks the first one by code; an empty
    // pathsRoot keeps the product folders in the user's own folders. Throws
    // Failure when the database cannot be opened or the user or company is
    // unknown.
    static std::unique_ptr<SuiteSession> open(const QString &location, const QString &user, const QString &company,
                                              const QString &pathsRoot = QString());
    // The same on a connection already open.
    static std::unique_ptr<SuiteSession> open(std::shared_ptr<db::SuiteConnection> connection, const QString &user,
                                              const QString &company, const QString &pathsRoot = QString());

    ~SuiteSession();

    std::shared_ptr<db::SuiteConnection> connection() const;
    std::shared_ptr<SuiteUserManager> users() const;
    std::shared_ptr<SuiteConfig> config() const;
    std::shared_ptr<SuiteErrors> errors() const;
    std::shared_ptr<SuiteRecords> records() const;
    std::shared_ptr<SuiteTextService> textService() const;
    std::shared_ptr<SuitePaths> paths() const;
    // The component's entry object, created through its class factory the
    // way a host creates it, with this session's host objects.
    std::shared_ptr<mrvMessage> message() const;
    // A public class of the component ("mrvDataset", "mrvTemplate") created
    // through its entry points as a host creates it, given this session's
    // Records and Errors; throws Failure when the class is unknown.
    template <typename T> std::unique_ptr<T> create(const QString &className) const
    {
        std::unique_ptr<ComObject> object = createObject(className);
        T *typed = dynamic_cast<T *>(object.get());
        if (!typed)
            throwWrongClass(className);
        object.release();
        std::unique_ptr<T> made(typed);
        made->setRecords(m_records);
        made->setErrors(m_errors);
        return made;
    }

    // A session with windows shows the component's busy state on its screen
    // pointer; installed with the other global services.
    void setScreenPointer(std::shared_ptr<host::ScreenPointer> pointer);

private:
    SuiteSession(std::shared_ptr<db::SuiteConnection> connection, const QString &user, const QString &company,
                 const QString &pathsRoot);
    void installGlobalServices();
    void createComponent();
    std::unique_ptr<ComObject> createObject(const QString &className) const;
    [[noreturn]] static void throwWrongClass(const QString &className);

    std::shared_ptr<db::SuiteConnection> m_connection;
    std::shared_ptr<SuiteUserManager> m_users;
    std::shared_ptr<SuiteConfig> m_config;
    std::shared_ptr<SuiteErrors> m_errors;
    std::shared_ptr<SuiteRecords> m_records;
    std::shared_ptr<SuiteTextService> m_textService;
    std::shared_ptr<SuitePaths> m_paths;
    std::shared_ptr<mrvMessage> m_message;
    std::shared_ptr<host::ScreenPointer> m_screenPointer;
};

} // namespace mrv::suite
