#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "app/about_dialog.h"
#include "app/app_icons.h"
#include "app/help_browser.h"
#include "app/new_script_template.h"
#include "app/recent_file_list.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "app/script_file_watcher.h"
#include "app/syntax_highlighter.h"
#include "engine/machine.h"
#include "engine/text_encoding.h"
#include "image/file_access.h"
#include "runtime_ui/engine_text.h"

namespace tarvil {

namespace {
const QString kScriptsFilter = QStringLiteral("Scripts (*.bas *.BAS *.txt)");
const QString kScriptDocumentFilter = QStringLiteral("Script document (*.bas *.BAS)");
const QString kAllFilesFilter = QStringLiteral("All files (*)");

// 800 × 600, but never larger than the screen's free area (a scale factor of
// 2 makes that 1600 × 1200 device pixels).
QSize StartSize(const QScreen* screen) {
    const QSize wanted(800, 600);
    if (screen == nullptr) return wanted;
    // Room for the window manager's frame.
    const QSize room = screen->availableSize() - QSize(16, 48);
    return wanted.boundedTo(room.expandedTo(QSize(320, 240)));
}

QSettings ApplicationSettings() {
    return QSettings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil"));
}
}  // namespace

QByteArray RunText(const QString& editorText) {
    return EditorTextToScript(editorText);
}

MainWindow::MainWindow(Machine& machine, QWidget* parent)
    : QMainWindow(parent), m_machine(machine), m_editor(new ScriptEditor(this)) {
    setWindowIcon(MakeIcon(AppIcon::Application));
    setCentralWidget(m_editor);
    new SyntaxHighlighter(m_editor->document());
    createActions();
    createToolBar();
    createStatusBar();

    connect(m_editor->document(), &QTextDocument::modificationChanged, this,
            &QWidget::setWindowModified);
    connect(m_editor, &ScriptEditor::filesDropped, this, [this](const QStringList& files) {
        if (maybeSave()) openFile(files.first());
    });
    connect(m_editor, &ScriptEditor::limitReached, this, [this] {
        statusBar()->showMessage(
            tr("The editor holds at most %1 characters.").arg(kEditorCharacterLimit), 4000);
    });

    {
        QSettings settings = ApplicationSettings();
        m_recentFiles = ReadRecentFiles(settings);
    }
    updateRecentFileActions();
    connectFileWatcher();
    setCurrentFile(std::string());
    resize(StartSize(screen()));
    m_editor->setFocus();
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::addCommand(QMenu* menu, const QString& name, const QString& text,
                                const QList<QKeySequence>& keys, const QString& prompt,
                                const QString& toolTip) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setStatusTip(prompt);
    if (!toolTip.isEmpty()) {
        action->setToolTip(toolTip);
        action->setIconText(toolTip);
    }
    menu->addAction(action);
    return action;
}

void MainWindow::createActions() {
    using K = QKeySequence;
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* file = m_fileMenu;
    QAction* a = addCommand(file, "actionNew", "&New\tCtrl+N", {K(Qt::CTRL | Qt::Key_N)},
                            "Create a new document", "New");
    a->setIcon(MakeIcon(AppIcon::New));
    connect(a, &QAction::triggered, this, &MainWindow::newScript);
    a = addCommand(file, "actionOpen", "&Open...\tCtrl+O", {K(Qt::CTRL | Qt::Key_O)},
                   "Open an existing document", "Open");
    a->setIcon(MakeIcon(AppIcon::Open));
    connect(a, &QAction::triggered, this, &MainWindow::open);
    a = addCommand(file, "actionSave", "&Save\tCtrl+S", {K(Qt::CTRL | Qt::Key_S)},
                   "Save the active document", "Save");
    a->setIcon(MakeIcon(AppIcon::Save));
    connect(a, &QAction::triggered, this, &MainWindow::save);
    a = addCommand(file, "actionSaveAs", "Save &As...", {K(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                   "Save the active document with a new name", "Save As");
    connect(a, &QAction::triggered, this, &MainWindow::saveAs);
    file->addSeparator();
    a = addCommand(file, "actionPrint", "&Print...\tCtrl+P", {K(Qt::CTRL | Qt::Key_P)},
                   "Print the active document", "Print");
    a->setIcon(MakeIcon(AppIcon::Print));
    connect(a, &QAction::triggered, this, &MainWindow::print);
    a = addCommand(file, "actionPrintPreview", "Print Pre&view", {}, "Display full pages",
                   "Print Preview");
    connect(a, &QAction::triggered, this, &MainWindow::printPreview);
    a = addCommand(file, "actionPrintSetup", "P&rint Setup...", {},
                   "Change the printer and printing options", "Print Setup");
    connect(a, &QAction::triggered, this, &MainWindow::printSetup);
    m_recentSeparator = file->addSeparator();
    m_recentPlaceholder =
        addCommand(file, "actionRecentFile", "Recent File", {}, "Open this document", {});
    m_recentPlaceholder->setEnabled(false);
    for (int i = 0; i < kRecentFileCount; ++i) {
        auto* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("actionRecent%1").arg(i + 1));
        recent->setStatusTip(QStringLiteral("Open this document"));
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this, [this, recent] {
            const QString path = recent->data().toString();
            if (!maybeSave()) return;
            if (!openFile(path)) {
                m_recentFiles.removeAll(path);
                QSettings settings = ApplicationSettings();
                WriteRecentFiles(settings, m_recentFiles);
                updateRecentFileActions();
            }
        });
        file->addAction(recent);
        m_recentActions << recent;
    }
    file->addSeparator();
    a = addCommand(file, "actionExit", "E&xit", {K(Qt::CTRL | Qt::Key_Q)},
                   "Quit the application; prompts to save documents", "Exit");
    connect(a, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    a = addCommand(edit, "actionUndo", "&Undo\tCtrl+Z",
                   {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)},
                   "Undo the last action", "Undo");
    a->setEnabled(false);
    connect(a, &QAction::triggered, m_editor, &QPlainTextEdit::undo);
    connect(m_editor, &QPlainTextEdit::undoAvailable, a, &QAction::setEnabled);
    edit->addSeparator();
    a = addCommand(edit, "actionCut", "Cu&t\tCtrl+X",
                   {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)},
                   "Cut the selection and put it on the Clipboard", "Cut");
    a->setIcon(MakeIcon(AppIcon::Cut));
    a->setEnabled(false);
    connect(a, &QAction::triggered, m_editor, &QPlainTextEdit::cut);
    connect(m_editor, &QPlainTextEdit::copyAvailable, a, &QAction::setEnabled);
    a = addCommand(edit, "actionCopy", "&Copy\tCtrl+C",
                   {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)},
                   "Copy the selection and put it on the Clipboard", "Copy");
    a->setIcon(MakeIcon(AppIcon::Copy));
    a->setEnabled(false);
    connect(a, &QAction::triggered, m_editor, &QPlainTextEdit::copy);
    connect(m_editor, &QPlainTextEdit::copyAvailable, a, &QAction::setEnabled);
    a = addCommand(edit, "actionPaste", "&Paste\tCtrl+V",
                   {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)},
                   "Insert Clipboard contents", "Paste");
    a->setIcon(MakeIcon(AppIcon::Paste));
    connect(a, &QAction::triggered, m_editor, &QPlainTextEdit::paste);

    createRunAction(menuBar()->addMenu(QStringLiteral("&Actions")));

    // F6 and Shift+F6 move between the window's panes; the editor is its only
    // pane, so both bring the keyboard focus back to it (from the tool bar, say).
    for (const auto& [name, key] : {std::pair{"actionNextPane", K(Qt::Key_F6)},
                                    std::pair{"actionPreviousPane", K(Qt::SHIFT | Qt::Key_F6)}}) {
        auto* pane = new QAction(this);
        pane->setObjectName(QLatin1String(name));
        pane->setShortcut(key);
        connect(pane, &QAction::triggered, this,
                [this] { m_editor->setFocus(Qt::ShortcutFocusReason); });
        addAction(pane);
    }

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    a = addCommand(view, "actionToolbar", "&Toolbar", {}, "Show or hide the toolbar",
                   "Toggle ToolBar");
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::toggled, this, [this](bool on) { m_toolBar->setVisible(on); });
    a = addCommand(view, "actionStatusBar", "&Status Bar", {}, "Show or hide the status bar",
                   "Toggle StatusBar");
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    a = addCommand(help, "actionHelpIndex", "&Index...", {}, {}, {});
    connect(a, &QAction::triggered, this, &MainWindow::helpIndex);
    a = addCommand(help, "actionUsingHelp", "&Using Help...", {}, {}, {});
    connect(a, &QAction::triggered, this, &MainWindow::usingHelp);
    help->addSeparator();
    a = addCommand(help, "actionAbout", "&About Tarvil...", {},
                   "Display program information, version number and copyright", "About");
    a->setIcon(MakeIcon(AppIcon::About));
    connect(a, &QAction::triggered, this, &MainWindow::about);

    createEditingActions(edit, view, help);
}

