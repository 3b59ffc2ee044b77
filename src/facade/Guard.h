#pragma once

#include "host/Errors.h"
#include "host/Failure.h"

#include <QString>

#include <exception>
#include <optional>
#include <type_traits>

namespace mrv {

namespace detail {

void reportFailure(host::Errors *errors, const QString &object, const char *procedure, const QString &description,
                   qint32 number);

// Returns whether the body completed; a failure has been reported when not.
template <typename Body> bool runTrapped(host::Errors *errors, const QString &object, const char *procedure, Body &body)
{
    try {
        body();
        return true;
    } catch (const Failure &failure) {
        reportFailure(errors, object, procedure, failure.message(), failure.code());
    } catch (const std::exception &error) {
        reportFailure(errors, object, procedure, QString::fromLocal8Bit(error.what()), 0);
    } catch (...) {
        reportFailure(errors, object, procedure, QStringLiteral("Unknown error"), 0);
    }
    return false;
}

} // namespace detail

// Runs one public operation inside the error trap: a failure is reported to
// the host's Errors with the object and procedure names and the operation
// returns `failureValue`. Nothing escapes.
//
// Whatever the host answers, the operation is abandoned. Repeating it would
// repeat work that is not idempotent (a second sender's copy, a second
// e-mail), and resuming past the failed step would go on from half-done work.
// Statements that may safely be tried again (a busy database) are retried by
// the connection itself before they ever fail.
template <typename Result, typename Body>
Result guarded(host::Errors *errors, const QString &object, const char *procedure, Result failureValue, Body &&body)
{
    std::optional<Result> result;
    auto step = [&] { result = body(); };
    detail::runTrapped(errors, object, procedure, step);
    return result ? *result : failureValue;
}

// The same for operations without a result. Returns whether the body completed.
template <typename Body>
bool guardedVoid(host::Errors *errors, const QString &object, const char *procedure, Body &&body)
{
    return detail::runTrapped(errors, object, procedure, body);
}

} // namespace mrv
