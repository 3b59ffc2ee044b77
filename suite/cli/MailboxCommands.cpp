#include "Cli.h"
#include "Progress.h"

#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "exchange/MailboxConnection.h"
#include "exchange/mrvExchange.h"
#include "host/Failure.h"
#include "host/TreeControl.h"
#include "services/SuiteSession.h"

namespace mrv::cli {

namespace {

// The tree as lines: icon, key and text, two blanks of indent per level.
class PrintedTree : public host::TreeControl
{
public:
    void clear() override { m_lines.clear(); }
    void addNode(const QString &parentKey, const QString &key, const QString &text) override
    {
        const qint32 depth = parentKey.isEmpty() ? 0 : m_depths.value(parentKey) + 1;
        m_depths.insert(key, depth);
        m_lines.append({key, QString(depth * 2, u' '), text, 0});
    }
    bool hasImageList() const override { return true; }
    void setImage(const QString &key, qint32 icon) override
    {
        for (Line &line : m_lines) {
            if (line.key == key)
                line.icon = icon;
        }
    }
    void setExpanded(const QString &, bool) override {}

    void print(QTextStream &out) const
    {
        for (const Line &line : m_lines)
            out << line.indent << line.icon << '\t' << line.key << '\t' << line.text << '\n';
    }

private:
    struct Line
    {
        QString key;
        QString indent;
        QString text;
        qint32 icon = 0;
    };
    QList<Line> m_lines;
    QHash<QString, qint32> m_depths;
};

// A progress line per kind of thing counted, on a terminal only.
class MailboxProgress
{
public:
    void operator()(const QString &unit, qint64 done, qint64 total)
    {
        if (unit != m_unit || !m_bar) {
            m_bar.reset();
            m_bar = std::make_unique<TerminalProgress>(total, unit);
            m_unit = unit;
        }
        m_bar->done(done);
    }

private:
    QString m_unit;
    std::unique_ptr<TerminalProgress> m_bar;
};

std::unique_ptr<mrvExchange> mirror(Context &context)
{
    suite::SuiteSession &session = context.session();
    auto exchange = std::make_unique<mrvExchange>();
    exchange->setConnection(session.connection());
    exchange->setErrors(session.errors());
    exchange->setUserManager(session.users());
    exchange->setConfigClass(session.config());
    auto progress = std::make_shared<MailboxProgress>();
    exchange->setProgress(
        [progress](const QString &unit, qint64 done, qint64 total) { (*progress)(unit, done, total); });
    if (!exchange->IsOn(session.config().get()))
        throw Failure(QStringLiteral("the mailbox is off: EXCHANGE_MODE is neither EXCHANGE nor OUTLOOK"));
    return exchange;
}

QVariantList row(Context &context, const QString &sql)
{
    const auto rows = context.session().connection()->query(sql).rows;
    return rows.isEmpty() ? QVariantList() : rows.first();
}

QString quoted(const QString &text)
{
    return suite::db::SqlValueTools::quoted(text);
}

int printTree(Context &context, QStringList args)
{
    const bool synchronise = takeFlag(args, QStringLiteral("--sync"));
    exactArguments(args, 0, QString());
    PrintedTree tree;
    if (!mirror(context)->GetStructure(tree, synchronise))
        throw Failure(QStringLiteral("no mailbox tree: the mailbox could not be reached and none is stored"));
    tree.print(context.out());
    return exitOk;
}

// The folder's store: up its parents to the row of type 1.
QVariantList storeOf(Context &context, const QString &folderId)
{
    QString id = folderId;
    for (int level = 0; level < 64 && !id.isEmpty(); ++level) {
        const QVariantList found = row(context, QStringLiteral("SELECT EXTYP, EXOID, EXDES, EXPAR FROM SYS_EXC WHERE "
                                                               "EXOID = %1 AND EXUSR = %2")
                                                    .arg(quoted(id), quoted(context.session().users()->userCode())));
        if (found.isEmpty())
            break;
        if (found.at(0).toInt() == 1)
            return found;
        id = found.at(3).toString();
    }
    throw Failure(QStringLiteral("folder %1 is not in the mirror (run \"mrv mailbox tree --sync\")").arg(folderId));
}

int refreshFolder(Context &context, QStringList args)
{
    const bool force = takeFlag(args, QStringLiteral("--force"));
    const QString folderId = exactArguments(args, 1, QStringLiteral("FOLDER_ID")).first();
    const QVariantList store = storeOf(context, folderId);
    if (!mirror(context)->RefreshMessages(folderId, store.at(1).toString(), store.at(2).toString(), force))
        return exitFailed;
    context.out() << row(context, QStringLiteral("SELECT COUNT(*) FROM SYS_EXC WHERE EXTYP = 4 AND EXPAR = %1 AND "
                                                 "EXUSR = %2")
                                      .arg(quoted(folderId), quoted(context.session().users()->userCode())))
                         .value(0)
                         .toLongLong()
                  << '\n';
    return exitOk;
}

int checkStore(Context &context, const QStringList &args)
{
    const QString storeId = exactArguments(args, 1, QStringLiteral("STORE_ID")).first();
    const QString name =
        row(context, QStringLiteral("SELECT EXDES FROM SYS_EXC WHERE EXTYP = 1 AND EXOID = %1").arg(quoted(storeId)))
            .value(0)
            .toString();
    const qint32 count = mirror(context)->CheckNewMessages(storeId, name);
    if (count < 0)
        return exitFailed;
    context.out() << count << '\n';
    return exitOk;
}

QString addresses(const QList<exchange::MailboxAddress> &list)
{
    QStringList shown;
    for (const exchange::MailboxAddress &address : list)
        shown << (address.name.isEmpty() ? address.address : address.name + " <" + address.address + '>');
    return shown.join(QStringLiteral("; "));
}

int openMessage(Context &context, const QStringList &args)
{
    const qint32 id =
        wholeNumber(exactArguments(args, 1, QStringLiteral("RECORD_ID")).first(), QStringLiteral("RECORD_ID"));
    qint32 published = 0;
    const auto message = mirror(context)->GetMessageFromDb(id, &published);
    if (!message)
        throw Failure(QStringLiteral("message %1 could not be opened").arg(id));
    QTextStream &out = context.out();
    out << "From: " << addresses({message->from}) << '\n' << "To: " << addresses(message->to) << '\n';
    if (!message->cc.isEmpty())
        out << "Cc: " << addresses(message->cc) << '\n';
    out << "Subject: " << message->subject << '\n' << "Date: " << message->sent.toString(Qt::ISODate) << '\n';
    for (const exchange::MailboxAttachment &attachment : message->attachments)
        out << "Attachment: " << attachment.name << " (" << attachment.size << " bytes)\n";
    if (published > 0)
        out << "Public message: " << published << '\n';
    out << '\n' << message->textBody;
    if (!message->textBody.endsWith(u'\n'))
        out << '\n';
    return exitOk;
}

int changeStatus(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 2, QStringLiteral("RECORD_ID N"));
    const qint32 id = wholeNumber(given.at(0), QStringLiteral("RECORD_ID"));
    const qint32 status = wholeNumber(given.at(1), QStringLiteral("N"));
    if (status < 0 || status > 4)
        throw UsageError{QStringLiteral("N is a message status from 0 to 4")};
    if (row(context, QStringLiteral("SELECT RECORD_ID FROM SYS_EXC WHERE EXTYP = 4 AND RECORD_ID = %1").arg(id))
            .isEmpty())
        throw Failure(QStringLiteral("mailbox message %1 does not exist").arg(id));
    return reportsNothing(context, [&] { mirror(context)->ChangeMessageStatus(id, status); }) ? exitOk : exitFailed;
}

} // namespace

