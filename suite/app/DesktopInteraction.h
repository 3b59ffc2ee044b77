#pragma once

#include "host/ScreenPointer.h"
#include "services/SuiteRecords.h"

#include <QObject>

namespace mrv::suite {
class SuiteSession;
struct ShownMessageBox;
} // namespace mrv::suite

namespace mrv::suite::app {

// The suite's windows and dialogs as real widgets. Unattended, as when a
// picture is taken, nothing waits for a user: dialogs are cancelled and
// component windows are shown without modality.
class DesktopInteraction : public QObject, public Interaction
{
    Q_OBJECT

public:
    enum class Mode { Interactive, Unattended };

    DesktopInteraction(SuiteSession &session, Mode mode);

    // Installs this object into the session's records and, when interactive,
    // message boxes on screen into its text service and the busy state on
    // the cursor.
    static std::shared_ptr<DesktopInteraction> install(SuiteSession &session, Mode mode);

    std::optional<host::ChosenRecord> chooseRecord(QWidget *owner, const QString &table,
                                                   const QString &filter) override;
    QString editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable) override;
    QString fileDialog(qint32 mode, const QString &folder, const QString &fileName, const QString &filter,
                       const QString &defaultExtension) override;
    QString chooseRecipients(QWidget *owner, const QString &codeList, const QString &item) override;
    void openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key) override;
    void showComponentWindow(QWidget *window, QWidget *owner) override;
    void refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra) override;
    void fillValueList(QObject *combo, const QString &table, const QString &column) override;
    void bindList(QObject *grid, const QString &viewOrLayout, const QString &filter) override;

    // A message box on screen, answering 6 (yes or OK), 7 (no) or 2 (cancel).
    static qint32 showMessageBox(const ShownMessageBox &box);

Q_SIGNALS:
    // Lists showing `view` read it again and select the bookmark's record.
    void viewRefreshRequested(const QString &view, const QVariant &bookmark);

private:
    bool interactive() const { return m_mode == Mode::Interactive; }
    QString logicalName(const QString &name) const;

    SuiteSession &m_session;
    Mode m_mode;
};

// The busy state as the application's cursor.
class CursorPointer : public host::ScreenPointer
{
public:
    qint32 shape() const override { return m_shape; }
    void setShape(qint32 shape) override;

private:
    qint32 m_shape = host::psDefault;
};

// The filter of a file dialog as the platform writes it ("Testo (*.txt)|
// *.txt|Tutti i file (*.*)|*.*") in Qt's spelling, one entry a pair.
QStringList qtNameFilters(const QString &filter);

} // namespace mrv::suite::app
