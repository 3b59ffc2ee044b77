#include "SqlValueTools.h"

#include "facade/Types.h"
#include "host/Failure.h"
#include "host/TypeCodes.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>

namespace mrv::suite::db {

namespace {

bool isEmptyOrNull(const QVariant &value)
{
    return !value.isValid() || mrv::isNull(value);
}

// The numeric text of a value, or nothing when it is not a number.
std::optional<double> parseNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString numberLiteral(double number)
{
    if (std::trunc(number) == number && std::fabs(number) < 9.0e15)
        return QString::number(static_cast<qint64>(number));
    return QString::number(number, 'g', 17);
}

std::optional<QDateTime> toDateTime(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().startOfDay();
    const QString text = value.toString().trimmed();
    for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
        const QDateTime parsed = QDateTime::fromString(text, format);
        if (parsed.isValid())
            return parsed;
    }
    for (const char *format :
         {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd", "dd/MM/yyyy HH:mm:ss", "dd/MM/yyyy"}) {
        const QDateTime parsed = QDateTime::fromString(text, QLatin1String(format));
        if (parsed.isValid())
            return parsed;
    }
    return std::nullopt;
}

} // namespace

QString SqlValueTools::quoted(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + result + QLatin1Char('\'');
}

QString SqlValueTools::dateTimeText(const QDateTime &value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString SqlValueTools::sqlLiteral(const QVariant &value, qint32 typeCode) const
{
    const QString nullLiteral = QStringLiteral("NULL");
    if (typeCode == host::tcNull || mrv::isNull(value))
        return nullLiteral;
    switch (typeCode) {
    case host::tcInt16:
    case host::tcInt32:
        if (!value.isValid())
            return QStringLiteral("0");
        if (!isNumeric(value))
            throw Failure(QStringLiteral("Type mismatch: \"%1\" is not a number").arg(value.toString()), 13);
        return numberLiteral(toNumber(value));
    case host::tcBoolean:
        return toBoolean(value) ? QStringLiteral("1") : QStringLiteral("0");
    case host::tcDateTime: {
        if (!value.isValid() || value.toString().trimmed().isEmpty())
            return nullLiteral;
        const auto date = toDateTime(value);
        if (!date)
            throw Failure(QStringLiteral("Type mismatch: \"%1\" is not a date").arg(value.toString()), 13);
        return quoted(dateTimeText(*date));
    }
    default:
        if (value.metaType().id() == QMetaType::QDateTime)
            return quoted(dateTimeText(value.toDateTime()));
        if (value.metaType().id() == QMetaType::Bool)
            return quoted(value.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
        return quoted(value.toString());
    }
}

QVariant SqlValueTools::nullSafe(const QVariant &value) const
{
    if (isEmptyOrNull(value))
        return QString();
    return value;
}

double SqlValueTools::toNumber(const QVariant &value) const
{
    if (isEmptyOrNull(value))
        return 0;
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? -1 : 0;
    if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return -1;
        return parseNumber(text).value_or(0);
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? number : 0;
}

bool SqlValueTools::toBoolean(const QVariant &value) const
{
    if (isEmptyOrNull(value))
        return false;
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool();
    if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        return parseNumber(text).value_or(0) != 0;
    }
    return toNumber(value) != 0;
}

bool SqlValueTools::isNumeric(const QVariant &value) const
{
    if (!value.isValid())
        return true; // Empty is numeric on this platform.
    if (mrv::isNull(value))
        return false;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return parseNumber(value.toString()).has_value();
    }
}

bool SqlValueTools::isEmailAddress(const QString &text) const
{
    // Deliberately plain: one "@", a dot-separated domain, no blanks,
    // brackets or list separators. Quoted local parts are not accepted. The
    // lengths are the ones mail servers hold to (64 characters before the
    // "@", 63 in a label of the domain, 254 in all), so that an address
    // accepted here is not refused when the message is sent.
    static const QRegularExpression address(
        QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~.-]{1,64}@[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)+$"));
    const QString trimmed = text.trimmed();
    if (trimmed.size() > 254 || trimmed.startsWith(QLatin1Char('.')) || trimmed.contains(QLatin1String("..")) ||
        trimmed.contains(QLatin1String(".@")))
        return false;
    return address.match(trimmed).hasMatch();
}

bool SqlValueTools::isPhoneNumber(const QString &text) const
{
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9]+(?:[ ./()-]*[0-9]+)*$"));
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    for (const QChar c : trimmed)
        digits += c.isDigit() ? 1 : 0;
    return digits >= 3 && digits <= 20 && number.match(trimmed).hasMatch();
}

QString SqlValueTools::cleanFileName(const QString &text) const
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1F]"));
    static const QRegularExpression reserved(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString name = text;
    name.replace(forbidden, QStringLiteral("_"));
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    name = name.trimmed();
    if (name.isEmpty() || name.count(QLatin1Char('.')) == name.size())
        return QStringLiteral("_");
    if (reserved.match(name).hasMatch())
        name.prepend(QLatin1Char('_'));
    return name;
}

} // namespace mrv::suite::db
