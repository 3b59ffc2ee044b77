#include "MailboxCommands.h"

namespace mrv::imap {

namespace {

using State = ImapConnection::State;

Result<void> requireLogin(const ImapConnection &connection, const QString &action)
{
    return connection.require({State::Authenticated, State::Selected}, action);
}

Result<void> simple(ImapConnection &connection, const Command &command, const QString &action)
{
    if (const Result<void> ready = requireLogin(connection, action); !ready)
        return ready;
    const Result<Response> done = connection.run(command);
    return done ? Result<void>() : done.error();
}

QByteArray statusItems(const ImapConnection &connection)
{
    QByteArray items = "MESSAGES UNSEEN UIDNEXT UIDVALIDITY";
    if (connection.hasCapability("IMAP4REV1"))
        items += " RECENT";
    if (connection.hasCapability("CONDSTORE"))
        items += " HIGHESTMODSEQ";
    if (connection.hasCapability("OBJECTID"))
        items += " MAILBOXID";
    return '(' + items + ')';
}

// "(QRESYNC (uidvalidity modseq uids))" when the server resynchronises and
// the client knows where it stood, "(CONDSTORE)" to have modification
// sequences otherwise; never both.
QByteArray selectParameters(const ImapConnection &connection, const KnownMailboxState &known)
{
    if (connection.isEnabled("QRESYNC")) {
        if (known.uidValidity == 0 || known.highestModSeq == 0)
            return {};
        QByteArray parameters = QByteArray::number(known.uidValidity) + ' ' + QByteArray::number(known.highestModSeq);
        if (!known.uids.isEmpty())
            parameters += ' ' + known.uids.toWire();
        return "(QRESYNC (" + parameters + "))";
    }
    return connection.hasCapability("CONDSTORE") && !connection.isEnabled("CONDSTORE") ? "(CONDSTORE)" : QByteArray();
}

} // namespace

Result<QList<MailboxInfo>> listMailboxes(ImapConnection &connection)
{
    if (const Result<void> ready = requireLogin(connection, QStringLiteral("list the mailboxes")); !ready)
        return ready.error();
    Command command("LIST");
    command.string("").string("*");
    const bool withStatus = connection.hasCapability("LIST-STATUS") && connection.hasCapability("OBJECTID");
    if (connection.hasCapability("LIST-EXTENDED") && connection.hasCapability("SPECIAL-USE"))
        command.raw(withStatus ? "RETURN (SPECIAL-USE STATUS (MAILBOXID))" : "RETURN (SPECIAL-USE)");
    QList<MailboxInfo> mailboxes;
    QList<std::pair<MailboxName, MailboxStatus>> statuses;
    std::optional<ImapError> unreadable;
    ImapConnection::Handlers handlers;
    handlers.untagged = [&](const Response &response) {
        if (response.keyword == "LIST") {
            Result<MailboxInfo> info = parseListResponse(response);
            if (info)
                mailboxes.append(std::move(info).value());
            else
                unreadable = info.error();
        } else if (response.keyword == "STATUS") {
            auto status = parseStatusResponse(response);
            if (status)
                statuses.append(std::move(status).value());
        }
        return response.keyword == "LIST" || response.keyword == "STATUS";
    };
    if (const Result<Response> done = connection.run(command, handlers); !done)
        return done.error();
    if (unreadable)
        return *unreadable;
    for (MailboxInfo &mailbox : mailboxes) {
        for (const auto &[name, status] : statuses) {
            if (name == mailbox.name)
                mailbox.mailboxId = status.mailboxId;
        }
    }
    return mailboxes;
}

Result<MailboxStatus> mailboxStatus(ImapConnection &connection, const MailboxName &name)
{
    if (const Result<void> ready = requireLogin(connection, QStringLiteral("read the status of a mailbox")); !ready)
        return ready.error();
    std::optional<MailboxStatus> found;
    ImapConnection::Handlers handlers;
    handlers.untagged = [&](const Response &response) {
        if (response.keyword != "STATUS")
            return false;
        auto status = parseStatusResponse(response);
        if (status && status->first == name)
            found = status->second;
        return true;
    };
    const Result<Response> done =
        connection.run(Command("STATUS").mailbox(name).raw(statusItems(connection)), handlers);
    if (!done)
        return done.error();
    if (!found)
        return protocolError(QStringLiteral("The server answered STATUS without the mailbox's status"));
    return *found;
}

Result<SelectedMailbox> selectMailbox(ImapConnection &connection, const MailboxName &name, const SelectOptions &options)
{
    if (const Result<void> ready = requireLogin(connection, QStringLiteral("select a mailbox")); !ready)
        return ready.error();
    Command command(options.readOnly ? "EXAMINE" : "SELECT");
    command.mailbox(name);
    if (const QByteArray parameters = selectParameters(connection, options.known); !parameters.isEmpty())
        command.raw(parameters);
    // From the moment SELECT is sent the previous mailbox is closed, and
    // stays so if the new one cannot be opened.
    connection.setState(State::Authenticated);
    connection.mailbox().select(name, options.readOnly);
    const Result<Response> done = connection.run(command);
    if (!done) {
        if (connection.state() == State::Authenticated)
            connection.mailbox().close();
        return done.error();
    }
    connection.setState(State::Selected);
    return connection.mailbox().state();
}

Result<void> createMailbox(ImapConnection &connection, const MailboxName &name)
{
    return simple(connection, Command("CREATE").mailbox(name), QStringLiteral("create a mailbox"));
}

Result<void> deleteMailbox(ImapConnection &connection, const MailboxName &name)
{
    return simple(connection, Command("DELETE").mailbox(name), QStringLiteral("delete a mailbox"));
}

Result<void> renameMailbox(ImapConnection &connection, const MailboxName &from, const MailboxName &to)
{
    return simple(connection, Command("RENAME").mailbox(from).mailbox(to), QStringLiteral("rename a mailbox"));
}

} // namespace mrv::imap
