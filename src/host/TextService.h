#pragma once

#include <QString>
#include <QStringList>

namespace mrv::host {

// Message-box answers.
enum MessageBoxAnswer : qint32 { mbYes = 6, mbNo = 7, mbCancel = 2 };

// Message-box styles (the platform's numbers, combinable).
enum MessageBoxStyle : qint32 {
    mbOkOnly = 0,
    mbOkCancel = 1,
    mbYesNoCancel = 3,
    mbYesNo = 4,
    mbCritical = 16,
    mbQuestion = 32,
    mbExclamation = 48,
    mbInformation = 64,
};

// The host's global text service. Source texts are Italian.
class TextService
{
public:
    virtual ~TextService() = default;

    // context: object name + " > " + procedure name.
    virtual QString translate(const QString &text, const QString &context) const = 0;

    // Replaces "@1", "@2", ... with the values, in one pass (a value that
    // itself contains "@2" is not substituted again).
    virtual QString substitute(const QString &text, const QStringList &values) const = 0;

    // Shows a message box: the text is translated and its placeholders filled
    // from the values. Returns mbYes, mbNo or mbCancel (an OK answers mbYes).
    virtual qint32 messageBox(const QString &text, const QStringList &values, qint32 style, const QString &title) = 0;
};

} // namespace mrv::host
