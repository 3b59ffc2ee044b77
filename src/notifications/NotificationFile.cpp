#include "NotificationFile.h"

#include "NotificationBatch.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/ValueTools.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

namespace mrv::notifications {

namespace {

const QString kCRLF = QStringLiteral("\r\n");
const QChar kJoin(1);
const QByteArray kByteOrderMark("\xFF\xFE", 2);

enum class Kind {
    Text,      // a value of one line; its line breaks, should it have any, still flattened
    Flattened, // a text of several lines, flattened and trimmed
    Number,    // a whole number, or empty for Null
    Flag,      // a Boolean as a whole number: -1 true, 0 false
};

struct LineDef
{
    const char *key;
    Kind kind;
};

struct SectionDef
{
    const char *table;
    QList<LineDef> lines;
};

const QList<SectionDef> &sectionDefs()
{
    static const QList<SectionDef> defs = {
        {"SYS_NTF",
         {{"CDAZI", Kind::Text},
          {"NTTIP", Kind::Number},
          {"NTEXE", Kind::Number},
          {"NTDES", Kind::Text},
          {"NTNOT", Kind::Flattened},
          {"NTTBL", Kind::Text},
          {"NTQRY", Kind::Flattened},
          {"NTSUB", Kind::Flattened}}},
        {"SYS_NTC",
         {{"NCSEL", Kind::Flag},
          {"NCDES", Kind::Text},
          {"NCV1C", Kind::Flattened},
          {"NCV1T", Kind::Number},
          {"NCOPE", Kind::Text},
          {"NCV2C", Kind::Flattened},
          {"NCV2T", Kind::Number},
          {"NCIMP", Kind::Number},
          {"NCNOT", Kind::Flag}}},
        // A parameter's value may hold several lines as the texts do.
        {"SYS_NTG", {{"NGDES", Kind::Text}, {"NGVAL", Kind::Flattened}}},
    };
    return defs;
}

// The texts in which a notification refers to parameters.
const QList<QPair<QString, QString>> &referringValues()
{
    static const QList<QPair<QString, QString>> values = {{QStringLiteral("SYS_NTF"), QStringLiteral("NTNOT")},
                                                          {QStringLiteral("SYS_NTF"), QStringLiteral("NTQRY")},
                                                          {QStringLiteral("SYS_NTF"), QStringLiteral("NTSUB")},
                                                          {QStringLiteral("SYS_NTC"), QStringLiteral("NCV1C")},
                                                          {QStringLiteral("SYS_NTC"), QStringLiteral("NCV2C")}};
    return values;
}

QString header(const SectionDef &def)
{
    return u'[' + QLatin1String(def.table) + u']';
}

QString oneLine(const QString &text)
{
    QString line = text;
    line.replace(u'\r', kJoin).replace(u'\n', kJoin).replace(QString(2, kJoin), kJoin);
    return line;
}

QString restored(const QString &value)
{
    return QString(value).replace(kJoin, kCRLF);
}

bool isNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
    return text.isEmpty() || number.match(text).hasMatch();
}

QString decodedText(const QByteArray &bytes)
{
    if (!bytes.startsWith(kByteOrderMark))
        throw Failure(QStringLiteral("The file is not a notification export: it is not UTF-16 text beginning with "
                                     "its byte-order mark"));
    if (bytes.size() % 2 != 0)
        throw Failure(QStringLiteral("The notification file is cut short: it ends within a character"));
    QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(bytes).sliced(kByteOrderMark.size()));
    if (decoder.hasError())
        throw Failure(QStringLiteral("The notification file is not valid UTF-16 text"));
    if (!text.endsWith(kCRLF))
        throw Failure(QStringLiteral("The notification file is cut short: its last line does not end with CR LF"));
    return text;
}

// Reads the lines into sections, each line checked against what its
// section expects at that place.
class SectionReader
{
public:
    void read(qsizetype number, const QString &line)
    {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            throw Failure(QStringLiteral("Line %1 of the notification file is not KEY=value").arg(number));
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (!m_def || m_next == m_def->lines.size())
            startSection(number, key, value);
        else
            readValue(number, key, value);
    }

    QList<FileSection> finish()
    {
        if (!m_def)
            throw Failure(QStringLiteral("The notification file is empty"));
        requireComplete();
        return m_sections;
    }

private:
    void startSection(qsizetype number, const QString &key, const QString &value)
    {
        if (m_def)
            requireComplete();
        const auto &defs = sectionDefs();
        // Sections come in the order of their definitions, the notification once.
        const qsizetype from = m_def ? std::max<qsizetype>(m_def - defs.constData(), 1) : 0;
        for (qsizetype i = from; i < (m_def ? defs.size() : 1); ++i) {
            if (key == header(defs.at(i))) {
                m_def = &defs.at(i);
                m_next = 0;
                m_start = number;
                m_sections.append({QLatin1String(m_def->table), restored(value), {}});
                return;
            }
        }
        throw Failure(QStringLiteral("Line %1 of the notification file: \"%2\" where %3 was expected")
                          .arg(number)
                          .arg(key, m_def ? QStringLiteral("a section") : QStringLiteral("[SYS_NTF]")));
    }

