// The main window's Run command and what the window shows of a run: the
// command turns into Stop while a script runs, the status bar says that one
// runs and how it ended, and the line a run stopped at is selected.
#include <QAction>
#include <QMenu>
#include <QStatusBar>

#include "app/app_icons.h"
#include "app/main_window.h"
#include "app/script_editor.h"
#include "engine/machine.h"

namespace tarvil {

namespace {
const char* kStopOnClose = "Error : Running program stopped";
}  // namespace

void MainWindow::createRunAction(QMenu* menu) {
    m_runAction =
        addCommand(menu, "actionRun", "&Run program \tCtrl+R", {QKeySequence(Qt::CTRL | Qt::Key_R)},
                   "Start program execution", "Run");
    // While a script runs the same command stops it: the engine turns a Run
    // during a run into a stop request.
    connect(m_runAction, &QAction::triggered, this, &MainWindow::runScript);
    showRunning(false);

    // A status tip (a menu item under the mouse) replaces the status bar's
    // message and clears it when it goes; while a script runs, what the
    // status bar said of it comes back.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty() && m_runDepth > 0 && !m_runStatus.isEmpty()) {
            statusBar()->showMessage(m_runStatus);
        }
    });
}

void MainWindow::showRunStatus(const QString& text) {
    m_runStatus = text;
    statusBar()->showMessage(text);
}

void MainWindow::showRunning(bool running) {
    if (running) {
        m_runAction->setText(tr("&Stop program\tCtrl+R"));
        m_runAction->setStatusTip(tr("Stop the running script"));
        m_runAction->setToolTip(tr("Stop"));
        m_runAction->setIconText(tr("Stop"));
        m_runAction->setIcon(MakeIcon(AppIcon::Stop));
        // Ctrl+R stops the script from any of its windows (the progress
        // dialog takes the focus when it opens, a preview may have it).
        m_runAction->setShortcutContext(Qt::ApplicationShortcut);
        showRunStatus(tr("Running the script\u2026 Ctrl+R stops it."));
    } else {
        m_runAction->setText(QStringLiteral("&Run program \tCtrl+R"));
        m_runAction->setStatusTip(QStringLiteral("Start program execution"));
        m_runAction->setToolTip(QStringLiteral("Run"));
        m_runAction->setIconText(QStringLiteral("Run"));
        m_runAction->setIcon(MakeIcon(AppIcon::Run));
        m_runAction->setShortcutContext(Qt::WindowShortcut);
    }
}

void MainWindow::showRunStop(unsigned line) {
    // The script runs no more, though its message is still to be read.
    showRunning(false);
    if (line != 0) {
        selectEditorLine(line);
        showRunStatus(tr("Stopped at line %1").arg(line));
    } else {
        showRunStatus(tr("Run stopped"));
    }
}

void MainWindow::showRunEnd(const RunResult& result) {
    // The host has shown a stop already, before its message; this is again
    // what the run returned.
    if (result.outcome == RunOutcome::Normal && result.line == 0) {
        showRunStatus(tr("Run finished"));
    } else {
        showRunStop(result.line);
    }
}

void MainWindow::runScript() {
    if (!m_runner) return;
    const QByteArray text = RunText(m_editor->text());
    const bool outermost = m_runDepth == 0;
    if (outermost) showRunning(true);
    ++m_runDepth;
    const RunResult result =
        m_runner(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    --m_runDepth;
    if (outermost) showRunning(false);
    // A refused Run has only asked the running script to stop.
    if (result.outcome == RunOutcome::Refused) return;
    if (m_runDepth == 0 && m_closeAfterRun) {
        m_closeAfterRun = false;
        m_closeConfirmed = true;
        close();
        return;
    }
    showRunEnd(result);
}

void MainWindow::stopRunForClose() {
    // Said first, so that the stop's own message is not shown in a box the
    // user would have to dismiss while the window goes.
    emit closingDuringRun();
    PushStop(m_machine, kStopOnClose);
}

}  // namespace tarvil