void MainWindow::createToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Standard"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    auto find = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    m_toolBar->addAction(find("actionNew"));
    m_toolBar->addAction(find("actionOpen"));
    m_toolBar->addAction(find("actionSave"));
    m_toolBar->addSeparator();
    m_toolBar->addAction(find("actionCut"));
    m_toolBar->addAction(find("actionCopy"));
    m_toolBar->addAction(find("actionPaste"));
    m_toolBar->addSeparator();
    m_toolBar->addAction(find("actionRun"));
    m_toolBar->addSeparator();
    m_toolBar->addAction(find("actionPrint"));
    m_toolBar->addAction(find("actionAbout"));
    // The tool bar's own close (its context menu) keeps the View item in step.
    connect(m_toolBar, &QToolBar::visibilityChanged, this, [this](bool visible) {
        if (!isVisible()) return;
        findChild<QAction*>(QStringLiteral("actionToolbar"))->setChecked(visible);
    });
}

void MainWindow::createStatusBar() {
    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("cursorPosition"));
    m_position->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("Ln 99999, Col 9999")));
    statusBar()->addPermanentWidget(m_position);
    auto show = [this](int line, int column) {
        m_position->setText(QStringLiteral("Ln %1, Col %2").arg(line).arg(column));
    };
    connect(m_editor, &ScriptEditor::cursorMoved, this, show);
    show(1, 1);

    // The lock-key panes keep their width and show their text only while the key is on.
    auto addIndicator = [this](const char* name, const QString& text) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(fontMetrics().horizontalAdvance(text + QStringLiteral("  ")));
        statusBar()->addPermanentWidget(label);
        return label;
    };
    m_capsIndicator = addIndicator("capsIndicator", QStringLiteral("CAP"));
    m_numIndicator = addIndicator("numIndicator", QStringLiteral("NUM"));
    m_scrollIndicator = addIndicator("scrollIndicator", QStringLiteral("SCRL"));
    // A lock key may change while any of our windows has the focus, or elsewhere.
    qApp->installEventFilter(this);
    updateLockIndicators();
    statusBar()->showMessage(QStringLiteral("Ready"));
}

