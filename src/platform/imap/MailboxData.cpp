#include "MailboxData.h"

#include <limits>

namespace mrv::imap {

namespace {

struct SpecialUseName
{
    const char *attribute;
    SpecialUse use;
};

constexpr SpecialUseName kSpecialUses[] = {
    {"\\All", SpecialUse::All},         {"\\Archive", SpecialUse::Archive}, {"\\Drafts", SpecialUse::Drafts},
    {"\\Flagged", SpecialUse::Flagged}, {"\\Junk", SpecialUse::Junk},       {"\\Sent", SpecialUse::Sent},
    {"\\Trash", SpecialUse::Trash},
};

Result<MailboxName> mailboxNameOf(const ResponseValue &value)
{
    // An atom, a quoted string or a literal; never NIL or a list.
    if (value.kind != ResponseValue::Kind::Atom && value.kind != ResponseValue::Kind::String)
        return protocolError(QStringLiteral("A mailbox name is missing"));
    return MailboxName::fromWire(value.text);
}

void setStatusItem(MailboxStatus &status, QByteArrayView name, const ResponseValue &value)
{
    const auto number32 = [&]() -> std::optional<quint32> {
        if (const auto number = value.number())
            return quint32(*number);
        return std::nullopt;
    };
    if (name == "MESSAGES")
        status.messages = number32();
    else if (name == "RECENT")
        status.recent = number32();
    else if (name == "UNSEEN")
        status.unseen = number32();
    else if (name == "UIDNEXT")
        status.uidNext = number32();
    else if (name == "UIDVALIDITY")
        status.uidValidity = number32();
    else if (name == "HIGHESTMODSEQ")
        status.highestModSeq = value.number(std::numeric_limits<quint64>::max());
    else if (name == "MAILBOXID" && value.isList() && !value.items.isEmpty())
        status.mailboxId = value.items.first().textOrEmpty();
}

} // namespace

bool MailboxInfo::hasAttribute(QByteArrayView attribute) const
{
    for (const QByteArray &own : attributes) {
        if (QByteArrayView(own).compare(attribute, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool MailboxInfo::isSelectable() const
{
    return !hasAttribute("\\Noselect") && !hasAttribute("\\NonExistent");
}

SpecialUse specialUseOf(QByteArrayView attribute)
{
    for (const SpecialUseName &known : kSpecialUses) {
        if (attribute.compare(known.attribute, Qt::CaseInsensitive) == 0)
            return known.use;
    }
    return SpecialUse::None;
}

Result<MailboxInfo> parseListResponse(const Response &response)
{
    const QList<ResponseValue> &values = response.values;
    if (values.size() < 3 || !values.at(0).isList())
        return protocolError(QStringLiteral("A LIST response needs attributes, a delimiter and a name"));
    MailboxInfo info;
    for (const ResponseValue &attribute : values.at(0).items) {
        info.attributes.append(attribute.textOrEmpty());
        if (info.specialUse == SpecialUse::None)
            info.specialUse = specialUseOf(attribute.textOrEmpty());
    }
    const ResponseValue &delimiter = values.at(1);
    if (!delimiter.isNil() && (delimiter.kind != ResponseValue::Kind::String || delimiter.text.size() != 1))
        return protocolError(QStringLiteral("A LIST delimiter must be one character or NIL"));
    info.delimiter = delimiter.isNil() ? '\0' : delimiter.text.at(0);
    auto name = mailboxNameOf(values.at(2));
    if (!name)
        return name.error();
    info.name = std::move(name).value();
    return info;
}

Result<std::pair<MailboxName, MailboxStatus>> parseStatusResponse(const Response &response)
{
    const QList<ResponseValue> &values = response.values;
    if (values.size() < 2 || !values.at(1).isList() || values.at(1).items.size() % 2 != 0)
        return protocolError(QStringLiteral("A STATUS response needs a name and a list of pairs"));
    auto name = mailboxNameOf(values.at(0));
    if (!name)
        return name.error();
    MailboxStatus status;
    const QList<ResponseValue> &items = values.at(1).items;
    for (qsizetype at = 0; at < items.size(); at += 2)
        setStatusItem(status, items.at(at).textOrEmpty().toUpper(), items.at(at + 1));
    return std::pair{std::move(name).value(), status};
}

Result<Vanished> parseVanishedResponse(const Response &response)
{
    Vanished vanished;
    qsizetype at = 0;
    if (!response.values.isEmpty() && response.values.first().isList()) {
        const QList<ResponseValue> &tags = response.values.first().items;
        vanished.earlier = tags.size() == 1 && tags.first().isAtom("EARLIER");
        ++at;
    }
    if (response.values.size() != at + 1 || response.values.at(at).kind != ResponseValue::Kind::Atom)
        return protocolError(QStringLiteral("A VANISHED response needs one UID set"));
    const auto uids = UidSet::parse(response.values.at(at).text);
    if (!uids)
        return protocolError(QStringLiteral("A VANISHED response with an unusable UID set"));
    vanished.uids = *uids;
    return vanished;
}

QList<QByteArray> capabilitiesOf(const QList<ResponseValue> &values)
{
    QList<QByteArray> capabilities;
    for (const ResponseValue &value : values) {
        if (value.kind == ResponseValue::Kind::Atom)
            capabilities.append(value.text.toUpper());
    }
    return capabilities;
}

} // namespace mrv::imap
