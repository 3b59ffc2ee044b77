#include "ScriptedInteraction.h"

namespace mrv::suite {

namespace {

QVariant address(const void *pointer)
{
    return QVariant::fromValue(reinterpret_cast<quintptr>(pointer));
}

template <typename T> T takeOr(QQueue<T> &queue, const T &fallback)
{
    return queue.isEmpty() ? fallback : queue.dequeue();
}

} // namespace

void ScriptedInteraction::queueChosenRecord(const std::optional<host::ChosenRecord> &record)
{
    m_chosenRecords.enqueue(record);
}

void ScriptedInteraction::queueEditedQuery(const QString &text)
{
    m_editedQueries.enqueue(text);
}

void ScriptedInteraction::queueFilePath(const QString &path)
{
    m_filePaths.enqueue(path);
}

void ScriptedInteraction::queueChosenRecipients(const QString &recipients)
{
    m_chosenRecipients.enqueue(recipients);
}

QList<InteractionCall> ScriptedInteraction::calls() const
{
    return m_calls;
}

QList<InteractionCall> ScriptedInteraction::calls(const QString &operation) const
{
    QList<InteractionCall> matching;
    for (const InteractionCall &call : m_calls) {
        if (call.operation == operation)
            matching << call;
    }
    return matching;
}

void ScriptedInteraction::clearCalls()
{
    m_calls.clear();
}

void ScriptedInteraction::record(const QString &operation, const QVariantList &arguments)
{
    m_calls.append({operation, arguments});
}

std::optional<host::ChosenRecord> ScriptedInteraction::chooseRecord(QWidget *owner, const QString &table,
                                                                    const QString &filter)
{
    record(QStringLiteral("chooseRecord"), {address(owner), table, filter});
    return takeOr(m_chosenRecords, std::optional<host::ChosenRecord>());
}

QString ScriptedInteraction::editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable)
{
    record(QStringLiteral("editQuery"), {address(owner), mode, text, editable});
    return takeOr(m_editedQueries, text);
}

QString ScriptedInteraction::fileDialog(qint32 mode, const QString &folder, const QString &fileName,
                                        const QString &filter, const QString &defaultExtension)
{
    record(QStringLiteral("fileDialog"), {mode, folder, fileName, filter, defaultExtension});
    return takeOr(m_filePaths, QString());
}

QString ScriptedInteraction::chooseRecipients(QWidget *owner, const QString &codeList, const QString &item)
{
    record(QStringLiteral("chooseRecipients"), {address(owner), codeList, item});
    return takeOr(m_chosenRecipients, QString());
}

void ScriptedInteraction::openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key)
{
    record(QStringLiteral("openRecordWindow"), {address(owner), tableOrView, key});
}

void ScriptedInteraction::showComponentWindow(QWidget *window, QWidget *owner)
{
    record(QStringLiteral("showComponentWindow"), {address(window), address(owner)});
}

void ScriptedInteraction::refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra)
{
    record(QStringLiteral("refreshView"), {view, mode, bookmark, extra});
}

void ScriptedInteraction::fillValueList(QObject *combo, const QString &table, const QString &column)
{
    record(QStringLiteral("fillValueList"), {address(combo), table, column});
}

void ScriptedInteraction::bindList(QObject *grid, const QString &viewOrLayout, const QString &filter)
{
    record(QStringLiteral("bindList"), {address(grid), viewOrLayout, filter});
}

} // namespace mrv::suite
