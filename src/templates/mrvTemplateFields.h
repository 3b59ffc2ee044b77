#pragma once

#include "facade/Types.h"
#include "facade/Windows.h"

#include <QList>
#include <QString>

#include <optional>

namespace mrv {

// One field of one message of a parsed template: a dataset column (or the
// pseudo-field "PARAM_USER_FULLNAME") and the value of the message's row.
class mrvTemplateField
{
public:
    QString Name() const { return m_name; }
    QString Value() const { return m_value; }
    qd_eDatasetLinkedFields Linked() const { return m_linked; }

    void initialize(const QString &name, const QString &value, qd_eDatasetLinkedFields linked);

private:
    QString m_name;
    QString m_value;
    qd_eDatasetLinkedFields m_linked = eDatasetLinkedField_None;
};

// The messages a template gave for a table and its keys: one list of
// fields per row of the dataset, every list with the same fields in the
// same order. Made only by mrvTemplate's parsing.
class mrvTemplateFields : public TemplateFieldsObject
{
public:
    qint32 Template() const { return m_template; }
    QString Table() const { return m_table; }
    qint32 Dataset() const { return m_dataset; }
    // -1 before initialize.
    qint32 Count() const override;
    // The fields of message `lIndex`, counted from 1; none outside the range.
    QList<mrvTemplateField> Fields(qint32 lIndex) const;
    qint32 FieldsCount() const;

    void initialize(qint32 templateId, const QString &table, qint32 datasetId);
    void append(const QList<mrvTemplateField> &fields);

private:
    qint32 m_template = 0;
    QString m_table;
    qint32 m_dataset = 0;
    std::optional<QList<QList<mrvTemplateField>>> m_messages;
};

} // namespace mrv
