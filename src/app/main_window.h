// The main window: the script editor with the File, Edit, Actions, View and
// Help menus, the tool bar, the status bar and the Run command.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/lock_keys.h"
#include "engine/run_driver.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

namespace tarvil {

class Machine;
class ScriptEditor;
class HelpBrowser;
class FindReplaceBar;
class ShortcutsDialog;

// The script a run gets: at most the first 16,383 bytes of the editor text, in
// UTF-8 with CR LF line breaks, never cut inside a character.
inline constexpr qsizetype kRunTextLimit = 16383;
QByteArray RunText(const QString& editorText);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using ScriptRunner = std::function<RunResult(std::string_view text)>;

    explicit MainWindow(Machine& machine, QWidget* parent = nullptr);
    ~MainWindow() override;

    // How Run runs a script (RunScript on the application's machine).
    void setScriptRunner(ScriptRunner runner) { m_runner = std::move(runner); }

    // Where the CAP, NUM and SCRL indicators read the lock keys (the X server by default).
    using LockKeyReader = std::function<std::optional<LockKeyState>()>;
    void setLockKeyReader(LockKeyReader reader);
    void updateLockIndicators();

    ScriptEditor* editor() const { return m_editor; }
    QString currentFile() const { return m_currentFile; }
    QStringList recentFiles() const { return m_recentFiles; }
    // Runs in progress, counting a refused nested Run while it is refused.
    int runDepth() const { return m_runDepth; }
    bool closePending() const { return m_closeAfterRun; }

    // Opens a script document; reports a failure in a message box when `report` is set.
    bool openFile(const QString& path, bool report = true);
    // Loads a script document without asking anything; `error` says why it failed.
    bool loadFile(const QString& path, QString* error);
    // The same for the file named by `nativePath`, the name's bytes (which
    // need not be UTF-8).
    bool loadFile(const std::string& nativePath, QString* error);
    bool saveFile(const QString& path);
    bool saveFile(const std::string& nativePath);

    void selectEditorLine(unsigned line);
    // A run has stopped at `line` (0 for none): selects it and says so in the
    // status bar, before the stop's message is shown.
    void showRunStop(unsigned line);

public slots:
    void newScript();
    void open();
    bool save();
    bool saveAs();
    void print();
    void printPreview();
    void printSetup();
    void runScript();
    void about();
    void helpIndex();
    void usingHelp();
    // Editing commands (main_window_editing.cpp).
    void goToLine();
    void keywordHelp();
    void showShortcuts();

signals:
    // The window has been closed for good: the application can end.
    void closed();
    // The window closes once the running script has stopped: nothing more
    // need be shown to the user (the message that ends the run included).
    void closingDuringRun();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, const QString& name, const QString& text,
                        const QList<QKeySequence>& keys, const QString& prompt,
                        const QString& toolTip);
    void createActions();
    // The find bar, Redo, Find/Replace, Go To Line, commenting, zoom, tab
    // width, keyword help and the shortcut list, in the menus given.
    void createEditingActions(QMenu* edit, QMenu* view, QMenu* help);
    // The Run command, which shows itself as Stop while a script runs
    // (main_window_run.cpp, with the rest of the run's look).
    void createRunAction(QMenu* menu);
    void showRunning(bool running);
    void showRunEnd(const RunResult& result);
    void showRunStatus(const QString& text);
    void stopRunForClose();
    void createToolBar();
    void createStatusBar();
    void updateRecentFileActions();
    void addRecentFile(const std::string& nativePath);
    void setCurrentFile(const std::string& nativePath);
    bool maybeSave();
    QPrinter& printer();
    void showHelp(const QString& page);

    Machine& m_machine;
    ScriptRunner m_runner;
    ScriptEditor* m_editor = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    QLabel* m_scrollIndicator = nullptr;
    LockKeyReader m_lockKeyReader = ReadLockKeyState;
    QMenu* m_fileMenu = nullptr;
    QAction* m_runAction = nullptr;
    QString m_runStatus;  // what the status bar says of the run
    QAction* m_recentSeparator = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    QStringList m_recentFiles;
    QString m_currentFile;      // the document's path as shown
    std::string m_currentPath;  // and as the file system names it
    std::unique_ptr<QPrinter> m_printer;
    QString m_suggestedPdf;  // the PDF file name we proposed last
    QPointer<HelpBrowser> m_help;
    FindReplaceBar* m_findBar = nullptr;
    QPointer<ShortcutsDialog> m_shortcuts;
    int m_runDepth = 0;
    bool m_closeAfterRun = false;  // a close waits for the run to end
    bool m_closeConfirmed = false;
};

}  // namespace tarvil
