#include "mrvTemplateFields.h"

namespace mrv {

void mrvTemplateField::initialize(const QString &name, const QString &value, qd_eDatasetLinkedFields linked)
{
    m_name = name;
    m_value = value;
    m_linked = linked;
}

qint32 mrvTemplateFields::Count() const
{
    return m_messages ? qint32(m_messages->size()) : -1;
}

QList<mrvTemplateField> mrvTemplateFields::Fields(qint32 lIndex) const
{
    if (!m_messages || lIndex < 1 || lIndex > m_messages->size())
        return {};
    return m_messages->at(lIndex - 1);
}

qint32 mrvTemplateFields::FieldsCount() const
{
    return m_messages && !m_messages->isEmpty() ? qint32(m_messages->constFirst().size()) : 0;
}

void mrvTemplateFields::initialize(qint32 templateId, const QString &table, qint32 datasetId)
{
    m_template = templateId;
    m_table = table;
    m_dataset = datasetId;
    m_messages.emplace();
}

void mrvTemplateFields::append(const QList<mrvTemplateField> &fields)
{
    if (!m_messages)
        m_messages.emplace();
    m_messages->append(fields);
}

} // namespace mrv
