#pragma once

#include "MailboxName.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace mrv::imap {

// Whether the server takes literals without waiting for its "+" go-ahead.
enum class LiteralPolicy {
    Synchronizing, // wait for "+" before each literal
    Plus,          // LITERAL+: never wait
    Minus,         // LITERAL-: no wait up to 4096 bytes
};

// One command as it goes on the wire. Each argument is written in the form
// its text needs: an atom when it is one, a quoted string for other plain
// ASCII, a literal for anything with 8-bit bytes, CR, LF, NUL or '"'.
class Command
{
public:
    explicit Command(QByteArray verb) : m_verb(std::move(verb)) {}

    // Sent exactly as given: keywords, flag lists, UID sets, dates.
    Command &raw(QByteArrayView text);
    // A string argument (astring): user names, passwords, search texts.
    Command &string(QByteArrayView text);
    Command &mailbox(const MailboxName &name) { return string(name.wire()); }
    // Always a literal: the message of APPEND.
    Command &literal(QByteArray bytes);
    // The argument added last is a credential: the log shows "[hidden]".
    Command &hidden();

    const QByteArray &verb() const { return m_verb; }

    // The bytes to send, cut where the client must wait for the server's
    // "+" before going on: every piece but the last ends with a literal
    // announcement, and the literal's bytes open the next piece.
    QList<QByteArray> pieces(const QByteArray &tag, LiteralPolicy policy) const;
    // The command for the connection log: literals as "{n}" and their size,
    // credentials hidden.
    QString logText(const QByteArray &tag) const;

private:
    struct Argument
    {
        QByteArray bytes;
        bool literal = false;
        bool hidden = false;
    };

    QByteArray m_verb;
    QList<Argument> m_arguments;
};

} // namespace mrv::imap
