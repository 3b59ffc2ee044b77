#pragma once

#include "facade/ComObject.h"
#include "facade/Windows.h"
#include "mrvTemplateFields.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace mrv {

namespace host {
class Connection;
class Errors;
class Records;
class RecordSet;
} // namespace host

class mrvDataset;

// A message template (a row of SYS_MST) filled from its datasets: parsing
// runs the template's dataset for a table with the keys of its records and
// gives one message per row; field replacement renders a stored text of the
// template per message.
class mrvTemplate : public TemplateObject, public ComObject
{
public:
    void setRecords(std::shared_ptr<host::Records> records) override;
    void setErrors(std::shared_ptr<host::Errors> errors) override;

    // The fields the template's datasets share (or those of one dataset).
    bool GetCommonFields(qint32 lTemplateId, QStringList &aFields, qint32 lDataSetId = 0);
    // The messages of the template for the keys; nothing when the template
    // has no dataset for the table or its dataset cannot run.
    std::shared_ptr<mrvTemplateFields> Parse(qint32 lTemplateId, const QString &sTableName, QList<QVariant> &vVars);
    std::shared_ptr<TemplateFieldsObject> ParseFromList(qint32 lTemplateId, const QString &sTableName,
                                                        const QString &sVarsList,
                                                        const QString &sVarsSep = QStringLiteral(",")) override;
    std::shared_ptr<mrvTemplateFields> ParseFromArray(qint32 lTemplateId, const QString &sTableName,
                                                      QList<qint32> &lVars);
    // The stored rich text of one row rendered once per message (every
    // message when lIndex is 0), each as RTF with the fields turned into
    // their values.
    bool ReplaceFields(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult,
                       const QString &sTable, const QString &sField, const QString &sKeyField, const QString &sKeyValue,
                       qint32 iKeyType, qint32 iTextType = 5, qint32 lIndex = 0);
    // The body (MTTEM) and the subject (MTOBJ) rendered per message.
    bool GetTemplates(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult, qint32 lIndex = 0);
    bool GetSubjects(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult, qint32 lIndex = 0);
    // Per message: the To, Cc and Ccn lists, each as the preferred channel's
    // list, the e-mail list and the fax list.
    bool GetRecipients(const TemplateFieldsObject *objTemplateFields, QStringList &colTo, QStringList &colTo_Email,
                       QStringList &colTo_Fax, QStringList &colCc, QStringList &colCc_Email, QStringList &colCc_Fax,
                       QStringList &colCcn, QStringList &colCcn_Email, QStringList &colCcn_Fax, qint32 lIndex = 0);
    // Per message: the PDF file of the template's report for the message's
    // print key, "" for a message without one.
    bool GetReports(const TemplateFieldsObject *objTemplateFields, QStringList &colResult,
                    const QStringList &aReportParams, QString &sOut_ReportCode, QString &sOut_Table, QString &sOut_Keys,
                    qint32 lIndex = 0);
    // The recipient types of the template in its order, then the others.
    QVariant GetRecipientsTypeList(qint32 lTemplateId, QList<mrv_tRecipientType> &aRecipients);
    void ShowPreview(QWidget *fOwner, std::shared_ptr<TemplateFieldsObject> objTemplateFields, qint32 iMode = 1,
                     const QString &sFilesToAttach = QString()) override;

private:
    host::Connection &connection() const;
    std::unique_ptr<mrvDataset> dataset() const;
    bool commonFields(qint32 templateId, QStringList &fields, qint32 datasetId);
    std::shared_ptr<mrvTemplateFields> parse(qint32 templateId, const QString &table, QList<qint32> &keys);
    QStringList linkedFields(mrvDataset &dataset, qint32 datasetId);
    bool renderColumn(const TemplateFieldsObject *fields, const QString &column, QList<QByteArray> &result,
                      qint32 index);
    QList<mrv_tRecipientType> recipientTypes(qint32 templateId);
    QString reportFile(const QList<mrvTemplateField> &fields) const;
    QList<mrvTemplateField> messageOf(const host::RecordSet &row, const QStringList &fields,
                                      const QStringList &linked) const;

    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
};

} // namespace mrv
