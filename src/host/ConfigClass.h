#pragma once

#include <QString>

namespace mrv::host {

// The host's configuration store. Values are texts.
class ConfigClass
{
public:
    virtual ~ConfigClass() = default;

    virtual QString value(const QString &key, const QString &defaultValue = QString()) const = 0;

    // perUser: the value belongs to the current user only.
    // perApplication: the value belongs to this application only (not shared
    // with the suite's other programs). Neither: the value is global.
    // createMissing: a value not stored yet in that scope is created; when
    // false only a stored value changes and a missing one stays missing.
    virtual void setValue(const QString &key, const QString &value, bool perUser = false, bool perApplication = false,
                          bool createMissing = true) = 0;
};

} // namespace mrv::host