void MainWindow::setLockKeyReader(LockKeyReader reader) {
    m_lockKeyReader = std::move(reader);
    updateLockIndicators();
}

void MainWindow::updateLockIndicators() {
    const std::optional<LockKeyState> state = m_lockKeyReader ? m_lockKeyReader() : std::nullopt;
    const LockKeyState keys = state.value_or(LockKeyState{});
    m_capsIndicator->setText(keys.caps ? QStringLiteral("CAP") : QString());
    m_numIndicator->setText(keys.num ? QStringLiteral("NUM") : QString());
    m_scrollIndicator->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::ApplicationActivate:
            updateLockIndicators();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::updateRecentFileActions() {
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions[i];
        if (i < m_recentFiles.size()) {
            QString shown = AbbreviateRecentFile(m_recentFiles[i]);
            shown.replace(u'&', QStringLiteral("&&"));
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
            action->setData(m_recentFiles[i]);
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    // The greyed place holder stands in for an empty list.
    m_recentPlaceholder->setVisible(m_recentFiles.isEmpty());
}

void MainWindow::addRecentFile(const std::string& nativePath) {
    // The list holds names as text: a name that is not UTF-8 could not be
    // opened from it again.
    if (!IsValidUtf8(nativePath)) return;
    m_recentFiles = WithRecentFile(
        m_recentFiles, QFileInfo(QFile::decodeName(nativePath.c_str())).absoluteFilePath());
    QSettings settings = ApplicationSettings();
    WriteRecentFiles(settings, m_recentFiles);
    updateRecentFileActions();
}

void MainWindow::setCurrentFile(const std::string& nativePath) {
    m_currentPath = nativePath;
    // A name that is not UTF-8 is shown with its other bytes as Latin-1.
    m_currentFile = FromEngineText(nativePath);
    m_editor->document()->setModified(false);
    setWindowModified(false);
    const QString shown =
        m_currentFile.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_currentFile).fileName();
    setWindowTitle(QStringLiteral("%1[*] - Tarvil").arg(shown));
}

bool MainWindow::loadFile(const QString& path, QString* error) {
    return loadFile(FileNameBytes(path), error);
}

bool MainWindow::loadFile(const std::string& nativePath, QString* error) {
    const ScriptLoadResult loaded = LoadScriptFile(nativePath);
    if (!loaded.text) {
        if (error) *error = loaded.error;
        return false;
    }
    m_editor->loadText(*loaded.text);
    m_form = loaded.form;
    m_diskNotice = DiskNotice::None;  // the editor holds what the file holds
    setCurrentFile(nativePath);
    addRecentFile(nativePath);
    m_watcher->watch(nativePath, loaded.bytes);
    statusBar()->showMessage(loaded.readAsLatin1
                                 ? Latin1DocumentNote(QFileInfo(m_currentFile).fileName())
                                 : QStringLiteral("Ready"));
    return true;
}

bool MainWindow::openFile(const QString& path, bool report) {
    QString error;
    if (loadFile(path, &error)) return true;
    if (report) QMessageBox::warning(this, QStringLiteral("Tarvil"), error);
    return false;
}

bool MainWindow::saveFile(const QString& path) {
    return saveFile(FileNameBytes(path));
}

bool MainWindow::saveFile(const std::string& nativePath) {
    return saveFile(nativePath, m_form);
}

bool MainWindow::saveFile(const std::string& nativePath, const ScriptFileForm& form) {
    FileSystemCalls system;
    const ScriptSaveResult saved = SaveScriptFile(nativePath, m_editor->text(), form, system);
    if (!saved.saved) {
        QMessageBox::warning(this, QStringLiteral("Tarvil"), saved.error);
        return false;
    }
    const bool wasLatin1 = m_form.latin1;
    m_form = saved.form;
    m_diskNotice = DiskNotice::None;
    setCurrentFile(nativePath);
    addRecentFile(nativePath);
    m_watcher->watch(nativePath, saved.bytes);
    if (wasLatin1 && !saved.form.latin1) {
        statusBar()->showMessage(
            saved.form.document
                ? tr("%1: saved in UTF-8, as script documents are").arg(documentName())
                : tr("%1: saved in UTF-8, as it holds characters that Latin-1 lacks")
                      .arg(documentName()));
    }
    return true;
}

void MainWindow::newScript() {
    // A new untitled document: Save must not overwrite the file that was open.
    if (!maybeSave()) return;
    m_editor->loadText(ScriptToEditorText(
        QByteArray(NewScriptTemplate.data(), static_cast<qsizetype>(NewScriptTemplate.size()))));
    m_form = kNewScriptForm;
    m_watcher->stop();
    setCurrentFile(std::string());
    statusBar()->showMessage(QStringLiteral("Ready"));
}

void MainWindow::open() {
    if (!maybeSave()) return;
    const QString dir =
        m_currentFile.isEmpty() ? QString() : QFileInfo(m_currentFile).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open"), dir, QStringList{kScriptsFilter, kAllFilesFilter}.join(u";;"));
    if (!path.isEmpty()) openFile(path);
}

bool MainWindow::save() {
    if (m_currentPath.empty()) return saveAs();
    return saveFile(m_currentPath);
}

bool MainWindow::saveAs() {
    const QString suggested =
        m_currentFile.isEmpty() ? QStringLiteral("Untitled.bas") : m_currentFile;
    // The file type chooses the form: plain text, or a script document for
    // older installations; "All files" keeps the form the script has.
    QString filter = m_form.document ? kScriptDocumentFilter : kScriptsFilter;
    QString path = QFileDialog::getSaveFileName(
        this, tr("Save As"), suggested,
        QStringList{kScriptsFilter, kScriptDocumentFilter, kAllFilesFilter}.join(u";;"), &filter);
    if (path.isEmpty()) return false;
    ScriptFileForm form = m_form;
    if (filter == kScriptDocumentFilter) {
        form = kScriptDocumentForm;
    } else if (filter == kScriptsFilter && m_form.document) {
        form = kNewScriptForm;
    }
    if (filter != kAllFilesFilter && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".bas");
    return saveFile(FileNameBytes(path), form);
}

QPrinter& MainWindow::printer() {
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setDocName(windowTitle().remove(QStringLiteral("[*]")));
    // Printing to a PDF file (the only choice without a print server) proposes
    // the script's name beside the script, unless the user chose a file himself.
    if (m_printer->outputFormat() == QPrinter::PdfFormat &&
        (m_printer->outputFileName().isEmpty() || m_printer->outputFileName() == m_suggestedPdf)) {
        const QFileInfo script(m_currentFile.isEmpty() ? QStringLiteral("Untitled")
                                                       : m_currentFile);
        const QString folder = m_currentFile.isEmpty() ? QDir::homePath() : script.absolutePath();
        m_suggestedPdf = QDir(folder).filePath(script.completeBaseName() + QStringLiteral(".pdf"));
        m_printer->setOutputFileName(m_suggestedPdf);
    }
    return *m_printer;
}

void MainWindow::print() {
    QPrintDialog dialog(&printer(), this);
    if (m_editor->textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() == QDialog::Accepted) m_editor->print(&printer());
}

void MainWindow::printPreview() {
    QPrintPreviewDialog preview(&printer(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, m_editor, &QPlainTextEdit::print);
    preview.exec();
}

void MainWindow::printSetup() {
    QPageSetupDialog dialog(&printer(), this);
    dialog.exec();
}

void MainWindow::selectEditorLine(unsigned line) {
    m_editor->selectLine(line);
}

void MainWindow::about() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::showHelp(const QString& page) {
    if (!m_help) m_help = new HelpBrowser(this);
    m_help->showPage(page);
}

void MainWindow::helpIndex() {
    showHelp(QStringLiteral(":/help/language_reference.md"));
}
void MainWindow::usingHelp() {
    showHelp(QStringLiteral(":/help/using_help.md"));
}

bool MainWindow::maybeSave() {
    if (!m_editor->document()->isModified()) return true;
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Tarvil"), tr("Save changes to %1?").arg(documentName()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) return save();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closeConfirmed) {
        event->accept();
        emit closed();
        return;
    }
    if (m_closeAfterRun || !maybeSave()) {
        event->ignore();
        return;
    }
    if (m_runDepth > 0) {
        // The running script stops after its current instruction; the window
        // closes once the run has cleaned up and returned.
        stopRunForClose();
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

}  // namespace tarvil
