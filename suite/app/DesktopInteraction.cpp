#include "DesktopInteraction.h"

#include "PagedViewModel.h"
#include "RecordDialogs.h"
#include "TableInfo.h"
#include "Texts.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace mrv::suite::app {

namespace {

constexpr int kChooserRows = 5000;
const QStringList kComponentTables = {QStringLiteral("SYS_MSG"), QStringLiteral("SYS_EXC"), QStringLiteral("SYS_FAX"),
                                      QStringLiteral("AZI_FAX")};

QMessageBox::Icon iconOfStyle(qint32 style)
{
    switch (style & 0x70) {
    case host::mbCritical:
        return QMessageBox::Critical;
    case host::mbQuestion:
        return QMessageBox::Question;
    case host::mbExclamation:
        return QMessageBox::Warning;
    case host::mbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The buttons of a style with the answer each gives, in the platform's order.
QList<QPair<QMessageBox::StandardButton, qint32>> buttonsOfStyle(qint32 style)
{
    switch (style & 0x7) {
    case host::mbOkCancel:
        return {{QMessageBox::Ok, host::mbYes}, {QMessageBox::Cancel, host::mbCancel}};
    case host::mbYesNoCancel:
        return {{QMessageBox::Yes, host::mbYes}, {QMessageBox::No, host::mbNo}, {QMessageBox::Cancel, host::mbCancel}};
    case host::mbYesNo:
        return {{QMessageBox::Yes, host::mbYes}, {QMessageBox::No, host::mbNo}};
    default:
        return {{QMessageBox::Ok, host::mbYes}};
    }
}

} // namespace

DesktopInteraction::DesktopInteraction(SuiteSession &session, Mode mode) : m_session(session), m_mode(mode) {}

std::shared_ptr<DesktopInteraction> DesktopInteraction::install(SuiteSession &session, Mode mode)
{
    auto interaction = std::make_shared<DesktopInteraction>(session, mode);
    session.records()->setInteraction(interaction);
    if (mode == Mode::Interactive) {
        session.textService()->setHandler(&DesktopInteraction::showMessageBox);
        session.setScreenPointer(std::make_shared<CursorPointer>());
    }
    return interaction;
}

void CursorPointer::setShape(qint32 shape)
{
    if (shape == m_shape)
        return;
    if (shape == host::psHourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (m_shape == host::psHourglass)
        QApplication::restoreOverrideCursor();
    m_shape = shape;
}

qint32 DesktopInteraction::showMessageBox(const ShownMessageBox &box)
{
    QMessageBox dialog(iconOfStyle(box.style), box.title.isEmpty() ? QStringLiteral("Merovan") : box.title, box.text);
    const auto buttons = buttonsOfStyle(box.style);
    const qsizetype defaultAt = qMin<qsizetype>((box.style & 0x300) >> 8, buttons.size() - 1);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QPushButton *button = dialog.addButton(buttons.at(i).first);
        if (i == defaultAt)
            dialog.setDefaultButton(button);
    }
    const auto clicked = QMessageBox::StandardButton(dialog.exec());
    for (const auto &[button, answer] : buttons) {
        if (button == clicked)
            return answer;
    }
    return buttons.size() > 1 ? host::mbCancel : host::mbYes;
}

QString DesktopInteraction::logicalName(const QString &name) const
{
    const QString prefix = m_session.users()->companyCode() + QLatin1Char('_');
    return name.startsWith(prefix, Qt::CaseInsensitive) ? name.mid(prefix.size()) : name;
}

std::optional<host::ChosenRecord> DesktopInteraction::chooseRecord(QWidget *owner, const QString &table,
                                                                   const QString &filter)
{
    if (!interactive())
        return std::nullopt;
    const QString logical = logicalName(table);
    const QString key = keyColumnOf(logical);
    const QString text = textColumnOf(logical);
    QString sql =
        QStringLiteral("SELECT TOP %1 * FROM %2").arg(kChooserRows).arg(m_session.records()->physicalName(logical));
    if (!filter.trimmed().isEmpty())
        sql += QStringLiteral("\rWHERE ") + filter;
    const db::QueryResult rows = m_session.connection()->query(sql + QStringLiteral("\rORDER BY ") + key);
    ChooserDialog dialog(m_session.records()->objectTitle(logical, 0), rows, QString(), owner);
    dialog.exec();
    const int chosen = dialog.chosenRow();
    if (chosen < 0)
        return std::nullopt;
    return host::ChosenRecord{fieldOf(rows, chosen, key).toString(), fieldOf(rows, chosen, text).toString()};
}

QString DesktopInteraction::editQuery(QWidget *owner, qint32 /*mode*/, const QString &text, bool editable)
{
    if (!interactive() || !editable)
        return text;
    bool accepted = false;
    const QString edited = QInputDialog::getMultiLineText(owner, shellText(QStringLiteral("Query"), "EditQuery"),
                                                          QString(), text, &accepted);
    return accepted ? edited : text;
}

QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        const QString spelled = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters << (description.endsWith(spelled) ? description : description + QLatin1Char(' ') + spelled);
    }
    return filters;
}

