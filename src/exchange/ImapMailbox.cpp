#include "ImapMailbox.h"

#include "MimeReader.h"
#include "host/ConfigClass.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "mail/mrvEmailParams.h"
#include "platform/imap/ImapSession.h"

#include <algorithm>
#include <future>

namespace mrv::exchange {

namespace {

// A folder's listing as the server last answered it: the next listing asks
// only for what changed since (with QRESYNC), or for everything when the
// mailbox is no longer the same (UIDVALIDITY).
struct ListingState
{
    quint32 uidValidity = 0;
    quint32 uidNext = 0;
    quint64 highestModSeq = 0;

    static ListingState parse(const QString &text)
    {
        ListingState state;
        const QStringList parts = text.split(u' ');
        if (parts.size() == 3) {
            state.uidValidity = parts.at(0).toUInt();
            state.uidNext = parts.at(1).toUInt();
            state.highestModSeq = parts.at(2).toULongLong();
        }
        return state;
    }
    QString text() const { return QStringLiteral("%1 %2 %3").arg(uidValidity).arg(uidNext).arg(highestModSeq); }
    bool usable() const { return uidValidity != 0 && uidNext != 0 && highestModSeq != 0; }
};

// Above this many vanished UIDs in a range, the whole folder is listed
// rather than spelled out UID by UID.
constexpr quint64 kMostVanishedListed = 100000;
// A folder is fetched in slices of this many UIDs, in at most this many
// slices (sparse UIDs make the slices wider).
constexpr quint32 kUidsPerFetch = 5000;
constexpr quint32 kMostFetches = 50;

template <typename T> const T &valueOrThrow(const imap::Result<T> &result)
{
    if (!result)
        throw Failure(result.error().describe());
    return result.value();
}

QString fromOf(const imap::Envelope &envelope)
{
    if (envelope.from.isEmpty())
        return QString();
    const imap::Address &first = envelope.from.first();
    return first.name.isEmpty() ? first.address() : first.name;
}

imap::TlsMode tlsOf(const QString &setting)
{
    const qint32 mode = setting.trimmed().isEmpty() ? 1 : setting.toInt();
    return mode == 0 ? imap::TlsMode::None : mode == 2 ? imap::TlsMode::StartTls : imap::TlsMode::Implicit;
}

} // namespace

struct ImapMailbox::Folder
{
    QString id;
    QString parentId;
    QString name;
    imap::MailboxName mailbox;
    imap::SpecialUse use = imap::SpecialUse::None;
    bool selectable = true;
};

ImapMailbox::ImapMailbox(AccountLookup byServer, ProfileLookup byProfile, Log log)
    : m_byServer(std::move(byServer)), m_byProfile(std::move(byProfile)), m_log(std::move(log))
{}

ImapMailbox::~ImapMailbox() = default;

std::unique_ptr<ImapMailbox> ImapMailbox::fromConfiguration(std::function<const host::ConfigClass *()> configuration)
{
    const auto config = [configuration]() -> const host::ConfigClass & {
        const host::ConfigClass *found = configuration();
        if (!found)
            throw Failure(QStringLiteral("The ConfigClass object is not set"), 91);
        return *found;
    };
    const auto byServer = [config](const QString &user, const QString &server) {
        const host::ConfigClass &settings = config();
        imap::ImapAccount account;
        const qsizetype colon = server.lastIndexOf(u':');
        account.server = colon > 0 ? server.left(colon) : server;
        account.port = colon > 0 ? server.mid(colon + 1).toInt() : 0;
        account.user = user;
        account.password = settings.value(QStringLiteral("EXCHANGE_PASSWORD"));
        account.tokenCommand = settings.value(QStringLiteral("EXCHANGE_TOKEN_COMMAND"));
        account.tls = tlsOf(settings.value(QStringLiteral("EXCHANGE_SSL")));
        account.caFile = settings.value(QStringLiteral("EMAIL_OUT_CA_FILE"));
        return account;
    };
    const auto byProfile = [config](const QString &profile, QString &address) {
        mrvEmailParams params;
        params.loadAccount(config(), profile + u'_');
        imap::ImapAccount account;
        account.server = params.ServerName_In;
        account.port = params.ServerPort_In;
        account.tls = params.ServerSSL_In ? imap::TlsMode::Implicit : imap::TlsMode::None;
        account.user = params.User_In;
        account.password = params.Password_In;
        account.tokenCommand = params.tokenCommandIn();
        account.caFile = config().value(QStringLiteral("EMAIL_OUT_CA_FILE"));
        address = params.Email.isEmpty() ? params.User_In : params.Email;
        return account;
    };
    return std::make_unique<ImapMailbox>(byServer, byProfile);
}

bool ImapMailbox::logonExchangeMailbox(const QString &user, const QString &server)
{
    const imap::ImapAccount account = m_byServer(user, server);
    return logon(account, user.contains(u'@') ? user : user + u'@' + account.server);
}

bool ImapMailbox::logonProfile(const QString &profile)
{
    QString address;
    const imap::ImapAccount account = m_byProfile(profile, address);
    return logon(account, address);
}

bool ImapMailbox::logon(const imap::ImapAccount &account, const QString &address)
{
    logoff();
    if (account.server.isEmpty()) {
        m_lastError = QStringLiteral("No incoming mail server is configured");
        return false;
    }
    auto session = std::make_unique<imap::ImapSession>(account, [this](const QString &line, auto) {
        if (m_log)
            m_log(line);
    });
    const imap::Result<void> connected = session->connectAndLogIn();
    if (!connected) {
        m_lastError = connected.error().describe();
        return false;
    }
    // Without QRESYNC every refresh lists the whole folder: slower, not wrong.
    const auto enabled = session->enableResync();
    m_resync = enabled && enabled.value().contains(QByteArrayLiteral("QRESYNC"));
    m_session = std::move(session);
    m_address = address;
    m_lastError.clear();
    return true;
}

void ImapMailbox::logoff()
{
    if (m_session)
        m_session->logOut();
    m_session.reset();
    m_folders.clear();
    m_foldersRead = false;
}

bool ImapMailbox::loggedOn() const
{
    return m_session != nullptr;
}

QString ImapMailbox::currentUserAddress()
{
    return m_address;
}

QString ImapMailbox::storeId() const
{
    return QStringLiteral("imap:") + m_address.toLower();
}

QString ImapMailbox::topFolderId() const
{
    return storeId() + u'/';
}

QList<MailboxStore> ImapMailbox::stores()
{
    if (!loggedOn())
        throw Failure(QStringLiteral("The mailbox is not logged on"));
    return {{storeId(), m_address, topFolderId()}};
}

void ImapMailbox::readFolders()
{
    if (m_foldersRead)
        return;
    if (!loggedOn())
        throw Failure(QStringLiteral("The mailbox is not logged on"));
    const QList<imap::MailboxInfo> listed = valueOrThrow(m_session->list());
    QHash<QByteArray, QString> idByWire;
    QList<std::pair<Folder, QByteArray>> found; // with the parent's wire name
    for (const imap::MailboxInfo &info : listed) {
        Folder folder;
        folder.mailbox = info.name;
        folder.name = info.name.isInbox() ? QStringLiteral("INBOX") : info.name.leaf(info.delimiter);
        folder.use = info.specialUse;
        folder.selectable = info.isSelectable();
        if (folder.selectable) {
            const imap::MailboxStatus status = valueOrThrow(m_session->status(info.name));
            folder.id = storeId() + (status.mailboxId.isEmpty()
                                         ? QStringLiteral("/v:%1").arg(status.uidValidity.value_or(0))
                                         : QStringLiteral("/m:") + QString::fromLatin1(status.mailboxId));
        } else {
            folder.id = storeId() + QStringLiteral("/n:") + QString::fromLatin1(info.name.wire().toHex());
        }
        const QByteArray &wire = info.name.wire();
        const qsizetype cut = info.delimiter ? wire.lastIndexOf(info.delimiter) : -1;
        idByWire.insert(wire, folder.id);
        found.append({folder, cut > 0 ? wire.left(cut) : QByteArray()});
    }
    for (auto &[folder, parentWire] : found) {
        folder.parentId = parentWire.isEmpty() ? topFolderId() : idByWire.value(parentWire, topFolderId());
        m_folders.append(folder);
    }
    m_foldersRead = true;
}

const ImapMailbox::Folder &ImapMailbox::folderById(const QString &folderId) const
{
    for (const Folder &folder : m_folders) {
        if (folder.id == folderId)
            return folder;
    }
    throw Failure(QStringLiteral("The folder %1 is not in the mailbox").arg(folderId));
}

QString ImapMailbox::defaultFolderId(const QString &storeId, qint32 number)
{
    Q_UNUSED(storeId);
    readFolders();
    const auto use = [number]() -> std::optional<imap::SpecialUse> {
        switch (number) {
        case 3:
            return imap::SpecialUse::Trash;
        case 5:
            return imap::SpecialUse::Sent;
        case 16:
            return imap::SpecialUse::Drafts;
        case 23:
            return imap::SpecialUse::Junk;
        default:
            return std::nullopt;
        }
    }();
    for (const Folder &folder : std::as_const(m_folders)) {
        if ((number == 6 && folder.mailbox.isInbox()) || (use && folder.use == *use))
            return folder.id;
    }
    return QString();
}

MailboxFolder ImapMailbox::folder(const QString &folderId, const QString &storeId)
{
    readFolders();
    if (storeId != this->storeId())
        throw Failure(QStringLiteral("The store %1 is not in the mailbox").arg(storeId));
    if (folderId == topFolderId())
        return {folderId, m_address};
    const Folder &found = folderById(folderId);
    return {found.id, found.name};
}

QList<MailboxFolder> ImapMailbox::subfolders(const QString &folderId, const QString &storeId)
{
    readFolders();
    QList<MailboxFolder> children;
    for (const Folder &folder : std::as_const(m_folders)) {
        if (folder.parentId == folderId)
            children.append({folder.id, folder.name});
    }
    // As mail programs show them: the inbox first, the rest by name.
    const QString inbox = defaultFolderId(storeId, 6);
    std::sort(children.begin(), children.end(), [&](const MailboxFolder &a, const MailboxFolder &b) {
        if ((a.entryId == inbox) != (b.entryId == inbox))
            return a.entryId == inbox;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return children;
}

namespace {

QList<MailboxItem> itemsOf(const QString &folderId, const QList<imap::FetchedMessage> &messages, quint32 fromUid)
{
    QList<MailboxItem> items;
    for (const imap::FetchedMessage &message : messages) {
        if (message.uid < fromUid)
            continue;
        MailboxItem item;
        item.entryId = folderId + u'/' + QString::number(message.uid);
        if (message.envelope) {
            item.subject = message.envelope->subject;
            item.to = imap::displayList(message.envelope->to);
            item.from = fromOf(*message.envelope);
            item.date = message.envelope->date;
        }
        if (!item.date.isValid())
            item.date = message.internalDate;
        item.attachmentCount = message.bodyStructure ? int(message.bodyStructure->attachmentCount()) : 0;
        items.append(item);
    }
    return items;
}

} // namespace

// In slices of UIDs: the server's description of one slice is held at a
// time, not of the whole folder (some 4 KB a message), and the next slice is
// fetched (on the session's thread) while the sink writes this one.
void ImapMailbox::fetchInSlices(const QString &folderId, quint32 fromUid, quint32 uidNext, qint64 total,
                                const ItemSink &sink)
{
    const quint32 width = std::max<quint32>(kUidsPerFetch, uidNext / kMostFetches);
    const auto fetchFrom = [this, width, uidNext](quint64 first) {
        imap::FetchRequest request;
        const quint64 last = first + width - 1;
        request.uids = imap::UidSet(quint32(first), last + 1 >= uidNext ? imap::UidSet::kLargest : quint32(last));
        return std::async(std::launch::async, [this, request] { return m_session->fetch(request); });
    };
    auto pending = fetchFrom(fromUid);
    for (quint64 first = fromUid; pending.valid(); first += width) {
        const imap::Result<QList<imap::FetchedMessage>> fetched = pending.get();
        if (first + width < uidNext)
            pending = fetchFrom(first + width);
        sink(itemsOf(folderId, valueOrThrow(fetched), quint32(first)), total);
    }
}

FolderItems ImapMailbox::listAll(const Folder &folder, const ItemSink &sink)
{
    imap::SelectOptions options;
    options.readOnly = true;
    const imap::SelectedMailbox selected = valueOrThrow(m_session->select(folder.mailbox, options));
    FolderItems listed;
    const quint32 uidNext = selected.uidNext.value_or(imap::UidSet::kLargest);
    if (selected.exists > 0)
        fetchInSlices(folder.id, 1, uidNext, selected.exists, sink);
    listed.state =
        ListingState{selected.uidValidity.value_or(0), selected.uidNext.value_or(0), selected.highestModSeq}.text();
    return listed;
}

FolderItems ImapMailbox::items(const QString &folderId, const QString &storeId, const QString &sinceState,
                               const ItemSink &sink)
{
    Q_UNUSED(storeId);
    readFolders();
    if (folderId == topFolderId())
        return {};
    const Folder &folder = folderById(folderId);
    if (!folder.selectable)
        return {};
    // Without QRESYNC the server cannot tell what vanished since.
    const ListingState known = ListingState::parse(sinceState);
    if (!known.usable() || !m_resync)
        return listAll(folder, sink);
    imap::SelectOptions options;
    options.readOnly = true;
    options.known.uidValidity = known.uidValidity;
    options.known.highestModSeq = known.highestModSeq;
    const imap::SelectedMailbox selected = valueOrThrow(m_session->select(folder.mailbox, options));
    const quint32 uidNext = selected.uidNext.value_or(0);
    // A mailbox made anew, a server that forgot its sequence, or one that
    // cannot say what vanished: the whole folder again.
    if (selected.uidValidity.value_or(0) != known.uidValidity || selected.highestModSeq < known.highestModSeq ||
        uidNext == 0 ||
        (selected.highestModSeq != known.highestModSeq && selected.vanished.isEmpty() && selected.changes.isEmpty() &&
         uidNext == known.uidNext))
        return listAll(folder, sink);
    FolderItems listed;
    listed.delta = true;
    for (const imap::UidSet::Range &range : selected.vanished.ranges()) {
        if (quint64(range.last) - range.first >= kMostVanishedListed)
            return listAll(folder, sink);
        for (quint64 uid = range.first; uid <= range.last; ++uid)
            listed.vanished << folderId + u'/' + QString::number(uid);
    }
    if (uidNext > known.uidNext)
        fetchInSlices(folder.id, known.uidNext, uidNext, uidNext - known.uidNext, sink);
    listed.state = ListingState{known.uidValidity, uidNext, selected.highestModSeq}.text();
    return listed;
}

std::unique_ptr<MailboxMessage> ImapMailbox::message(const QString &entryId, const QString &storeId)
{
    Q_UNUSED(storeId);
    readFolders();
    const qsizetype slash = entryId.lastIndexOf(u'/');
    bool number = false;
    const quint32 uid = entryId.mid(slash + 1).toUInt(&number);
    if (slash <= 0 || !number)
        return nullptr;
    const Folder &folder = folderById(entryId.left(slash));
    valueOrThrow(m_session->select(folder.mailbox));
    imap::FetchRequest request;
    request.uids = imap::UidSet(uid, uid);
    request.content = true;
    const QList<imap::FetchedMessage> fetched = valueOrThrow(m_session->fetch(request));
    if (fetched.isEmpty() || !fetched.first().content)
        return nullptr;
    // Opened: seen, as a mail program marks it.
    valueOrThrow(m_session->store(request.uids, imap::FlagChange::Add, {QByteArrayLiteral("\\Seen")}));
    auto message = readMimeMessage(*fetched.first().content);
    message->entryId = entryId;
    if (!message->received.isValid())
        message->received = fetched.first().internalDate;
    return message;
}

void ImapMailbox::appendMessage(const QString &folderId, const QString &storeId, const QByteArray &message, bool seen)
{
    Q_UNUSED(storeId);
    readFolders();
    const Folder &folder = folderById(folderId);
    const QList<QByteArray> flags = seen ? QList<QByteArray>{QByteArrayLiteral("\\Seen")} : QList<QByteArray>{};
    valueOrThrow(m_session->append(folder.mailbox, message, flags, QDateTime::currentDateTime()));
}

} // namespace mrv::exchange
