#include "NotificationBatch.h"

#include "host/Failure.h"

#include <QRegularExpression>

namespace mrv::notifications {

namespace {

const QString kReferenceOpen = QStringLiteral("[@");
const QString kReferenceClose = QStringLiteral("@]");
const QString kParameterPrefix = QStringLiteral("@SYS_NTG_");
const QString kLabelOpen = QStringLiteral("SELECT(");
const QString kCRLF = QStringLiteral("\r\n");

QString headerLine(const QString &text)
{
    return QStringLiteral("/**/") + text + kCRLF;
}

void appendOnce(QStringList &list, const QString &item)
{
    if (!list.contains(item))
        list << item;
}

bool isWholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

bool isCompanyCode(const QString &text)
{
    static const QRegularExpression code(QStringLiteral("^[A-Za-z0-9]+$"));
    return code.match(text).hasMatch();
}

// "DECLARE @SYS_NTG_5 NVARCHAR(4000)<TAB>SET @SYS_NTG_5 = dbo.A01_XFN_SYS_NTG_GET(5)"
QString parameterDeclaration(const QString &item, const QString &companyCode)
{
    const QString key = parameterKey(item);
    if (!isWholeNumber(key))
        throw Failure(
            QStringLiteral("The parameter reference \"[@%1@]\" does not name a parameter by its number").arg(key));
    if (!isCompanyCode(companyCode))
        throw Failure(
            QStringLiteral("The parameters of a notification need a company code, not \"%1\"").arg(companyCode));
    return QStringLiteral("DECLARE ") + item + QStringLiteral(" NVARCHAR(4000)\tSET ") + item +
           QStringLiteral(" = dbo.") + companyCode + QStringLiteral("_XFN_SYS_NTG_GET(") + key + u')';
}

// "DECLARE @1 NVARCHAR(255)<TAB>SET @1 = 'Cliente'"
QString labelDeclaration(qsizetype number, const QString &label)
{
    if (label.contains(u'\''))
        throw Failure(
            QStringLiteral("The field label \"%1\" holds a single quote, which would end its text in the batch")
                .arg(label));
    const QString variable = u'@' + QString::number(number);
    return QStringLiteral("DECLARE ") + variable + QStringLiteral(" NVARCHAR(255)\tSET ") + variable +
           QStringLiteral(" = '") + label + u'\'';
}

} // namespace

void collectParameterReferences(const QString &text, QStringList &found)
{
    for (qsizetype open = text.indexOf(kReferenceOpen); open >= 0; open = text.indexOf(kReferenceOpen, open + 1)) {
        const qsizetype start = open + kReferenceOpen.size();
        const qsizetype close = text.indexOf(kReferenceClose, start);
        if (close < 0)
            throw Failure(QStringLiteral("The parameter reference at character %1 has no closing \"@]\": \"%2\"")
                              .arg(open + 1)
                              .arg(text.mid(open, 40)));
        appendOnce(found, kParameterPrefix + text.mid(start, close - start));
    }
}

QStringList fieldLabels(const QString &query)
{
    QStringList labels;
    for (qsizetype open = query.indexOf(kLabelOpen); open >= 0; open = query.indexOf(kLabelOpen, open + 1)) {
        const qsizetype start = open + kLabelOpen.size();
        const qsizetype close = query.indexOf(u')', start);
        appendOnce(labels, close < 0 ? query.mid(start) : query.mid(start, close - start));
    }
    return labels;
}

QString renumberParameterReferences(const QString &text, const QHash<QString, QString> &newKeys)
{
    QString result;
    qsizetype copied = 0;
    for (qsizetype open = text.indexOf(kReferenceOpen); open >= 0; open = text.indexOf(kReferenceOpen, open + 1)) {
        const qsizetype start = open + kReferenceOpen.size();
        const qsizetype close = text.indexOf(kReferenceClose, start);
        if (close < 0)
            break;
        const QString key = text.mid(start, close - start);
        result += text.mid(copied, start - copied) + newKeys.value(key, key);
        copied = open = close;
    }
    return result + text.mid(copied);
}

QString parameterKey(const QString &item)
{
    return item.startsWith(kParameterPrefix) ? item.mid(kParameterPrefix.size()) : item;
}

QString notificationBatch(const QString &query, qint32 notificationId, const QString &companyCode, bool deleteResults)
{
    const QString rule(68, u'-');
    QStringList parameters;
    collectParameterReferences(query, parameters);
    QString header = headerLine(rule) + headerLine(QStringLiteral("DECLARE @SYS_NTF INT\tSET @SYS_NTF = ") +
                                                   QString::number(notificationId));
    for (const QString &parameter : std::as_const(parameters))
        header += headerLine(parameterDeclaration(parameter, companyCode));
    QString body = query;
    body.replace(kReferenceOpen, kParameterPrefix).remove(kReferenceClose);
    const QStringList labels = fieldLabels(body);
    for (qsizetype i = 0; i < labels.size(); ++i)
        header += headerLine(labelDeclaration(i + 1, labels.at(i)));
    if (deleteResults)
        header += headerLine(QStringLiteral("DELETE FROM SYS_NTT WHERE IDNTF = @SYS_NTF"));
    header += headerLine(rule);
    for (qsizetype i = 0; i < labels.size(); ++i)
        body.replace(kLabelOpen + labels.at(i) + u')',
                     QStringLiteral("INSERT INTO SYS_NTT (IDNTF, NTFLD, NTVAL) SELECT @SYS_NTF, @") +
                         QString::number(i + 1) + u',');
    return header + kCRLF + body;
}

} // namespace mrv::notifications