Command mailboxCommand()
{
    return {QStringLiteral("mailbox"),
            QStringLiteral("mailbox (tree [--sync] | refresh FOLDER_ID [--force] | check STORE_ID | open RECORD_ID | "
                           "status RECORD_ID N)"),
            QStringLiteral("mirror the user's mailbox (EXCHANGE_MODE) and read it"),
            QStringLiteral("\"tree\" prints the mirrored folder tree, a line per node indented two blanks per\n"
                           "level: icon, key, text (tab-separated); --sync reads it from the mailbox first\n"
                           "(as the first call does). \"refresh\" brings a folder's message rows in step\n"
                           "(--force: also a folder already in step) and prints how many it has. \"check\"\n"
                           "prints how many messages came since the folders were last refreshed.\n"
                           "\"open\" prints a mirrored message's headers and text, marking it read.\n"
                           "\"status\" sets its reading status (0 to 4). docs/mailbox.md tells how to\n"
                           "configure the mailbox server."),
            [](Context &context, const QStringList &args) {
                return dispatchSubcommand(context, args,
                                          {{QStringLiteral("tree"), printTree},
                                           {QStringLiteral("refresh"), refreshFolder},
                                           {QStringLiteral("check"), checkStore},
                                           {QStringLiteral("open"), openMessage},
                                           {QStringLiteral("status"), changeStatus}});
            }};
}

} // namespace mrv::cli
