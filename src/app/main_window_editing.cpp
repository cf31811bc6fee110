// The main window's editing commands: the find bar under the editor, Redo,
// Find and Replace, Go To Line, commenting lines, zoom and tab width (kept in
// the settings), help on the keyword at the caret and the shortcut list.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/find_replace_bar.h"
#include "app/go_to_line_dialog.h"
#include "app/help_browser.h"
#include "app/main_window.h"
#include "app/script_editor.h"
#include "app/shortcuts_dialog.h"

namespace tarvil {

namespace {

const QString kZoomSetting = QStringLiteral("Editor/Zoom");
const QString kTabWidthSetting = QStringLiteral("Editor/TabWidth");

QSettings EditorSettings() {
    return QSettings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil"));
}

// Moves `action`, which addCommand appended, in front of `before`.
void PlaceBefore(QMenu* menu, QAction* action, QAction* before) {
    menu->removeAction(action);
    menu->insertAction(before, action);
}

}  // namespace

void MainWindow::createEditingActions(QMenu* edit, QMenu* view, QMenu* help) {
    using K = QKeySequence;

    // The editor with the find bar under it.
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    takeCentralWidget();
    layout->addWidget(m_editor);
    m_findBar = new FindReplaceBar(m_editor, pane);
    m_findBar->hide();
    layout->addWidget(m_findBar);
    setCentralWidget(pane);
    connect(m_findBar, &FindReplaceBar::messageShown, this,
            [this](const QString& message) { statusBar()->showMessage(message, 5000); });

    // Edit: Redo after Undo, then finding and moving around.
    const QList<QAction*> editItems = edit->actions();
    const qsizetype undo = editItems.indexOf(findChild<QAction*>(QStringLiteral("actionUndo")));
    QAction* a = addCommand(edit, "actionRedo", "&Redo\tCtrl+Y",
                            {K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
                            "Redo the previously undone action", "Redo");
    PlaceBefore(edit, a, editItems.value(undo + 1));
    a->setEnabled(false);
    connect(a, &QAction::triggered, m_editor, &QPlainTextEdit::redo);
    connect(m_editor, &QPlainTextEdit::redoAvailable, a, &QAction::setEnabled);
    edit->addSeparator();
    a = addCommand(edit, "actionFind", "&Find...\tCtrl+F", {K(Qt::CTRL | Qt::Key_F)},
                   "Find text in the script", "Find");
    connect(a, &QAction::triggered, m_findBar, &FindReplaceBar::openFind);
    a = addCommand(edit, "actionFindNext", "Find &Next\tF3", {K(Qt::Key_F3)},
                   "Find the next occurrence of the text", "Find Next");
    connect(a, &QAction::triggered, m_findBar, &FindReplaceBar::findNext);
    a = addCommand(edit, "actionFindPrevious", "Find Pre&vious\tShift+F3",
                   {K(Qt::SHIFT | Qt::Key_F3)}, "Find the previous occurrence of the text",
                   "Find Previous");
    connect(a, &QAction::triggered, m_findBar, &FindReplaceBar::findPrevious);
    a = addCommand(edit, "actionReplace", "R&eplace...\tCtrl+H", {K(Qt::CTRL | Qt::Key_H)},
                   "Replace text in the script", "Replace");
    connect(a, &QAction::triggered, m_findBar, &FindReplaceBar::openReplace);
    edit->addSeparator();
    a = addCommand(edit, "actionGoToLine", "&Go To Line...\tCtrl+G", {K(Qt::CTRL | Qt::Key_G)},
                   "Move to a line of the script", "Go To Line");
    connect(a, &QAction::triggered, this, &MainWindow::goToLine);
    a = addCommand(edit, "actionToggleComment", "Toggle Co&mment\tCtrl+/",
                   {K(Qt::CTRL | Qt::Key_Slash)}, "Comment or uncomment the selected lines",
                   "Toggle Comment");
    connect(a, &QAction::triggered, m_editor, &ScriptEditor::toggleComment);

    // View: zoom and tab width, as the settings last had them.
    QSettings settings = EditorSettings();
    m_editor->setZoom(settings.value(kZoomSetting, 0).toInt());
    int tabWidth = settings.value(kTabWidthSetting, kDefaultTabWidth).toInt();
    if (tabWidth < 1 || tabWidth > kMaxTabWidth) tabWidth = kDefaultTabWidth;
    m_editor->setTabWidth(tabWidth);
    connect(m_editor, &ScriptEditor::zoomChanged, this,
            [](int steps) { EditorSettings().setValue(kZoomSetting, steps); });

    view->addSeparator();
    a = addCommand(view, "actionZoomIn", "Zoom &In\tCtrl++",
                   {K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal)},
                   "Enlarge the text of the editor", "Zoom In");
    connect(a, &QAction::triggered, this, [this] { m_editor->setZoom(m_editor->zoom() + 1); });
    a = addCommand(view, "actionZoomOut", "Zoom &Out\tCtrl+-", {K(Qt::CTRL | Qt::Key_Minus)},
                   "Reduce the text of the editor", "Zoom Out");
    connect(a, &QAction::triggered, this, [this] { m_editor->setZoom(m_editor->zoom() - 1); });
    a = addCommand(view, "actionZoomReset", "&Reset Zoom\tCtrl+0", {K(Qt::CTRL | Qt::Key_0)},
                   "Show the text of the editor at its normal size", "Reset Zoom");
    connect(a, &QAction::triggered, this, [this] { m_editor->setZoom(0); });
    QMenu* tabs = view->addMenu(QStringLiteral("Tab &Width"));
    tabs->menuAction()->setObjectName(QStringLiteral("menuTabWidth"));
    tabs->menuAction()->setStatusTip(QStringLiteral("Choose how many columns a tab spans"));
    auto* widths = new QActionGroup(this);
    for (int columns = 1; columns <= kMaxTabWidth; ++columns) {
        a = addCommand(
            tabs, QStringLiteral("actionTabWidth%1").arg(columns),
            columns == 1 ? QStringLiteral("&1 column") : QStringLiteral("&%1 columns").arg(columns),
            {}, QStringLiteral("Tabs span %1 columns").arg(columns), {});
        a->setCheckable(true);
        a->setChecked(columns == tabWidth);
        widths->addAction(a);
        connect(a, &QAction::triggered, this, [this, columns] {
            m_editor->setTabWidth(columns);
            EditorSettings().setValue(kTabWidthSetting, columns);
        });
    }

    // Help: keyword help and the shortcut list after Using Help.
    QAction* beforeAbout = help->actions().value(2);
    a = addCommand(help, "actionKeywordHelp", "&Keyword Help\tF1", {K(Qt::Key_F1)},
                   "Show the language reference for the word at the cursor", "Keyword Help");
    PlaceBefore(help, a, beforeAbout);
    connect(a, &QAction::triggered, this, &MainWindow::keywordHelp);
    a = addCommand(help, "actionShortcuts", "Keyboard &Shortcuts...", {},
                   "List the keyboard shortcuts", "Keyboard Shortcuts");
    PlaceBefore(help, a, beforeAbout);
    connect(a, &QAction::triggered, this, &MainWindow::showShortcuts);
}

void MainWindow::goToLine() {
    GoToLineDialog dialog(m_editor->cursorLine(), m_editor->blockCount(), this);
    if (dialog.exec() == QDialog::Accepted) m_editor->goToLine(dialog.line());
}

void MainWindow::keywordHelp() {
    if (!m_help) m_help = new HelpBrowser(this);
    m_help->showKeyword(m_editor->wordAtCursor());
}

void MainWindow::showShortcuts() {
    if (!m_shortcuts) m_shortcuts = new ShortcutsDialog(this);
    m_shortcuts->fill(CollectShortcuts(*this));
    m_shortcuts->show();
    m_shortcuts->raise();
    m_shortcuts->activateWindow();
}

}  // namespace tarvil
