#pragma once

#include "host/Errors.h"
#include "host/Failure.h"

#include <QString>

#include <exception>
#include <optional>
#include <type_traits>

namespace mrv {

// How often a public operation is run again when the host's Errors answers
// "retry" (eaRetry). The whole operation is repeated, never a part of it, so
// only the host decides whether repeating is safe; after the last attempt the
// failure value is returned.
inline constexpr int kMaxOperationAttempts = 3;

namespace detail {

qint32 reportFailure(host::Errors *errors, const QString &object, const char *procedure, const QString &description,
                     qint32 number);

template <typename Body>
qint32 runTrapped(host::Errors *errors, const QString &object, const char *procedure, Body &body)
{
    try {
        body();
        return -1;
    } catch (const Failure &failure) {
        return reportFailure(errors, object, procedure, failure.message(), failure.code());
    } catch (const std::exception &error) {
        return reportFailure(errors, object, procedure, QString::fromLocal8Bit(error.what()), 0);
    } catch (...) {
        return reportFailure(errors, object, procedure, QStringLiteral("Unknown error"), 0);
    }
}

} // namespace detail

// Runs one public operation inside the error trap: a failure is reported to
// the host's Errors with the object and procedure names and the operation
// returns `failureValue`. Nothing escapes.
template <typename Result, typename Body>
Result guarded(host::Errors *errors, const QString &object, const char *procedure, Result failureValue, Body &&body)
{
    for (int attempt = 1;; ++attempt) {
        std::optional<Result> result;
        auto step = [&] { result = body(); };
        const qint32 action = detail::runTrapped(errors, object, procedure, step);
        if (result)
            return *result;
        if (action != host::eaRetry || attempt >= kMaxOperationAttempts)
            return failureValue;
    }
}

// The same for operations without a result. Returns whether the body completed.
template <typename Body>
bool guardedVoid(host::Errors *errors, const QString &object, const char *procedure, Body &&body)
{
    for (int attempt = 1;; ++attempt) {
        bool done = false;
        auto step = [&] {
            body();
            done = true;
        };
        const qint32 action = detail::runTrapped(errors, object, procedure, step);
        if (done)
            return true;
        if (action != host::eaRetry || attempt >= kMaxOperationAttempts)
            return false;
    }
}

} // namespace mrv