    void readValue(qsizetype number, const QString &key, const QString &value)
    {
        const LineDef &line = m_def->lines.at(m_next++);
        if (key != QLatin1String(line.key))
            throw Failure(QStringLiteral("Line %1 of the notification file: \"%2\" where %3 was expected")
                              .arg(number)
                              .arg(key, QLatin1String(line.key)));
        if ((line.kind == Kind::Number || line.kind == Kind::Flag) && !isNumber(value))
            throw Failure(QStringLiteral("Line %1 of the notification file: %2 needs a whole number, not \"%3\"")
                              .arg(number)
                              .arg(key, value));
        m_sections.last().values.insert(key, restored(value));
    }

    void requireComplete() const
    {
        if (m_next < m_def->lines.size())
            throw Failure(QStringLiteral("The notification file is cut short: the section %1 of line %2 has no %3")
                              .arg(header(*m_def))
                              .arg(m_start)
                              .arg(QLatin1String(m_def->lines.at(m_next).key)));
    }

    QList<FileSection> m_sections;
    const SectionDef *m_def = nullptr;
    qsizetype m_next = 0;
    qsizetype m_start = 0;
};

// An export carries every parameter its texts refer to: a missing one
// means the file lost its end.
void requireCarriedParameters(const QList<FileSection> &sections)
{
    QStringList referred;
    for (const FileSection &section : sections) {
        for (const auto &[table, key] : referringValues()) {
            if (section.table == table)
                collectParameterReferences(section.values.value(key), referred);
        }
    }
    for (const QString &item : std::as_const(referred)) {
        const QString id = parameterKey(item);
        const bool carried = std::any_of(sections.cbegin(), sections.cend(), [&id](const FileSection &section) {
            return section.table == QLatin1String("SYS_NTG") && section.id == id;
        });
        if (!carried)
            throw Failure(QStringLiteral("The notification file refers to the parameter %1 but does not carry it "
                                         "(is it cut short?)")
                              .arg(id));
    }
}

const SectionDef *sectionDef(const QString &table)
{
    const auto def = std::find_if(sectionDefs().cbegin(), sectionDefs().cend(),
                                  [&table](const SectionDef &d) { return table == QLatin1String(d.table); });
    return def == sectionDefs().cend() ? nullptr : &*def;
}

const LineDef *lineDef(const QString &key)
{
    for (const SectionDef &section : sectionDefs()) {
        for (const LineDef &line : section.lines) {
            if (key == QLatin1String(line.key))
                return &line;
        }
    }
    return nullptr;
}

} // namespace

QStringList sectionKeys(const QString &table)
{
    QStringList keys;
    if (const SectionDef *def = sectionDef(table)) {
        for (const LineDef &line : def->lines)
            keys << QLatin1String(line.key);
    }
    return keys;
}

QString fileValue(const QString &key, const QVariant &stored)
{
    const QVariant value = host::valueTools().nullSafe(stored);
    const LineDef *line = lineDef(key);
    if (line && line->kind == Kind::Flag)
        return !value.toString().isEmpty() && host::valueTools().toBoolean(value) ? QStringLiteral("-1")
                                                                                  : QStringLiteral("0");
    return value.toString();
}

QString flattened(const QString &text)
{
    return oneLine(text).trimmed();
}

QByteArray encodeNotificationFile(const QList<FileSection> &sections)
{
    QString text;
    for (const FileSection &section : sections) {
        const SectionDef *def = sectionDef(section.table);
        if (!def)
            throw Failure(QStringLiteral("A notification file has no section %1").arg(section.table));
        text += header(*def) + u'=' + oneLine(section.id) + kCRLF;
        for (const LineDef &line : def->lines) {
            const QString value = section.values.value(QLatin1String(line.key));
            text += QLatin1String(line.key) + u'=' +
                    (line.kind == Kind::Flattened ? flattened(value) : oneLine(value)) + kCRLF;
        }
    }
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return kByteOrderMark + QByteArray(encoder(text));
}

QList<FileSection> decodeNotificationFile(const QByteArray &bytes)
{
    const QString text = decodedText(bytes);
    const QStringList lines = text.chopped(kCRLF.size()).split(kCRLF);
    SectionReader reader;
    for (qsizetype i = 0; i < lines.size(); ++i)
        reader.read(i + 1, lines.at(i));
    const QList<FileSection> sections = reader.finish();
    requireCarriedParameters(sections);
    return sections;
}

} // namespace mrv::notifications
