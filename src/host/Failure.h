#pragma once

#include <QString>

#include <exception>

namespace mrv {

// The one exception type used inside the component and the suite. It never
// crosses a public operation: the guard at each boundary turns it into a
// report through the host's Errors and the operation's failure value.
class Failure : public std::exception
{
public:
    explicit Failure(QString message, qint32 code = 0)
        : m_message(std::move(message)), m_code(code), m_utf8(m_message.toUtf8())
    {}

    const QString &message() const noexcept { return m_message; }
    qint32 code() const noexcept { return m_code; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    qint32 m_code;
    QByteArray m_utf8;
};

} // namespace mrv
