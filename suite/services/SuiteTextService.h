#pragma once

#include "host/TextService.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTranslator;

namespace mrv::suite {

// A message box as the user saw it: text and title translated and filled.
struct ShownMessageBox
{
    QString text;
    qint32 style = host::mbOkOnly;
    QString title;
    qint32 answer = host::mbYes;
};

// The suite's text service. Source texts are Italian; translations are Qt
// translation files looked up with the caller's context, so a .qm file made
// from the sources' texts works as is.
//
// Message boxes are answered, in this order, by the scripted answers (queued
// by tests, or given to the command line as MRV_ANSWERS="6,7,2"), by the
// installed handler (the desktop shell's dialogs), or else by the default
// button of the style after printing the text to stderr. The default button
// is the first of the style's set (OK, Yes, ...) unless the style asks for
// the second or third (256, 512); an OK answers mbYes.
class SuiteTextService : public host::TextService
{
public:
    using Handler = std::function<qint32(const ShownMessageBox &box)>;

    // Translations of message boxes, whose callers pass no context.
    static constexpr const char *kMessageBoxContext = "MessageBox";
    // The context of the translations shipped with the suite.
    static constexpr const char *kCommonContext = "mrv";

    // Reads MRV_ANSWERS into the script.
    SuiteTextService();
    ~SuiteTextService() override;

    QString translate(const QString &text, const QString &context) const override;
    QString substitute(const QString &text, const QStringList &values) const override;
    qint32 messageBox(const QString &text, const QStringList &values, qint32 style, const QString &title) override;

    // Installs a Qt translation file for the whole process; false when it
    // cannot be loaded.
    bool loadTranslation(const QString &qmFile);
    // The translation shipped for a language ("en", "en_GB"); Italian, the
    // language of the sources, needs none. False when none is shipped.
    bool loadLanguage(const QString &language);

    void setHandler(Handler handler);
    void queueAnswers(const QList<qint32> &answers);
    qsizetype pendingAnswers() const;

    QList<ShownMessageBox> shownBoxes() const;
    void clearShownBoxes();

    // The answer a box of this style gets when nobody is asked.
    static qint32 defaultAnswer(qint32 style);

private:
    qint32 answer(const ShownMessageBox &box);

    Handler m_handler;
    QQueue<qint32> m_script;
    QList<ShownMessageBox> m_shown;
    QList<std::shared_ptr<QTranslator>> m_translators;
};

} // namespace mrv::suite
