#pragma once

#include "SuiteRecords.h"

#include <QQueue>
#include <QStringList>

namespace mrv::suite {

// One call made to a ScriptedInteraction: the operation's name and its
// arguments, pointers written as their address.
struct InteractionCall
{
    QString operation;
    QVariantList arguments;
};

// Windows and dialogs answered from queues, for the command line and tests.
// A dialog with no queued answer is cancelled: no record chosen, no file
// chosen, the query text unchanged, the recipients left unresolved.
class ScriptedInteraction : public Interaction
{
public:
    void queueChosenRecord(const std::optional<host::ChosenRecord> &record);
    void queueEditedQuery(const QString &text);
    void queueFilePath(const QString &path);
    void queueChosenRecipients(const QString &recipients);

    QList<InteractionCall> calls() const;
    // The calls of one operation, in order.
    QList<InteractionCall> calls(const QString &operation) const;
    void clearCalls();

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

private:
    void record(const QString &operation, const QVariantList &arguments);

    QQueue<std::optional<host::ChosenRecord>> m_chosenRecords;
    QQueue<QString> m_editedQueries;
    QQueue<QString> m_filePaths;
    QQueue<QString> m_chosenRecipients;
    QList<InteractionCall> m_calls;
};

} // namespace mrv::suite
