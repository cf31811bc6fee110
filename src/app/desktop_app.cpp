#include "app/desktop_app.h"

#include <QApplication>
#include <QTimer>
#include <memory>

#include "app/app_icons.h"
#include "app/document_autosave.h"
#include "app/main_window.h"
#include "app/recovery_dialog.h"
#include "app/recovery_store.h"
#include "app/splash_dialog.h"
#include "engine/machine.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/message_box.h"
#include "runtime_ui/stop_signals.h"

namespace tarvil {

std::vector<std::string> ScriptArguments(int argc, char** argv) {
    std::vector<std::string> result;
    for (int i = 1; i < argc; ++i) result.emplace_back(argv[i]);
    return result;
}

namespace {

int RunApplication(int argc, char** argv, StopSignals& stopSignals) {
    // Qt takes its own options out of argc and argv here.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvil"));
    QApplication::setOrganizationName(QStringLiteral("Tarvil"));
    QApplication::setApplicationVersion(QStringLiteral(TARVIL_VERSION));
    QApplication::setWindowIcon(MakeIcon(AppIcon::Application));
    QApplication::setQuitOnLastWindowClosed(false);

    // The interpreter's tables are large: on the heap, a small stack does.
    const auto machine = std::make_unique<Machine>();
    // The arguments reach the script as they came: QApplication::arguments()
    // would have decoded them.
    machine->Arguments = ScriptArguments(argc, argv);
    // Unsaved changes are kept here while the document is modified.
    RecoveryStore recovery(RecoveryStore::defaultFolder());
    MainWindow window(*machine);
    window.setRecoveryStore(&recovery);
    DesktopHost host(*machine, &window);
    host.setLineSelector([&window](unsigned line) { window.selectEditorLine(line); });
    host.setStopReporter([&window](unsigned line) { window.showRunStop(line); });
    host.setStopSignals(&stopSignals);
    window.setScriptRunner([&machine](std::string_view text) { return RunScript(*machine, text); });
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&window, &MainWindow::closingDuringRun, &window,
                     [&host] { host.endWithoutQuestions(); });
    // A signal stops a run as a second Run does, and ends every event loop,
    // modal ones included; the run returns and nothing more is asked.
    const auto watch = stopSignals.watch([&machine, &host, &window](int signal) {
        if (machine->RunInProgress) PushStop(*machine, "Warning: Program stopped");
        // Nobody is asked to save: the latest changes stay for the next start.
        if (window.autosave() != nullptr) window.autosave()->writeNow();
        host.endWithoutQuestions();
        QCoreApplication::exit(SignalExitStatus(signal));
    });

    if (argc > 1) {
        QString error;
        if (!window.loadFile(std::string(argv[1]), &error)) {
            ShowWarningBox(nullptr, error);
            return 1;
        }
    }
    window.show();
    SplashDialog splash(&window, SplashLanguageFromEnvironment());
    splash.showFor();
    // A script named on the command line runs at once; without one the empty
    // document runs, which ends quietly. It starts once the windows are up.
    // Changes a crashed instance kept are offered at an interactive start
    // only, after that run has returned (its clean-up handles events, and the
    // question must not open inside it): a start by another program with a
    // script must never wait on a question, and the files stay for a later start.
    const bool interactive = argc <= 1;
    QTimer::singleShot(0, &window, [&window, &recovery, interactive] {
        window.runScript();
        if (interactive) OfferRecovery(window, recovery);
    });
    return QApplication::exec();
}

}  // namespace

int RunDesktop(int argc, char** argv) {
    // Before the application object starts any thread, so all of them inherit
    // the blocked signals.
    StopSignals stopSignals;
    return RunApplication(argc, argv, stopSignals);
}

}  // namespace tarvil
