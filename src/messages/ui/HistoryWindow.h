#pragma once

#include "facade/Windows.h"
#include "messages/HistoryController.h"

#include <QPointer>
#include <QWidget>

namespace mrv::widgets {
class CommandBar;
class RecordGrid;
} // namespace mrv::widgets

namespace mrv::ui {

// The history window frm_mrvHistory: a grid bound to a HistoryController.
class HistoryWindow : public mrv::HistoryWindow
{
public:
    HistoryWindow();
    ~HistoryWindow() override;

    void setErrors(std::shared_ptr<host::Errors> errors) override;
    void setRecords(std::shared_ptr<host::Records> records) override;
    bool ShowHistory(QWidget *owner, const QString &table, const QString &key, const QString &viewName,
                     const QString &description) override;

    bool isEnabled() const override;
    void focus() override;
    void hide() override;
    bool unload() override;
    QWidget *widget() override;

    HistoryController &controller() { return m_controller; }
    widgets::RecordGrid *grid() const { return m_grid; }
    // Reads the list again and shows it (the window's refresh).
    void reload();

private:
    void build();
    void showRows();
    void openCurrent(const char *procedure);
    void showPopup(const QPoint &position);
    void leaveRegistryLater();

    HistoryController m_controller;
    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::Records> m_records;
    QPointer<QWidget> m_form;
    widgets::RecordGrid *m_grid = nullptr;
    widgets::CommandBar *m_commands = nullptr;
};

} // namespace mrv::ui
