#include "HistoryWindow.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/WindowRegistry.h"
#include "host/Records.h"
#include "platform/widgets/CommandBar.h"
#include "platform/widgets/Icons.h"
#include "platform/widgets/RecordGrid.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace mrv::ui {

namespace {

const QString kObject = QString::fromLatin1(HistoryController::kObjectName);

// The window's top-level widget: tells its owner when the user closes it.
class HistoryForm : public QWidget
{
public:
    explicit HistoryForm(std::function<void()> closed) : m_closed(std::move(closed)) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->accept();
        m_closed();
    }

private:
    std::function<void()> m_closed;
};

[[maybe_unused]] const bool kRegistered = [] {
    Factories::add(mrv::HistoryWindow::factoryName(), [] { return std::make_unique<HistoryWindow>(); });
    return true;
}();

} // namespace

HistoryWindow::HistoryWindow()
{
    build();
}

HistoryWindow::~HistoryWindow()
{
    // A window still loaded when the process ends goes after the
    // application object, when widgets can no longer be destroyed.
    if (QCoreApplication::instance())
        delete m_form;
}

void HistoryWindow::build()
{
    m_form = new HistoryForm([this] { leaveRegistryLater(); });
    m_form->setObjectName(kObject);
    m_form->setWindowIcon(widgets::resourceIcon(QStringLiteral("message_his")));
    m_grid = new widgets::RecordGrid(m_form);
    m_grid->setObjectName(QStringLiteral("gridRow"));
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *layout = new QVBoxLayout(m_form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    m_form->resize(720, 360);

    m_commands =
        new widgets::CommandBar([this] { return m_controller.commands(); },
                                [this](qint32 id) { m_controller.execute(id, m_grid->selectedRows()); }, m_form);
    m_grid->setCopyHandler(
        [this](const QList<qsizetype> &rows) { m_controller.execute(HistoryController::kCopyCommand, rows); });
    QObject::connect(m_grid, &widgets::RecordGrid::rowActivated, m_form,
                     [this](qsizetype) { openCurrent("gridRow_DblClick"); });
    QObject::connect(m_grid, &QWidget::customContextMenuRequested, m_form,
                     [this](const QPoint &position) { showPopup(position); });
    auto *refresh = new QShortcut(QKeySequence::Refresh, m_form);
    QObject::connect(refresh, &QShortcut::activated, m_form, [this] { reload(); });
}

void HistoryWindow::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = errors;
    m_controller.setErrors(std::move(errors));
}

void HistoryWindow::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = records;
    m_controller.setRecords(std::move(records));
}

bool HistoryWindow::ShowHistory(QWidget *owner, const QString &table, const QString &key, const QString &viewName,
                                const QString &description)
{
    // A window with nothing to show does not stay loaded.
    if (!m_controller.showHistory(table, key, viewName, description)) {
        leaveRegistryLater();
        return false;
    }
    return guarded(m_errors.get(), kObject, "ShowHistory", false, [&] {
        setTag(m_controller.tag());
        m_form->setWindowTitle(m_controller.caption());
        QList<widgets::GridColumn> columns;
        for (const HistoryColumn &column : HistoryController::columns())
            columns << widgets::GridColumn{column.key,   column.caption, column.headerImage,
                                           column.width, column.hidden,  {}};
        columns[HistoryController::columnIndex(QStringLiteral("_ICON"))].cellImage = [this](qsizetype row) {
            return m_controller.iconImage(row);
        };
        columns[HistoryController::columnIndex(QStringLiteral("CEPRY"))].cellImage = [this](qsizetype row) {
            return m_controller.priorityImage(row);
        };
        m_grid->setColumns(columns);
        m_grid->setLayoutName(m_records->configClass(), QString::fromLatin1(HistoryController::kLayoutName));
        showRows();
        m_records->showComponentWindow(m_form, owner);
        return true;
    });
}

void HistoryWindow::reload()
{
    guardedVoid(m_errors.get(), kObject, "LoadData", [&] {
        if (m_controller.loadData())
            showRows();
    });
}

void HistoryWindow::showRows()
{
    m_grid->setRows(m_controller.rows());
    m_commands->refresh();
}

void HistoryWindow::openCurrent(const char *procedure)
{
    m_controller.openItem(m_grid->currentRow(), m_form, procedure);
}

void HistoryWindow::showPopup(const QPoint &position)
{
    guardedVoid(m_errors.get(), kObject, "gridRow_MouseDown", [&] {
        m_commands->refresh();
        m_commands->menu(HistoryController::kPopupMenu)->exec(m_grid->viewport()->mapToGlobal(position));
    });
}

bool HistoryWindow::isEnabled() const
{
    return m_form && m_form->isEnabled();
}

void HistoryWindow::focus()
{
    m_form->show();
    m_form->raise();
    m_form->activateWindow();
}

void HistoryWindow::hide()
{
    m_form->hide();
}

bool HistoryWindow::unload()
{
    return guarded(m_errors.get(), kObject, "Form_Unload", false, [&] {
        m_grid->saveLayout();
        WindowRegistry::instance().remove(this);
        return true;
    });
}

QWidget *HistoryWindow::widget()
{
    return m_form;
}

// The registry owns the window and destroys it on removal, which cannot
// happen inside the window's own close event or call: it leaves once they
// are over.
void HistoryWindow::leaveRegistryLater()
{
    QPointer<QWidget> form = m_form;
    QTimer::singleShot(0, [this, form] {
        if (form)
            WindowRegistry::instance().remove(this);
    });
}

} // namespace mrv::ui
