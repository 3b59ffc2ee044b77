#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace mrv::imap {

// A mailbox's name both as the server spells it (modified UTF-7 bytes) and
// as a person reads it. Only the wire form is ever sent back. INBOX is the
// one name compared without regard to case.
class MailboxName
{
public:
    MailboxName() = default;

    static MailboxName fromWire(const QByteArray &wire);
    static MailboxName fromDisplay(const QString &text);
    static MailboxName inbox() { return fromWire("INBOX"); }

    const QByteArray &wire() const { return m_wire; }
    const QString &display() const { return m_display; }
    bool isEmpty() const { return m_wire.isEmpty(); }
    bool isInbox() const;

    // The last level of the name under a hierarchy delimiter ('\0': none).
    QString leaf(char delimiter) const;

    bool operator==(const MailboxName &other) const;

private:
    QByteArray m_wire;
    QString m_display;
};

// Modified UTF-7 as mailbox names use it ("&AOk-t&AOk-" is "été").
// Decoding fails on anything a conforming server cannot have written.
QByteArray encodeMailboxUtf7(QStringView text);
bool decodeMailboxUtf7(QByteArrayView wire, QString &text);

} // namespace mrv::imap
