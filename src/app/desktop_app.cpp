#include "app/desktop_app.h"

#include <QApplication>
#include <QTimer>

#include "app/app_icons.h"
#include "app/main_window.h"
#include "app/splash_dialog.h"
#include "engine/machine.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/latin1_text.h"
#include "runtime_ui/message_box.h"

namespace tarvil {

std::vector<std::string> ScriptArguments(const QStringList& arguments) {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments) result.push_back(ToLatin1String(argument));
    return result;
}

int RunDesktop(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvil"));
    QApplication::setOrganizationName(QStringLiteral("Tarvil"));
    QApplication::setApplicationVersion(QStringLiteral(TARVIL_VERSION));
    QApplication::setWindowIcon(MakeIcon(AppIcon::Application));
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt has taken its own options out of the arguments by now.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    Machine machine;
    machine.Arguments = ScriptArguments(arguments);
    MainWindow window(machine);
    DesktopHost host(machine, &window);
    host.setLineSelector([&window](unsigned line) { window.selectEditorLine(line); });
    window.setScriptRunner([&machine](std::string_view text) { return RunScript(machine, text); });
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    if (!arguments.isEmpty()) {
        QString error;
        if (!window.loadFile(arguments.first(), &error)) {
            ShowWarningBox(nullptr, error);
            return 1;
        }
    }
    window.show();
    SplashDialog splash(&window, SplashLanguageFromEnvironment());
    splash.showFor();
    // A script named on the command line runs at once; without one the empty
    // document runs, which ends quietly. It starts once the windows are up.
    QTimer::singleShot(0, &window, &MainWindow::runScript);
    return QApplication::exec();
}

}  // namespace tarvil
