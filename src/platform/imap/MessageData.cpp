#include "MessageData.h"

#include "HeaderText.h"

#include <QTimeZone>

#include <algorithm>
#include <limits>

namespace mrv::imap {

namespace {

const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

using Parameters = QList<QPair<QByteArray, QByteArray>>;

const ResponseValue &itemAt(const ResponseValue &list, qsizetype at)
{
    static const ResponseValue nil;
    return at < list.items.size() ? list.items.at(at) : nil;
}

QList<Address> addressesOf(const ResponseValue &value)
{
    QList<Address> addresses;
    for (const ResponseValue &address : value.items) {
        const QByteArray mailbox = itemAt(address, 2).textOrEmpty();
        const QByteArray host = itemAt(address, 3).textOrEmpty();
        // A group's start (NIL host) and end (NIL mailbox) are no addresses.
        if (!address.isList() || itemAt(address, 3).isNil())
            continue;
        addresses.append({decodeHeaderPhrase(itemAt(address, 0).textOrEmpty()), QString::fromUtf8(mailbox),
                          QString::fromUtf8(host)});
    }
    return addresses;
}

Parameters parametersOf(const ResponseValue &value)
{
    Parameters parameters;
    for (qsizetype at = 0; at + 1 < value.items.size(); at += 2)
        parameters.append({value.items.at(at).textOrEmpty(), value.items.at(at + 1).textOrEmpty()});
    return parameters;
}

QByteArray parameter(const Parameters &parameters, QByteArrayView name)
{
    for (const auto &[key, value] : parameters) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

// ("attachment" ("filename" "a.pdf")) or NIL.
void readDisposition(const ResponseValue &value, BodyPart &part, Parameters &parameters)
{
    if (!value.isList())
        return;
    part.disposition = itemAt(value, 0).textOrEmpty().toLower();
    parameters = parametersOf(itemAt(value, 1));
}

void readLeaf(const ResponseValue &body, BodyPart &part)
{
    part.type = itemAt(body, 0).textOrEmpty().toLower();
    part.subtype = itemAt(body, 1).textOrEmpty().toLower();
    const Parameters typeParameters = parametersOf(itemAt(body, 2));
    part.charset = parameter(typeParameters, "charset");
    part.contentId = itemAt(body, 3).textOrEmpty();
    part.description = decodeHeaderText(itemAt(body, 4).textOrEmpty());
    part.encoding = itemAt(body, 5).textOrEmpty().toLower();
    part.size = qint64(itemAt(body, 6).number(std::numeric_limits<qint64>::max()).value_or(-1));
    // Text parts add their line count, attached messages an envelope, a
    // body and a line count; the extension data (MD5, disposition) follows.
    qsizetype extension = 7;
    if (part.type == "text")
        extension = 8;
    else if (part.type == "message" && (part.subtype == "rfc822" || part.subtype == "global"))
        extension = 10;
    Parameters dispositionParameters;
    readDisposition(itemAt(body, extension + 1), part, dispositionParameters);
    part.fileName = decodeMimeParameter(dispositionParameters, "filename");
    if (part.fileName.isEmpty())
        part.fileName = decodeMimeParameter(typeParameters, "name");
}

bool isAttachedMessage(const BodyPart &part)
{
    return part.type == "message" && (part.subtype == "rfc822" || part.subtype == "global");
}

QByteArray childSection(const QByteArray &prefix, qsizetype number)
{
    return prefix.isEmpty() ? QByteArray::number(number) : prefix + '.' + QByteArray::number(number);
}

// A multipart body is a list whose first items are lists (its parts), a
// leaf one whose first item is its type. `prefix` numbers a multipart's
// children, `section` is the body's own number as a leaf.
void collectParts(const ResponseValue &body, const QByteArray &prefix, const QByteArray &section,
                  QList<BodyPart> &parts)
{
    if (!body.isList() || body.items.isEmpty()) {
        parts.append(BodyPart{section, {}, {}, {}, {}, -1, {}, {}, {}, {}, true});
        return;
    }
    if (body.items.first().isList()) {
        for (qsizetype at = 0; at < body.items.size() && body.items.at(at).isList(); ++at) {
            const QByteArray child = childSection(prefix, at + 1);
            collectParts(body.items.at(at), child, child, parts);
        }
        return;
    }
    BodyPart part;
    part.section = section;
    readLeaf(body, part);
    part.malformed = part.type.isEmpty() || part.subtype.isEmpty();
    parts.append(part);
    if (isAttachedMessage(part) && itemAt(body, 8).isList())
        collectParts(itemAt(body, 8), section, section + ".1", parts);
}

QByteArray firstItemText(const ResponseValue &value)
{
    return value.isList() ? itemAt(value, 0).textOrEmpty() : QByteArray();
}

// One "NAME value" pair of a FETCH response.
Result<void> readFetchItem(const QByteArray &name, const ResponseValue &value, FetchedMessage &message)
{
    const auto bad = [&] {
        return protocolError(QStringLiteral("FETCH item %1 unreadable").arg(QString::fromLatin1(name)));
    };
    if (name == "UID") {
        const auto uid = value.number();
        if (!uid || *uid == 0)
            return bad();
        message.uid = quint32(*uid);
    } else if (name == "FLAGS") {
        if (!value.isList())
            return bad();
        QList<QByteArray> flags;
        for (const ResponseValue &flag : value.items)
            flags.append(flag.textOrEmpty());
        message.flags = flags;
    } else if (name == "INTERNALDATE") {
        message.internalDate = parseInternalDate(value.textOrEmpty());
    } else if (name == "RFC822.SIZE") {
        message.size = qint64(value.number(std::numeric_limits<qint64>::max()).value_or(-1));
    } else if (name == "ENVELOPE") {
        auto envelope = parseEnvelope(value);
        if (!envelope)
            return envelope.error();
        message.envelope = std::move(envelope).value();
    } else if (name == "BODYSTRUCTURE" || name == "BODY") {
        auto structure = parseBodyStructure(value);
        if (!structure)
            return structure.error();
        message.bodyStructure = std::move(structure).value();
    } else if (name == "MODSEQ") {
        const auto modSeq =
            value.isList() ? itemAt(value, 0).number(std::numeric_limits<quint64>::max()) : std::nullopt;
        if (!modSeq)
            return bad();
        message.modSeq = *modSeq;
    } else if (name == "EMAILID") {
        message.emailId = firstItemText(value);
    } else if (name == "THREADID") {
        message.threadId = firstItemText(value);
    } else if (name == "BODY[]" || name == "BODY[]<0>" || name == "RFC822" || name == "BINARY[]") {
        if (value.isList())
            return bad();
        message.content = value.textOrEmpty();
    }
    return {};
}

int monthOf(QByteArrayView name)
{
    for (int month = 0; month < 12; ++month) {
        if (name.compare(kMonths[month], Qt::CaseInsensitive) == 0)
            return month + 1;
    }
    return 0;
}

int digitsValue(QByteArrayView text)
{
    int value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return -1;
        value = value * 10 + (digit - '0');
    }
    return text.isEmpty() ? -1 : value;
}

} // namespace

QString Address::address() const
{
    return host.isEmpty() ? mailbox : mailbox + QLatin1Char('@') + host;
}

QString Address::display() const
{
    return name.isEmpty() ? address() : QStringLiteral("%1 <%2>").arg(name, address());
}

QString displayList(const QList<Address> &addresses)
{
    QStringList texts;
    for (const Address &address : addresses)
        texts << address.display();
    return texts.join(QStringLiteral(", "));
}

bool BodyPart::isAttachment() const
{
    if (disposition == "attachment" || (type == "message" && (subtype == "rfc822" || subtype == "global")))
        return true;
    return !fileName.isEmpty() && contentId.isEmpty();
}

bool BodyStructure::hasAttachments() const
{
    return attachmentCount() > 0;
}

qsizetype BodyStructure::attachmentCount() const
{
    return std::count_if(parts.begin(), parts.end(), [](const BodyPart &part) { return part.isAttachment(); });
}

bool FetchedMessage::hasFlag(QByteArrayView flag) const
{
    if (!flags)
        return false;
    return std::any_of(flags->begin(), flags->end(), [&](const QByteArray &own) {
        return QByteArrayView(own).compare(flag, Qt::CaseInsensitive) == 0;
    });
}

void FetchedMessage::merge(const FetchedMessage &later)
{
    sequence = later.sequence ? later.sequence : sequence;
    uid = later.uid ? later.uid : uid;
    if (later.flags)
        flags = later.flags;
    if (later.internalDate.isValid())
        internalDate = later.internalDate;
    if (later.size >= 0)
        size = later.size;
    if (later.envelope)
        envelope = later.envelope;
    if (later.bodyStructure)
        bodyStructure = later.bodyStructure;
    modSeq = std::max(modSeq, later.modSeq);
    if (!later.emailId.isEmpty())
        emailId = later.emailId;
    if (!later.threadId.isEmpty())
        threadId = later.threadId;
    if (later.content)
        content = later.content;
}

Result<Envelope> parseEnvelope(const ResponseValue &value)
{
    if (!value.isList())
        return protocolError(QStringLiteral("An ENVELOPE must be a list"));
    Envelope envelope;
    envelope.date = decodeHeaderDate(itemAt(value, 0).textOrEmpty());
    envelope.subject = decodeHeaderText(itemAt(value, 1).textOrEmpty());
    envelope.from = addressesOf(itemAt(value, 2));
    envelope.sender = addressesOf(itemAt(value, 3));
    envelope.replyTo = addressesOf(itemAt(value, 4));
    envelope.to = addressesOf(itemAt(value, 5));
    envelope.cc = addressesOf(itemAt(value, 6));
    envelope.bcc = addressesOf(itemAt(value, 7));
    envelope.inReplyTo = itemAt(value, 8).textOrEmpty();
    envelope.messageId = itemAt(value, 9).textOrEmpty();
    return envelope;
}

Result<BodyStructure> parseBodyStructure(const ResponseValue &value)
{
    if (!value.isList())
        return protocolError(QStringLiteral("A BODYSTRUCTURE must be a list"));
    BodyStructure structure;
    collectParts(value, {}, "1", structure.parts);
    return structure;
}

Result<FetchedMessage> parseFetchResponse(const Response &response)
{
    if (!response.number || *response.number == 0 || response.values.size() != 1 || !response.values.first().isList())
        return protocolError(QStringLiteral("A FETCH response needs a message number and a list"));
    FetchedMessage message;
    message.sequence = *response.number;
    const QList<ResponseValue> &items = response.values.first().items;
    if (items.size() % 2 != 0)
        return protocolError(QStringLiteral("A FETCH response with an item without value"));
    for (qsizetype at = 0; at < items.size(); at += 2) {
        if (items.at(at).kind != ResponseValue::Kind::Atom)
            return protocolError(QStringLiteral("A FETCH item without name"));
        const Result<void> read = readFetchItem(items.at(at).text.toUpper(), items.at(at + 1), message);
        if (!read)
            return read.error();
    }
    return message;
}

QDateTime parseInternalDate(QByteArrayView text)
{
    // " 7-Jul-1996 02:44:25 -0700": the day may be padded with a space.
    const QByteArray trimmed = text.trimmed().toByteArray();
    const QList<QByteArray> fields = trimmed.split(' ');
    if (fields.size() != 3 || fields.at(2).size() != 5)
        return {};
    const QList<QByteArray> day = fields.at(0).split('-');
    const QList<QByteArray> time = fields.at(1).split(':');
    if (day.size() != 3 || time.size() != 3)
        return {};
    const QDate date(digitsValue(day.at(2)), monthOf(day.at(1)), digitsValue(day.at(0)));
    const QTime clock(digitsValue(time.at(0)), digitsValue(time.at(1)), digitsValue(time.at(2)));
    const QByteArray zone = fields.at(2);
    const int hours = digitsValue(zone.mid(1, 2));
    const int minutes = digitsValue(zone.mid(3, 2));
    if (!date.isValid() || !clock.isValid() || (zone.at(0) != '+' && zone.at(0) != '-') || hours < 0 || minutes < 0)
        return {};
    const int offset = (zone.at(0) == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    return QDateTime(date, clock, QTimeZone(offset));
}

QByteArray formatInternalDate(const QDateTime &date)
{
    const int offset = date.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QByteArray::number(date.date().day()).rightJustified(2, '0') + '-' + kMonths[date.date().month() - 1] + '-' +
           QByteArray::number(date.date().year()) + ' ' + date.time().toString(u"hh:mm:ss").toLatin1() + ' ' +
           (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           QByteArray::number(minutes % 60).rightJustified(2, '0');
}

} // namespace mrv::imap
