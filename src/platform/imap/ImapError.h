#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace mrv::imap {

// Why an IMAP operation failed. The server's own refusals (NO, BAD, BYE)
// carry its response code ("AUTHENTICATIONFAILED", "NONEXISTENT"...) and
// text; the other kinds are the client's findings.
struct ImapError
{
    enum class Kind {
        No,          // the server refused the command
        Bad,         // the server did not accept the command as written
        Bye,         // the server ended the session
        Transport,   // no connection could be made, or it broke
        Timeout,     // the server did not answer in time; the connection was dropped
        Tls,         // no secure connection: handshake, untrusted certificate, no STARTTLS
        Protocol,    // the server's answer made no sense; the connection was dropped
        State,       // not possible in the session's state (not logged in, nothing selected)
        Credentials, // no credentials to log in with: the access token command failed
    };

    Kind kind = Kind::Protocol;
    QByteArray code;
    QString text;

    // One line for a log or a message box: "Login refused by the server
    // [AUTHENTICATIONFAILED]: Authentication failed."
    QString describe() const;
};

// A typed value or the error that prevented it.
template <typename T> class Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(ImapError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T *operator->() const { return &value(); }
    const ImapError &error() const { return std::get<1>(m_state); }

private:
    std::variant<T, ImapError> m_state;
};

template <> class Result<void>
{
public:
    Result() = default;
    Result(ImapError error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }
    const ImapError &error() const { return *m_error; }

private:
    std::optional<ImapError> m_error;
};

ImapError protocolError(const QString &text);

} // namespace mrv::imap