QString DesktopInteraction::fileDialog(qint32 mode, const QString &folder, const QString &fileName,
                                       const QString &filter, const QString &defaultExtension)
{
    if (!interactive())
        return {};
    constexpr qint32 kSave = 3;
    QFileDialog dialog(nullptr, QString(), folder);
    dialog.setAcceptMode(mode == kSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode == kSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtNameFilters(filter));
    dialog.setDefaultSuffix(defaultExtension.startsWith(QLatin1Char('.')) ? defaultExtension.mid(1) : defaultExtension);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString DesktopInteraction::chooseRecipients(QWidget *owner, const QString &codeList, const QString &item)
{
    if (!interactive())
        return {};
    QString sql = QStringLiteral("SELECT INCOD, INNAM, INEEE, INFFF FROM ") +
                  m_session.records()->physicalName(QStringLiteral("IND_ALL_LST"));
    if (!codeList.isEmpty())
        sql += QStringLiteral("\rWHERE INCOD IN (") + codeList + QLatin1Char(')');
    const db::QueryResult rows = m_session.connection()->query(sql + QStringLiteral("\rORDER BY INNAM"));
    ChooserDialog dialog(shellText(QStringLiteral("Rubrica"), "ChooseRecipients"), rows,
                         codeList.isEmpty() ? item : QString(), owner);
    dialog.exec();
    const int chosen = dialog.chosenRow();
    if (chosen < 0)
        return {};
    const QString email = fieldOf(rows, chosen, QStringLiteral("INEEE")).toString();
    return email.isEmpty() ? fieldOf(rows, chosen, QStringLiteral("INFFF")).toString() : email;
}

void DesktopInteraction::openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key)
{
    const QString table = tableOf(logicalName(tableOrView));
    if (kComponentTables.contains(table)) {
        m_session.message()->OpenRecord(owner, table, key);
        return;
    }
    db::QueryResult record = readRecord(m_session, table, key);
    if (record.rows.isEmpty())
        throw Failure(QStringLiteral("%1 holds no record %2").arg(table, key));
    for (QString &column : record.columns)
        column = captionOf(table, column);
    auto *form =
        new RecordFormDialog(m_session.records()->objectTitle(table, 0) + QStringLiteral(" - ") + key, record, owner);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}

void DesktopInteraction::showComponentWindow(QWidget *window, QWidget * /*owner*/)
{
    if (!window)
        throw Failure(QStringLiteral("No window to show"));
    auto *dialog = qobject_cast<QDialog *>(window);
    if (dialog && interactive()) {
        dialog->exec();
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void DesktopInteraction::refreshView(const QString &view, qint32 /*mode*/, const QVariant &bookmark,
                                     const QString & /*extra*/)
{
    Q_EMIT viewRefreshRequested(logicalName(view), bookmark);
}

void DesktopInteraction::fillValueList(QObject *combo, const QString &table, const QString &column)
{
    auto *box = qobject_cast<QComboBox *>(combo);
    if (!box)
        throw Failure(QStringLiteral("A value list fills combo boxes only"));
    const db::QueryResult values = m_session.connection()->query(
        QStringLiteral("SELECT VLVAL, VLTXT FROM SYS_VAL\rWHERE VLTAB = %1 AND VLFLD = %2")
            .arg(db::SqlValueTools::quoted(table), db::SqlValueTools::quoted(column)));
    // Codes are mostly numbers ("0" to "13"): they sort, and are found by
    // findData(), as numbers.
    QList<QPair<QVariant, QString>> items;
    for (const QVariantList &row : values.rows) {
        bool numeric = false;
        const int number = row.value(0).toString().toInt(&numeric);
        items.append({numeric ? QVariant(number) : row.value(0), row.value(1).toString()});
    }
    std::sort(items.begin(), items.end(), [](const auto &left, const auto &right) {
        return QVariant::compare(left.first, right.first) == QPartialOrdering::Less;
    });
    box->clear();
    for (const auto &[value, caption] : std::as_const(items))
        box->addItem(caption, value);
}

void DesktopInteraction::bindList(QObject *grid, const QString &viewOrLayout, const QString &filter)
{
    auto *view = qobject_cast<QAbstractItemView *>(grid);
    if (!view)
        throw Failure(QStringLiteral("A list binds to item views only"));
    const QString source = m_session.records()->physicalName(logicalName(viewOrLayout));
    auto *model = new PagedViewModel(m_session.connection(), {source, filter, {}, {}}, view);
    QAbstractItemModel *previous = view->model();
    view->setModel(model);
    if (previous && previous->parent() == view)
        previous->deleteLater();
    model->reload();
}

} // namespace mrv::suite::app
