#pragma once

#include <QString>

namespace mrv::host {

// Action codes returned by Errors::report.
enum ErrorAction : qint32 {
    eaResumeNext = 0, // skip the failing step and go on
    eaRetry = 1,      // repeat the failing step
    eaAbandon = 2,    // leave with the failure value (any other code too)
};

class Errors
{
public:
    virtual ~Errors() = default;

    virtual qint32 report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                          qint32 flag = 0) = 0;
};

} // namespace mrv::host
