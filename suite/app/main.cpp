#include "DesktopInteraction.h"
#include "MainWindow.h"
#include "ShellOptions.h"
#include "WindowRun.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/TextService.h"
#include "services/SuiteSession.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTextStream>

using namespace mrv;
using namespace mrv::suite;
using namespace mrv::suite::app;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

QStringList arguments()
{
    QStringList args = QApplication::arguments();
    args.removeFirst();
    return args;
}

// Without a shipped translation the texts stay Italian, the language they
// are written in. Without --lang the system's language is taken, silently.
void loadLanguage(SuiteSession &session, const QString &language, QTextStream &err)
{
    if (language.isEmpty())
        session.textService()->loadLanguage(QLocale::system().name());
    else if (!session.textService()->loadLanguage(language))
        err << "mrv-suite: no translation into \"" << language << "\"; the texts stay Italian" << Qt::endl;
}

int takePicture(SuiteSession &session, DesktopInteraction &interaction, const ShellOptions &options)
{
    std::unique_ptr<MainWindow> mainWindow;
    QWidget *window = openNamedWindow(session, interaction, options, mainWindow);
    window->resize(options.size);
    window->show();
    QWidget *front = runCommands(session, window, options.commands);
    front->resize(options.size);
    front->show();
    savePicture(front, options.pictureFile);
    // A picture writes nothing: windows closing as the program ends are not
    // saved, whatever their question's default answer.
    session.textService()->setHandler([](const ShownMessageBox &) { return qint32(host::mbNo); });
    return kExitOk;
}

// A window named on the command line that cannot open, or whose commands
// fail, is told; the main window stays.
int runDesktop(SuiteSession &session, DesktopInteraction &interaction, const ShellOptions &options)
{
    MainWindow mainWindow(session, interaction);
    mainWindow.resize(options.size);
    mainWindow.show();
    try {
        std::unique_ptr<MainWindow> unused;
        const bool named = options.window != ShellOptions::Window::None && options.window != ShellOptions::Window::Main;
        QWidget *window = named ? openNamedWindow(session, interaction, options, unused) : &mainWindow;
        runCommands(session, window, options.commands);
    } catch (const Failure &failure) {
        host::textService().messageBox(failure.message(), {}, host::mbExclamation, QStringLiteral("Merovan"));
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mrv-suite"));
    QApplication::setOrganizationName(QStringLiteral("Merovan"));
    QTextStream err(stderr);

    ShellOptions options;
    try {
        options = ShellOptions::take(arguments());
    } catch (const UsageError &error) {
        err << "mrv-suite: " << error.message << "\n\n" << ShellOptions::usage();
        return kExitUsage;
    }
    const auto mode =
        options.takesPicture() ? DesktopInteraction::Mode::Unattended : DesktopInteraction::Mode::Interactive;
    std::unique_ptr<SuiteSession> session;
    int code = kExitOk;
    try {
        session = SuiteSession::open(options.session.openConnection(), options.session.user, options.session.company);
        loadLanguage(*session, options.language, err);
        const auto interaction = DesktopInteraction::install(*session, mode);
        code = options.takesPicture() ? takePicture(*session, *interaction, options)
                                      : runDesktop(*session, *interaction, options);
    } catch (const Failure &failure) {
        err << "mrv-suite: " << failure.message() << '\n';
        if (mode == DesktopInteraction::Mode::Interactive)
            QMessageBox::critical(nullptr, QStringLiteral("Merovan"), failure.message());
        code = kExitFailed;
    }
    // The component's windows go while the application and the session
    // they use still exist, and so do the global services (the text service
    // holds the application's translators).
    if (session)
        session->message()->UnloadForms();
    session.reset();
    host::installHostServices({});
    return code;
}
