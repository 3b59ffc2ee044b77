#pragma once

#include "ImapError.h"
#include "Response.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace mrv::imap {

struct Address
{
    QString name;
    QString mailbox; // the part before '@'
    QString host;

    // "mario@example.it"; just the mailbox when there is no host.
    QString address() const;
    // "Mario Rossi <mario@example.it>", or the bare address.
    QString display() const;
    bool operator==(const Address &) const = default;
};

// "Anna Bianchi <anna@example.it>, bob@example.com": an address list as
// one line, for a list of messages.
QString displayList(const QList<Address> &addresses);

// The ENVELOPE of a message, every text decoded.
struct Envelope
{
    QDateTime date; // invalid when the Date header is missing or unreadable
    QString subject;
    QList<Address> from;
    QList<Address> sender;
    QList<Address> replyTo;
    QList<Address> to;
    QList<Address> cc;
    QList<Address> bcc;
    QByteArray inReplyTo;
    QByteArray messageId;
};

// One leaf of a BODYSTRUCTURE, or an attached message.
struct BodyPart
{
    QByteArray section; // "1", "2.1": what BODY[section] fetches
    QByteArray type;    // lower case: "text", "application"...
    QByteArray subtype; // lower case: "plain", "pdf"...
    QByteArray charset;
    QByteArray encoding; // lower case: "base64", "7bit"...
    qint64 size = -1;    // encoded octets; -1 unknown
    QString fileName;
    QByteArray disposition; // lower case: "attachment", "inline" or empty
    QByteArray contentId;
    QString description;
    bool malformed = false; // the server's description of it was unreadable

    // What a reader counts as an attachment: a part declared so, an attached
    // message, or a named part that the body does not show inline by its
    // Content-ID.
    bool isAttachment() const;
};

struct BodyStructure
{
    QList<BodyPart> parts; // depth first

    bool hasAttachments() const;
    qsizetype attachmentCount() const;
};

// What one FETCH response tells of a message. Only the items asked for (or
// sent unasked, like flag changes) are filled.
struct FetchedMessage
{
    quint32 sequence = 0;
    quint32 uid = 0;
    std::optional<QList<QByteArray>> flags;
    QDateTime internalDate;
    qint64 size = -1;
    std::optional<Envelope> envelope;
    std::optional<BodyStructure> bodyStructure;
    quint64 modSeq = 0;
    QByteArray emailId;                // servers with OBJECTID
    QByteArray threadId;               // servers with OBJECTID
    std::optional<QByteArray> content; // BODY[] / BODY.PEEK[]

    bool hasFlag(QByteArrayView flag) const;
    // Later data of the same message (an unasked FETCH) over this.
    void merge(const FetchedMessage &later);
};

Result<Envelope> parseEnvelope(const ResponseValue &value);
// Never fails for a list: unreadable parts become placeholders.
Result<BodyStructure> parseBodyStructure(const ResponseValue &value);
Result<FetchedMessage> parseFetchResponse(const Response &response);
// "17-Jul-1996 02:44:25 -0700"; invalid when malformed.
QDateTime parseInternalDate(QByteArrayView text);
QByteArray formatInternalDate(const QDateTime &date);

} // namespace mrv::imap
