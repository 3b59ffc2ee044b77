#include "FolderCatalog.h"

#include "db/SqlValueTools.h"

namespace mrv::suite::app {

namespace {

const QString kMessages = QStringLiteral("Messaggi");
const QString kArchives = QStringLiteral("Archivi");

// Columns read for the look of a message row: unread in bold, its kind,
// priority and attachments as icons.
const QStringList kMessageLook = {QStringLiteral("MSSTA"), QStringLiteral("MSTYP")};

QList<ListColumn> messageColumns(const QString &people, const QString &peopleCaption)
{
    return {{QStringLiteral("MSPRY"), QString()},
            {QStringLiteral("MSATT"), QString()},
            {people, peopleCaption},
            {QStringLiteral("MSOBJ"), QStringLiteral("Oggetto")},
            {QStringLiteral("MSDTS"), QStringLiteral("Data")}};
}

FolderEntry messageFolder(const char *caption, const char *icon, const char *view, const QString &condition,
                          bool sentByUser)
{
    FolderEntry entry;
    entry.caption = QString::fromUtf8(caption);
    entry.iconKey = QString::fromLatin1(icon);
    entry.group = kMessages;
    entry.view = QString::fromLatin1(view);
    entry.condition = condition;
    entry.table = QStringLiteral("SYS_MSG");
    entry.keyColumn = QStringLiteral("RECORD_ID");
    entry.descriptionColumn = QStringLiteral("MSOBJ");
    entry.columns = sentByUser ? messageColumns(QStringLiteral("MSDES"), QStringLiteral("Destinatari"))
                               : messageColumns(QStringLiteral("MSMIT"), QStringLiteral("Da"));
    entry.hiddenColumns = kMessageLook;
    return entry;
}

} // namespace

QList<FolderEntry> folderEntries(const QString &user)
{
    const QString own = QStringLiteral("MSUSR = ") + db::SqlValueTools::quoted(user);
    const QString tasks = QStringLiteral(" AND MSTYP IN (1, 3)");
    FolderEntry customers{QStringLiteral("Clienti"),
                          QStringLiteral("con_tro"),
                          kArchives,
                          QStringLiteral("CON_TRO"),
                          QString(),
                          QStringLiteral("CON_TRO"),
                          QStringLiteral("CDCON"),
                          QStringLiteral("CORAS"),
                          {{QStringLiteral("CDCON"), QStringLiteral("Codice")},
                           {QStringLiteral("CORAS"), QStringLiteral("Ragione sociale")},
                           {QStringLiteral("COLOC"), QStringLiteral("Località")},
                           {QStringLiteral("COPRV"), QStringLiteral("Provincia")},
                           {QStringLiteral("COPIV"), QStringLiteral("Partita IVA")}},
                          {}};
    FolderEntry documents{QStringLiteral("Documenti di vendita"),
                          QStringLiteral("doc_base"),
                          kArchives,
                          QStringLiteral("DOC_VEN"),
                          QString(),
                          QStringLiteral("DOC_VEN"),
                          QStringLiteral("RECORD_ID"),
                          QStringLiteral("DTDES"),
                          {{QStringLiteral("DTCAU"), QStringLiteral("Causale")},
                           {QStringLiteral("DTNUM"), QStringLiteral("Numero")},
                           {QStringLiteral("DTDAT"), QStringLiteral("Data")},
                           {QStringLiteral("DTCON"), QStringLiteral("Controparte")},
                           {QStringLiteral("DTDES"), QStringLiteral("Descrizione")},
                           {QStringLiteral("DTTOT"), QStringLiteral("Totale")}},
                          {}};
    // Public messages belong to everyone: they are not filtered by owner.
    return {messageFolder("Posta in arrivo", "fld_message", "SYS_MSG_INB", own, false),
            messageFolder("Attività", "activity", "SYS_MSG_INB", own + tasks, false),
            messageFolder("Bozze", "message_draft", "SYS_MSG_DFT", own, true),
            messageFolder("Posta inviata", "fld_sent", "SYS_MSG_OUT", own, true),
            messageFolder("Posta eliminata", "trash", "SYS_MSG_DEL", own, false),
            messageFolder("Messaggi pubblici", "message_pub", "SYS_MSG_PUB", QString(), false),
            customers,
            documents};
}

} // namespace mrv::suite::app
