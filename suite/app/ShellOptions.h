#pragma once

#include "services/SessionOptions.h"

#include <QList>
#include <QSize>

namespace mrv::suite::app {

// The command line of mrv-suite: the session's options, the language, and
// optionally a window to open at start, commands to run in it and a file
// to save its picture to.
struct ShellOptions
{
    enum class Window { None, Main, Open, New, History };

    SessionOptions session;
    QString language; // --lang; empty for the source texts (Italian)
    Window window = Window::None;
    QString table;                             // of --open, --new, --history
    QString key;                               // of --open, --history
    QString messageType = QStringLiteral("0"); // --type, for --new
    QList<int> commands;                       // --command, in order
    QString pictureFile;                       // --grab
    QSize size{1000, 700};                     // --size

    bool takesPicture() const { return !pictureFile.isEmpty(); }

    // Throws UsageError for options that cannot be understood.
    static ShellOptions take(QStringList args);
    static QString usage();
};

} // namespace mrv::suite::app
