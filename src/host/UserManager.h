#pragma once

#include <QString>

namespace mrv::host {

class UserManager
{
public:
    virtual ~UserManager() = default;

    virtual QString userCode() const = 0;
    virtual QString userName() const = 0;
    // The company code; followed by "_" it prefixes per-company object names.
    virtual QString companyCode() const = 0;
};

} // namespace mrv::host
