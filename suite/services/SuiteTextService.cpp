#include "SuiteTextService.h"

#include <QCoreApplication>
#include <QTranslator>

#include <cstdio>

namespace mrv::suite {

namespace {

// The platform's style bits: the button set in the low three bits, the
// default button in bits 8 and 9.
constexpr qint32 kButtonSetMask = 0x7;
constexpr qint32 kDefaultButtonMask = 0x300;
constexpr qint32 kDefaultButtonShift = 8;

QList<qint32> buttonsOf(qint32 style)
{
    switch (style & kButtonSetMask) {
    case host::mbOkCancel:
        return {host::mbYes, host::mbCancel};
    case host::mbYesNoCancel:
        return {host::mbYes, host::mbNo, host::mbCancel};
    case host::mbYesNo:
        return {host::mbYes, host::mbNo};
    default:
        return {host::mbYes};
    }
}

QList<qint32> answersFromEnvironment()
{
    QList<qint32> answers;
    const QStringList items = qEnvironmentVariable("MRV_ANSWERS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        bool ok = false;
        const qint32 answer = item.trimmed().toInt(&ok);
        if (ok)
            answers << answer;
        else
            std::fprintf(stderr, "MRV_ANSWERS: \"%s\" is not an answer code, ignored\n", qPrintable(item));
    }
    return answers;
}

// The length of the run of digits starting at `from`.
qsizetype digitsAt(const QString &text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && text.at(end).isDigit() && text.at(end).unicode() < 128)
        ++end;
    return end - from;
}

} // namespace

SuiteTextService::SuiteTextService()
{
    queueAnswers(answersFromEnvironment());
}

SuiteTextService::~SuiteTextService()
{
    for (const auto &translator : m_translators)
        QCoreApplication::removeTranslator(translator.get());
}

QString SuiteTextService::translate(const QString &text, const QString &context) const
{
    if (text.isEmpty())
        return text;
    const QByteArray source = text.toUtf8();
    const QString translated = QCoreApplication::translate(context.toUtf8().constData(), source.constData());
    // A text reads the same in every window unless a context says otherwise:
    // the shipped translations keep one entry per text.
    return translated != text ? translated : QCoreApplication::translate(kCommonContext, source.constData());
}

QString SuiteTextService::substitute(const QString &text, const QStringList &values) const
{
    QString result;
    result.reserve(text.size());
    qsizetype position = 0;
    while (position < text.size()) {
        const QChar current = text.at(position);
        const qsizetype digits = current == QLatin1Char('@') ? digitsAt(text, position + 1) : 0;
        const qsizetype index = digits > 0 ? text.mid(position + 1, digits).toLongLong() - 1 : -1;
        if (index >= 0 && index < values.size()) {
            result += values.at(index);
            position += 1 + digits;
        } else {
            result += current;
            ++position;
        }
    }
    return result;
}

qint32 SuiteTextService::messageBox(const QString &text, const QStringList &values, qint32 style, const QString &title)
{
    ShownMessageBox box;
    box.text = substitute(translate(text, QLatin1String(kMessageBoxContext)), values);
    box.title = translate(title, QLatin1String(kMessageBoxContext));
    box.style = style;
    box.answer = answer(box);
    m_shown.append(box);
    return box.answer;
}

qint32 SuiteTextService::answer(const ShownMessageBox &box)
{
    if (!m_script.isEmpty())
        return m_script.dequeue();
    if (m_handler)
        return m_handler(box);
    const QString shown = box.title.isEmpty() ? box.text : box.title + QStringLiteral(": ") + box.text;
    std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
    return defaultAnswer(box.style);
}

qint32 SuiteTextService::defaultAnswer(qint32 style)
{
    const QList<qint32> buttons = buttonsOf(style);
    const qsizetype chosen = (style & kDefaultButtonMask) >> kDefaultButtonShift;
    return buttons.at(qMin(chosen, buttons.size() - 1));
}

bool SuiteTextService::loadLanguage(const QString &language)
{
    const QString name = language.section(QLatin1Char('_'), 0, 0).toLower();
    return name == QLatin1String("it") || loadTranslation(QStringLiteral(":/i18n/mrv_%1.qm").arg(name));
}

bool SuiteTextService::loadTranslation(const QString &qmFile)
{
    auto translator = std::make_shared<QTranslator>();
    if (!translator->load(qmFile) || !QCoreApplication::installTranslator(translator.get()))
        return false;
    m_translators.append(translator);
    return true;
}

void SuiteTextService::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void SuiteTextService::queueAnswers(const QList<qint32> &answers)
{
    for (const qint32 answer : answers)
        m_script.enqueue(answer);
}

qsizetype SuiteTextService::pendingAnswers() const
{
    return m_script.size();
}

QList<ShownMessageBox> SuiteTextService::shownBoxes() const
{
    return m_shown;
}

void SuiteTextService::clearShownBoxes()
{
    m_shown.clear();
}

} // namespace mrv::suite
