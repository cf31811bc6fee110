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
#include "app/script_document.h"
#include "engine/run_driver.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;

namespace tarvil {

class Machine;
class ScriptEditor;
class HelpBrowser;
class FindReplaceBar;
class ShortcutsDialog;
class DocumentAutosave;
class RecoveryStore;
class ScriptFileWatcher;
struct RecoveryEntry;

// The script a run gets: the whole editor text, in UTF-8 with CR LF line
// breaks, as batch mode runs a whole file.
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

    // Opens a script file (a script document or plain text); reports a
    // failure in a message box when `report` is set.
    bool openFile(const QString& path, bool report = true);
    // Loads a script file without asking anything; `error` says why it failed.
    bool loadFile(const QString& path, QString* error);
    // The same for the file named by `nativePath`, the name's bytes (which
    // need not be UTF-8).
    bool loadFile(const std::string& nativePath, QString* error);
    // Saves the script in the form it was opened in.
    bool saveFile(const QString& path);
    bool saveFile(const std::string& nativePath);
    bool saveFile(const std::string& nativePath, const ScriptFileForm& form);

    // The form the script is stored in, which Save keeps.
    const ScriptFileForm& currentForm() const { return m_form; }
    ScriptFileWatcher* fileWatcher() const { return m_watcher; }
    // Keeps the document's unsaved changes in `store` while it is modified
    // (none without a store); a clean save or close removes them.
    void setRecoveryStore(RecoveryStore* store);
    DocumentAutosave* autosave() const { return m_autosave; }
    // What a recovery file keeps of the document.
    RecoveryEntry recoverySnapshot() const;
    // Opens recovered changes: modified, with their file name and form, so
    // that Save writes them to that file.
    void restoreRecovered(const RecoveryEntry& entry);

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
    // The file actions' own parts (main_window_documents.cpp).
    void connectFileWatcher();
    QString documentName() const;
    void answerDiskChange();
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

    ScriptFileForm m_form;  // how the open script is stored
    ScriptFileWatcher* m_watcher = nullptr;
    DocumentAutosave* m_autosave = nullptr;
    enum class DiskNotice { None, Changed, Removed };
    DiskNotice m_diskNotice = DiskNotice::None;  // waiting to be told
    QTimer* m_diskNoticeRetry = nullptr;
};

}  // namespace tarvil
