#include "MessageWindowController.h"
#include "MessageWindowShared.h"

#include "facade/Guard.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/RichTextStore.h"
#include "host/TextService.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "platform/richtext/HtmlWriter.h"

#include <QFile>
#include <QTemporaryDir>

namespace mrv {

using namespace messagewindow;

MessageWindowController::MessageWindowController(QObject *parent) : QObject(parent)
{
    m_fileOpener = [](const QString &) { return false; };
}

MessageWindowController::~MessageWindowController()
{
    // m_emailFiles removes its folder as it goes.
    if (!m_webFile.isEmpty())
        QFile::remove(m_webFile);
}

void MessageWindowController::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

void MessageWindowController::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void MessageWindowController::setRichTextStore(std::shared_ptr<host::RichTextStore> store)
{
    m_richText = std::move(store);
}

// ---------------------------------------------------------------------------
// Small services

host::Records &MessageWindowController::hostRecords() const
{
    return host::requireRecords(m_records);
}

host::RichTextStore &MessageWindowController::bodies() const
{
    return m_richText ? *m_richText : host::richTextStore();
}

host::Connection &MessageWindowController::connection() const
{
    return host::requireConnection(m_records);
}

MessageStore MessageWindowController::store() const
{
    return MessageStore(connection(), hostRecords().configClass().get());
}

QString MessageWindowController::translate(const QString &text, const char *procedure) const
{
    return host::textService().translate(text, kObject + QStringLiteral(" > ") + QLatin1String(procedure));
}

qint32 MessageWindowController::ask(const QString &text, const QStringList &values, qint32 style,
                                    const QString &title) const
{
    return host::textService().messageBox(text, values, style, title);
}

qint32 MessageWindowController::id() const
{
    return m_messageId.toInt();
}

void MessageWindowController::setCaption(const QString &caption)
{
    m_caption = caption;
    Q_EMIT captionChanged(caption);
}

void MessageWindowController::markModified()
{
    m_modified = true;
    Q_EMIT changed();
}

void MessageWindowController::clearModified()
{
    m_modified = false;
    Q_EMIT changed();
}

void MessageWindowController::showWindow()
{
    hostRecords().showComponentWindow(m_widget, m_owner);
}

// ---------------------------------------------------------------------------
// Boxes

void MessageWindowController::setLink(const QString &link)
{
    m_link = link;
    Q_EMIT changed();
}

void MessageWindowController::setFocusOnMessage(bool focus)
{
    if (focus)
        Q_EMIT focusRequested(Focus::Editor);
}

void MessageWindowController::setObject(const QString &subject)
{
    m_subject = subject;
    setCaption(host::textService().substitute(translate(QStringLiteral("@1 - Messaggio"), "Object"), {subject}));
    clearModified();
}

void MessageWindowController::setAddress(qint32 box, const QString &text)
{
    m_addresses.at(box) = text;
    markModified();
}

void MessageWindowController::setSubject(const QString &subject)
{
    m_subject = subject;
    markModified();
}

void MessageWindowController::bodyEdited()
{
    markModified();
}

void MessageWindowController::fillTaskStatusList(QObject *combo)
{
    guardedVoid(m_errors.get(), kObject, "Form_Load",
                [&] { hostRecords().fillValueList(combo, kTable, QStringLiteral("TKSTA")); });
}

QStringList MessageWindowController::taskStatusCaptions() const
{
    QStringList captions;
    for (const char *status :
         {"Sconosciuto", "Accettata", "In Corso", "Completata", "In Attesa", "Rinviata", "Rifiutata"})
        captions << translate(QString::fromUtf8(status), "Form_Load");
    return captions;
}

void MessageWindowController::setTaskStatus(qint32 status)
{
    m_task.chooseStatus(status);
    markModified();
}

void MessageWindowController::setTaskCompletion(qint32 value)
{
    m_task.setCompletion(value);
    markModified();
}

void MessageWindowController::setTaskDue(const QDate &due)
{
    m_task.due = due;
    markModified();
}

void MessageWindowController::setTaskStarted(const QDate &started)
{
    m_task.started = started;
    markModified();
}

void MessageWindowController::setTaskFinished(const QDate &finished)
{
    m_task.finished = finished;
    markModified();
}

void MessageWindowController::setNotifyMe(bool notify)
{
    m_task.notifyMe = notify;
    markModified();
}

QString MessageWindowController::associationText() const
{
    if (m_associated != 1)
        return QString();
    return m_associatedText.isEmpty() ? m_associatedTable + QLatin1Char('|') + m_associatedKey : m_associatedText;
}

// ---------------------------------------------------------------------------
// Printing and toolbar

bool MessageWindowController::printsFromHtml() const
{
    return m_messageType == mstEmail || m_messageType == mstPublic || m_messageType == mstNotification;
}

std::unique_ptr<QTextDocument> MessageWindowController::TextForPrintHeader()
{
    std::unique_ptr<QTextDocument> document;
    guardedVoid(m_errors.get(), kObject, "TextForPrintHeader", [&] { document = printDocument(m_header, m_document); });
    return document;
}

QString MessageWindowController::PrintEmail()
{
    return guarded(m_errors.get(), kObject, "PrintEmail", QString(), [&] {
        QString html = richtext::toHtml(m_document);
        QFile file(m_webFile);
        if (m_showsWebView && file.open(QIODevice::ReadOnly))
            html = QString::fromUtf8(file.readAll());
        return withPrintHeader(html, m_header, hostRecords().userManager()->userName());
    });
}

bool MessageWindowController::keepsToolbarLayout() const
{
    auto config = m_records ? m_records->configClass() : nullptr;
    return config &&
           host::valueTools().toBoolean(config->value(QStringLiteral("GUI_OPTIONS_SAVE_TOOLBAR"), QStringLiteral("0")));
}

QString MessageWindowController::toolbarLayout() const
{
    return keepsToolbarLayout() ? m_records->configClass()->value(QStringLiteral("TOOLBARS_MESSAGE")) : QString();
}

void MessageWindowController::storeToolbarLayout(const QString &layout)
{
    if (keepsToolbarLayout())
        m_records->configClass()->setValue(QStringLiteral("TOOLBARS_MESSAGE"), layout, true);
}

} // namespace mrv
