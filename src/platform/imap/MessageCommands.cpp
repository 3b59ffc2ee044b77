#include "MessageCommands.h"

#include <QHash>

namespace mrv::imap {

namespace {

using State = ImapConnection::State;

Result<void> requireSelected(const ImapConnection &connection, const QString &action)
{
    return connection.require({State::Selected}, action);
}

Result<void> completed(const Result<Response> &done)
{
    return done ? Result<void>() : done.error();
}

QByteArray fetchItems(const ImapConnection &connection, const FetchRequest &request)
{
    QList<QByteArray> items{"UID"};
    const auto add = [&](bool wanted, const char *item) {
        if (wanted)
            items.append(item);
    };
    add(request.flags, "FLAGS");
    add(request.internalDate, "INTERNALDATE");
    add(request.size, "RFC822.SIZE");
    add(request.envelope, "ENVELOPE");
    add(request.bodyStructure, "BODYSTRUCTURE");
    add(connection.hasCapability("CONDSTORE"), "MODSEQ");
    add(connection.hasCapability("OBJECTID"), "EMAILID THREADID");
    add(request.content, "BODY.PEEK[]");
    return '(' + items.join(' ') + ')';
}

QByteArray flagList(const QList<QByteArray> &flags)
{
    return '(' + QList<QByteArray>(flags).join(' ') + ')';
}

// Collects the FETCH responses of a UID command for the messages it named,
// merged by UID; the others are the server's unasked news.
class FetchCollector
{
public:
    FetchCollector(ImapConnection &connection, const UidSet &uids) : m_connection(connection), m_uids(uids) {}

    ImapConnection::Handlers handlers()
    {
        ImapConnection::Handlers handlers;
        handlers.untagged = [this](const Response &response) { return take(response); };
        return handlers;
    }

    Result<QList<FetchedMessage>> result(const Result<Response> &done)
    {
        if (!done)
            return done.error();
        if (m_unreadable)
            return *m_unreadable;
        return m_messages;
    }

private:
    bool take(const Response &response)
    {
        if (response.keyword != "FETCH")
            return false;
        Result<FetchedMessage> parsed = parseFetchResponse(response);
        if (!parsed) {
            m_unreadable = parsed.error();
            return true;
        }
        FetchedMessage message = std::move(parsed).value();
        message.uid = m_connection.mailbox().uidOf(message);
        if (message.uid == 0 || !m_uids.contains(message.uid))
            return false;
        const auto known = m_index.constFind(message.uid);
        if (known != m_index.constEnd()) {
            m_messages[*known].merge(message);
        } else {
            m_index.insert(message.uid, m_messages.size());
            m_messages.append(std::move(message));
        }
        return true;
    }

    ImapConnection &m_connection;
    UidSet m_uids;
    QList<FetchedMessage> m_messages;
    QHash<quint32, qsizetype> m_index;
    std::optional<ImapError> m_unreadable;
};

} // namespace

Result<QList<FetchedMessage>> fetchMessages(ImapConnection &connection, const FetchRequest &request)
{
    if (const Result<void> ready = requireSelected(connection, QStringLiteral("fetch messages")); !ready)
        return ready.error();
    if (request.uids.isEmpty())
        return QList<FetchedMessage>();
    Command command("UID FETCH");
    command.raw(request.uids.toWire()).raw(fetchItems(connection, request));
    if (request.changedSince > 0 && connection.hasCapability("CONDSTORE")) {
        const QByteArray vanished = connection.isEnabled("QRESYNC") ? " VANISHED" : "";
        command.raw("(CHANGEDSINCE " + QByteArray::number(request.changedSince) + vanished + ')');
    }
    FetchCollector collector(connection, request.uids);
    return collector.result(connection.run(command, collector.handlers()));
}

Result<QList<FetchedMessage>> storeFlags(ImapConnection &connection, const UidSet &uids, FlagChange change,
                                         const QList<QByteArray> &flags)
{
    if (const Result<void> ready = requireSelected(connection, QStringLiteral("change flags")); !ready)
        return ready.error();
    if (uids.isEmpty())
        return QList<FetchedMessage>();
    const QByteArray item = change == FlagChange::Add ? "+FLAGS" : change == FlagChange::Remove ? "-FLAGS" : "FLAGS";
    FetchCollector collector(connection, uids);
    return collector.result(
        connection.run(Command("UID STORE").raw(uids.toWire()).raw(item).raw(flagList(flags)), collector.handlers()));
}

Result<AppendResult> appendMessage(ImapConnection &connection, const MailboxName &mailbox, const QByteArray &message,
                                   const QList<QByteArray> &flags, const QDateTime &internalDate)
{
    if (const Result<void> ready =
            connection.require({State::Authenticated, State::Selected}, QStringLiteral("append a message"));
        !ready)
        return ready.error();
    Command command("APPEND");
    command.mailbox(mailbox);
    if (!flags.isEmpty())
        command.raw(flagList(flags));
    if (internalDate.isValid())
        command.raw('"' + formatInternalDate(internalDate) + '"');
    command.literal(message);
    const Result<Response> done = connection.run(command);
    if (!done)
        return done.error();
    AppendResult result;
    const ResponseCode &code = done->code;
    if (code.name == "APPENDUID" && code.arguments.size() == 2) {
        result.uidValidity = quint32(code.arguments.at(0).number().value_or(0));
        result.uid = quint32(code.arguments.at(1).number().value_or(0));
    }
    return result;
}

Result<void> moveMessages(ImapConnection &connection, const UidSet &uids, const MailboxName &to)
{
    if (const Result<void> ready = requireSelected(connection, QStringLiteral("move messages")); !ready)
        return ready;
    if (uids.isEmpty())
        return {};
    if (connection.hasCapability("MOVE"))
        return completed(connection.run(Command("UID MOVE").raw(uids.toWire()).mailbox(to)));
    if (const Result<void> copied = completed(connection.run(Command("UID COPY").raw(uids.toWire()).mailbox(to)));
        !copied)
        return copied;
    return expungeMessages(connection, uids);
}

Result<void> expungeMessages(ImapConnection &connection, const UidSet &uids)
{
    if (const Result<void> ready = requireSelected(connection, QStringLiteral("expunge messages")); !ready)
        return ready;
    if (uids.isEmpty())
        return {};
    const Result<QList<FetchedMessage>> marked = storeFlags(connection, uids, FlagChange::Add, {"\\Deleted"});
    if (!marked)
        return marked.error();
    if (connection.hasCapability("UIDPLUS"))
        return completed(connection.run(Command("UID EXPUNGE").raw(uids.toWire())));
    return completed(connection.run(Command("EXPUNGE")));
}

} // namespace mrv::imap
