// The main window: menus, accelerators, prompts and tips, File New, opening and
// saving in either form, the recent-file list, Run and closing while a run
// goes on. Runs here go through a stand-in runner that behaves as the
// engine's RunScript does.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "app/help_browser.h"
#include "app/main_window.h"
#include "app/new_script_template.h"
#include "app/recent_file_list.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "gui_test_support.h"

using namespace tarvil;

namespace {

// Stands in for RunScript: records the text, and while "running" keeps the
// window responsive until the StopList has an entry, as the execution loop does.
struct FakeRunner {
    Machine* machine = nullptr;
    std::vector<std::string> texts;
    RunResult result;
    bool longRun = false;
    int refused = 0;
    std::string stopMessage;

    RunResult operator()(std::string_view text) {
        if (machine->RunInProgress) {
            ++refused;
            PushStop(*machine, "Warning: Program stopped");
            return {0, RunOutcome::Refused};
        }
        texts.emplace_back(text);
        machine->RunInProgress = true;
        if (longRun) {
            QElapsedTimer clock;
            clock.start();
            while (machine->StopList.empty() && clock.elapsed() < 5000)
                QCoreApplication::processEvents();
        }
        const Item* stop = ItemAt(machine->StopList, 0);
        stopMessage = stop && stop->name ? *stop->name : std::string();
        ClearList(machine->StopList);
        machine->RunInProgress = false;
        return result;
    }
};

QAction* Action(MainWindow& window, const char* name) {
    return window.findChild<QAction*>(QLatin1String(name));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    std::shared_ptr<FakeRunner> m_runner;

    void writeDocument(const QString& file, const QString& text) {
        QString error;
        QVERIFY2(SaveScriptDocument(file, text, &error), qPrintable(error));
    }

private slots:
    void init() {
        QSettings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil")).clear();
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_runner = std::make_shared<FakeRunner>();
        m_runner->machine = m_machine.get();
        m_window->setScriptRunner(
            [runner = m_runner](std::string_view text) { return (*runner)(text); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() {
        m_window->editor()->document()->setModified(false);
        m_window.reset();
        m_machine.reset();
    }

    void startsUntitledAndEmpty() {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Untitled[*] - Tarvil"));
        QVERIFY(m_window->editor()->text().isEmpty());
        QCOMPARE(m_window->editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(QFontInfo(m_window->editor()->font()).fixedPitch());
    }

    // The start size leaves the window and its frame inside the screen's free
    // area, whatever the screen (the offscreen one is 800 × 600).
    void startSizeFitsTheScreen() {
        const QSize room = m_window->screen()->availableSize();
        QVERIFY2(m_window->width() + 16 <= room.width() && m_window->height() + 48 <= room.height(),
                 qPrintable(QStringLiteral("%1 x %2 in %3 x %4")
                                .arg(m_window->width())
                                .arg(m_window->height())
                                .arg(room.width())
                                .arg(room.height())));
    }

    void menusHoldTheItemsInOrder() {
        QStringList menus;
        for (QAction* menu : m_window->menuBar()->actions()) menus << menu->text();
        QCOMPARE(menus, QStringList({"&File", "&Edit", "&Actions", "&View", "&Help"}));
        auto items = [this](int index) {
            QStringList texts;
            for (QAction* item : m_window->menuBar()->actions()[index]->menu()->actions()) {
                if (item->isSeparator()) {
                    texts << "-";
                } else if (item->isVisible()) {
                    texts << item->text();
                }
            }
            return texts;
        };
        QCOMPARE(items(0), QStringList({"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S",
                                        "Save &As...", "-", "&Print...\tCtrl+P", "Print Pre&view",
                                        "P&rint Setup...", "-", "Recent File", "-", "E&xit"}));
        QCOMPARE(items(1),
                 QStringList({"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X",
                              "&Copy\tCtrl+C", "&Paste\tCtrl+V", "-", "&Find...\tCtrl+F",
                              "Find &Next\tF3", "Find Pre&vious\tShift+F3", "R&eplace...\tCtrl+H",
                              "-", "&Go To Line...\tCtrl+G", "Toggle Co&mment\tCtrl+/"}));
        QCOMPARE(items(2), QStringList({"&Run program \tCtrl+R"}));
        QCOMPARE(items(3), QStringList({"&Toolbar", "&Status Bar", "-", "Zoom &In\tCtrl++",
                                        "Zoom &Out\tCtrl+-", "&Reset Zoom\tCtrl+0", "Tab &Width"}));
        QCOMPARE(items(4), QStringList({"&Index...", "&Using Help...", "&Keyword Help\tF1",
                                        "Keyboard &Shortcuts...", "-", "&About Tarvil..."}));
        QVERIFY(!Action(*m_window, "actionRecentFile")->isEnabled());
    }

    void acceleratorsPromptsAndTips_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("tip");
        QTest::newRow("New") << "actionNew"
                             << "Ctrl+N"
                             << "Create a new document"
                             << "New";
        QTest::newRow("Open") << "actionOpen"
                              << "Ctrl+O"
                              << "Open an existing document"
                              << "Open";
        QTest::newRow("Save") << "actionSave"
                              << "Ctrl+S"
                              << "Save the active document"
                              << "Save";
        QTest::newRow("Save As") << "actionSaveAs"
                                 << "Ctrl+Shift+S"
                                 << "Save the active document with a new name"
                                 << "Save As";
        QTest::newRow("Print") << "actionPrint"
                               << "Ctrl+P"
                               << "Print the active document"
                               << "Print";
        QTest::newRow("Print Preview") << "actionPrintPreview"
                                       << ""
                                       << "Display full pages"
                                       << "Print Preview";
        QTest::newRow("Print Setup") << "actionPrintSetup"
                                     << ""
                                     << "Change the printer and printing options"
                                     << "Print Setup";
        QTest::newRow("Exit") << "actionExit"
                              << "Ctrl+Q"
                              << "Quit the application; prompts to save documents"
                              << "Exit";
        QTest::newRow("Undo") << "actionUndo"
                              << "Ctrl+Z, Alt+Backspace"
                              << "Undo the last action"
                              << "Undo";
        QTest::newRow("Redo") << "actionRedo"
                              << "Ctrl+Y, Ctrl+Shift+Z"
                              << "Redo the previously undone action"
                              << "Redo";
        QTest::newRow("Cut") << "actionCut"
                             << "Ctrl+X, Shift+Del"
                             << "Cut the selection and put it on the Clipboard"
                             << "Cut";
        QTest::newRow("Copy") << "actionCopy"
                              << "Ctrl+C, Ctrl+Ins"
                              << "Copy the selection and put it on the Clipboard"
                              << "Copy";
        QTest::newRow("Paste") << "actionPaste"
                               << "Ctrl+V, Shift+Ins"
                               << "Insert Clipboard contents"
                               << "Paste";
        QTest::newRow("Find") << "actionFind"
                              << "Ctrl+F"
                              << "Find text in the script"
                              << "Find";
        QTest::newRow("Find Next") << "actionFindNext"
                                   << "F3"
                                   << "Find the next occurrence of the text"
                                   << "Find Next";
        QTest::newRow("Find Previous") << "actionFindPrevious"
                                       << "Shift+F3"
                                       << "Find the previous occurrence of the text"
                                       << "Find Previous";
        QTest::newRow("Replace") << "actionReplace"
                                 << "Ctrl+H"
                                 << "Replace text in the script"
                                 << "Replace";
        QTest::newRow("Go To Line") << "actionGoToLine"
                                    << "Ctrl+G"
                                    << "Move to a line of the script"
                                    << "Go To Line";
        QTest::newRow("Toggle Comment") << "actionToggleComment"
                                        << "Ctrl+/"
                                        << "Comment or uncomment the selected lines"
                                        << "Toggle Comment";
        QTest::newRow("Run") << "actionRun"
                             << "Ctrl+R"
                             << "Start program execution"
                             << "Run";
        QTest::newRow("Toolbar") << "actionToolbar"
                                 << ""
                                 << "Show or hide the toolbar"
                                 << "Toggle ToolBar";
        QTest::newRow("Status Bar") << "actionStatusBar"
                                    << ""
                                    << "Show or hide the status bar"
                                    << "Toggle StatusBar";
        QTest::newRow("Zoom In") << "actionZoomIn"
                                 << "Ctrl++, Ctrl+="
                                 << "Enlarge the text of the editor"
                                 << "Zoom In";
        QTest::newRow("Zoom Out") << "actionZoomOut"
                                  << "Ctrl+-"
                                  << "Reduce the text of the editor"
                                  << "Zoom Out";
        QTest::newRow("Reset Zoom") << "actionZoomReset"
                                    << "Ctrl+0"
                                    << "Show the text of the editor at its normal size"
                                    << "Reset Zoom";
        QTest::newRow("Keyword Help") << "actionKeywordHelp"
                                      << "F1"
                                      << "Show the language reference for the word at the cursor"
                                      << "Keyword Help";
        QTest::newRow("Keyboard Shortcuts") << "actionShortcuts"
                                            << ""
                                            << "List the keyboard shortcuts"
                                            << "Keyboard Shortcuts";
        QTest::newRow("About") << "actionAbout"
                               << ""
                               << "Display program information, version number and copyright"
                               << "About";
    }
    void acceleratorsPromptsAndTips() {
        QFETCH(QString, name);
        QFETCH(QString, keys);
        QFETCH(QString, prompt);
        QFETCH(QString, tip);
        QAction* action = m_window->findChild<QAction*>(name);
        QVERIFY(action != nullptr);
        QStringList shortcuts;
        for (const QKeySequence& key : action->shortcuts()) shortcuts << key.toString();
        QCOMPARE(shortcuts.join(", "), keys);
        QCOMPARE(action->statusTip(), prompt);
        QCOMPARE(action->toolTip(), tip);
    }

    void toolBarButtonsInOrder() {
        auto* bar = m_window->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QStringList names;
        for (QAction* action : bar->actions())
            names << (action->isSeparator() ? "-" : action->objectName());
        QCOMPARE(names, QStringList({"actionNew", "actionOpen", "actionSave", "-", "actionCut",
                                     "actionCopy", "actionPaste", "-", "actionRun", "-",
                                     "actionPrint", "actionAbout"}));
        for (QAction* action : bar->actions())
            QVERIFY(action->isSeparator() || !action->icon().isNull());
        Action(*m_window, "actionToolbar")->trigger();
        QVERIFY(bar->isHidden());
        Action(*m_window, "actionStatusBar")->trigger();
        QVERIFY(m_window->statusBar()->isHidden());
    }

    void newAsksToSaveThenStartsAnUntitledTemplate() {
        const QString file = m_dir.filePath("keep.bas");
        writeDocument(file, QStringLiteral("old text"));
        QFile stored(file);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray old = stored.readAll();
        QVERIFY(m_window->openFile(file));
        QTest::keyClicks(m_window->editor(), "x");
        // A modified document is asked about first; Cancel changes nothing.
        auto seen = testing::AnswerNextMessageBox(QMessageBox::Cancel);
        QTest::keyClick(m_window->editor(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Save changes to keep.bas?"));
        QCOMPARE(m_window->editor()->text(), QStringLiteral("xold text"));
        QCOMPARE(m_window->currentFile(), file);
        // No: the changes are dropped and an untitled document holds the template.
        seen = testing::AnswerNextMessageBox(QMessageBox::No);
        Action(*m_window, "actionNew")->trigger();
        QVERIFY(seen->seen);
        QCOMPARE(
            EditorTextToScript(m_window->editor()->text()),
            QByteArray(NewScriptTemplate.data(), static_cast<qsizetype>(NewScriptTemplate.size())));
        QCOMPARE(m_window->editor()->document()->blockCount(), 47);
        QVERIFY(m_window->currentFile().isEmpty());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Untitled[*] - Tarvil"));
        QVERIFY(!m_window->editor()->document()->isModified());
        QVERIFY(!m_window->editor()->document()->isUndoAvailable());
        QCOMPARE(m_window->currentForm(), kNewScriptForm);
        // Save asks for a name instead of overwriting the file that was open.
        bool asked = false;
        testing::WhenModalAppears([&asked](QWidget* modal) {
            asked = qobject_cast<QFileDialog*>(modal) != nullptr;
            modal->close();
        });
        Action(*m_window, "actionSave")->trigger();
        QVERIFY(asked);
        QVERIFY(stored.seek(0));
        QCOMPARE(stored.readAll(), old);
    }

    void plainTextOpensFromEveryWay() {
        const QString file = m_dir.filePath("plain.bas");
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("DspMes(\"hi\")\n");
        plain.close();
        // The File menu's Open, the recent-file list and drag and drop all open
        // through openFile.
        auto refused = testing::AnswerNextMessageBox();
        QVERIFY(m_window->openFile(file));
        QVERIFY2(!refused->seen, qPrintable(refused->text));
        refused->watch->stop();
        QCOMPARE(m_window->editor()->text(), QStringLiteral("DspMes(\"hi\")\n"));
        QCOMPARE(m_window->currentFile(), file);
        QVERIFY(!m_window->currentForm().document);
        QCOMPARE(m_window->recentFiles().first(), file);

        m_window->editor()->loadText(QString());
        Action(*m_window, "actionRecent1")->trigger();
        QCOMPARE(m_window->editor()->text(), QStringLiteral("DspMes(\"hi\")\n"));

        m_window->editor()->loadText(QStringLiteral("other"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QWidget* viewport = m_window->editor()->viewport();
        const QPointF middle = QRectF(viewport->rect()).center();
        QDragEnterEvent enter(middle.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCOMPARE(m_window->editor()->text(), QStringLiteral("DspMes(\"hi\")\n"));

        // What batch mode refuses is refused here too.
        const QString wide = m_dir.filePath("wide.txt");
        QFile utf16(wide);
        QVERIFY(utf16.open(QIODevice::WriteOnly));
        utf16.write(
            QByteArray("\xFF\xFE"
                       "D\0s\0",
                       6));
        utf16.close();
        m_window->editor()->loadText(QStringLiteral("unchanged"));
        auto seen = testing::AnswerNextMessageBox();
        QVERIFY(!m_window->openFile(wide));
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Unexpected file format."));
        QCOMPARE(m_window->editor()->text(), QStringLiteral("unchanged"));
        QCOMPARE(m_window->currentFile(), file);
    }

    void openAndSaveAsOfferScriptsAndAllFiles() {
        QStringList offered;
        testing::WhenModalAppears([&offered](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) offered = dialog->nameFilters();
            modal->close();
        });
        Action(*m_window, "actionOpen")->trigger();
        QCOMPARE(offered, QStringList({"Scripts (*.bas *.BAS *.txt)", "All files (*)"}));

        // Save As: plain text for a new script, and the script document as a
        // file type for older installations.
        m_window->editor()->loadText(QStringLiteral("x=1\nDspMes(x)"));
        auto saveAs = [this](const QString& filter, const QString& name) {
            QStringList filters;
            QString selected;
            testing::WhenModalAppears([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                if (dialog == nullptr) {
                    modal->close();
                    return;
                }
                filters = dialog->nameFilters();
                selected = dialog->selectedNameFilter();
                dialog->selectNameFilter(filter);
                // Typed into the name field, as a user does.
                dialog->setDirectory(m_dir.path());
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
                static_cast<QDialog*>(dialog)->accept();  // as the Save button does
            });
            const bool saved = m_window->saveAs();
            return std::tuple{saved, filters, selected};
        };
        const QStringList all{"Scripts (*.bas *.BAS *.txt)", "Script document (*.bas *.BAS)",
                              "All files (*)"};
        auto [saved, filters, selected] = saveAs(all[1], QStringLiteral("exchange"));
        QVERIFY(saved);
        QCOMPARE(filters, all);
        QCOMPARE(selected, all[0]);
        QFile document(m_dir.filePath("exchange.bas"));
        QVERIFY(document.open(QIODevice::ReadOnly));
        QCOMPARE(document.readAll(), QByteArray("\x0E\0\0\0x=1\r\nDspMes(x)", 18));
        QVERIFY(m_window->currentForm().document);
        // A script document proposes its own type; Scripts makes it plain text again.
        std::tie(saved, filters, selected) = saveAs(all[0], QStringLiteral("plain.txt"));
        QVERIFY(saved);
        QCOMPARE(selected, all[1]);
        QFile text(m_dir.filePath("plain.txt"));
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll(), QByteArray("x=1\nDspMes(x)"));
        QCOMPARE(m_window->currentForm(), kNewScriptForm);
    }

    void recentFilesKeepSixNewestFirst() {
        QStringList files;
        for (int i = 1; i <= 7; ++i) {
            files << m_dir.filePath(QStringLiteral("r%1.bas").arg(i));
            writeDocument(files.last(), QStringLiteral("' %1").arg(i));
            QVERIFY(m_window->openFile(files.last()));
        }
        QCOMPARE(m_window->recentFiles().size(), 6);
        QCOMPARE(m_window->recentFiles().first(), files[6]);
        QVERIFY(!m_window->recentFiles().contains(files[0]));
        QSettings settings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil"));
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(), files[6]);
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File6")).toString(), files[1]);
        QAction* first = Action(*m_window, "actionRecent1");
        QVERIFY(first->isVisible());
        QVERIFY(first->text().startsWith(QStringLiteral("&1 ")));
        QVERIFY(first->text().size() <= 3 + kRecentFileShownLength ||
                first->text().endsWith("r7.bas"));
        QVERIFY(!Action(*m_window, "actionRecentFile")->isVisible());
        // Reopening from the list.
        m_window->editor()->loadText(QString());
        Action(*m_window, "actionRecent2")->trigger();
        QCOMPARE(m_window->editor()->text(), QStringLiteral("' 6"));
    }

    void abbreviatesLongPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short") << "/home/ann/a.bas"
                               << "/home/ann/a.bas";
        QTest::newRow("exactly 30") << "/home/ann/scripts/abcdefgh.bas"
                                    << "/home/ann/scripts/abcdefgh.bas";
        QTest::newRow("folders dropped") << "/home/ann/projects/images/filters/blur.bas"
                                         << "/.../images/filters/blur.bas";
        QTest::newRow("name alone") << "/home/ann/a_very_long_script_name_indeed.bas"
                                    << "a_very_long_script_name_indeed.bas";
        QTest::newRow("relative") << "projects/images/filters/sharpen/x.bas"
                                  << ".../filters/sharpen/x.bas";
    }
    void abbreviatesLongPaths() {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(AbbreviateRecentFile(path), shown);
    }

    void runHandsOverTheTextAndSelectsTheReportedLine() {
        m_window->editor()->loadText(QStringLiteral("line1\nline2\nline3"));
        m_runner->result = {2, RunOutcome::CompileError};
        QTest::keyClick(m_window->editor(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(m_runner->texts.size(), size_t{1});
        QCOMPARE(m_runner->texts.back(), std::string("line1\r\nline2\r\nline3"));
        QCOMPARE(m_window->editor()->textCursor().selectedText(),
                 QString("line2") + QChar::ParagraphSeparator);
        // The menu item and the tool-bar button run too; a normal end leaves the selection.
        m_runner->result = {0, RunOutcome::Normal};
        Action(*m_window, "actionRun")->trigger();
        auto* bar = m_window->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QTest::mouseClick(bar->widgetForAction(Action(*m_window, "actionRun")), Qt::LeftButton);
        QCOMPARE(m_runner->texts.size(), size_t{3});
        QCOMPARE(m_window->editor()->textCursor().selectedText(),
                 QString("line2") + QChar::ParagraphSeparator);
    }

    void editAcceleratorsReachTheEditor() {
        ScriptEditor* editor = m_window->editor();
        editor->loadText(QStringLiteral("alpha"));
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha"));
        QTest::keyClick(editor, Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(editor->text().isEmpty());
        QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(editor->text(), QStringLiteral("alphaalpha"));
        editor->loadText(QStringLiteral("base"));
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "z");
        QTest::keyClick(editor, Qt::Key_Backspace, Qt::AltModifier);
        QCOMPARE(editor->text(), QStringLiteral("base"));
    }

    void runDuringARunStopsIt() {
        m_runner->longRun = true;
        QTimer::singleShot(50, m_window.get(), [this] {
            QTest::keyClick(m_window->editor(), Qt::Key_R, Qt::ControlModifier);
        });
        m_window->runScript();
        QCOMPARE(m_runner->refused, 1);
        QCOMPARE(m_runner->stopMessage, std::string("Warning: Program stopped"));
        QCOMPARE(m_window->runDepth(), 0);
    }

    // The status bar says how a run ended; a line named is selected too.
    void statusBarSaysHowTheRunEnded_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("selected");
        QTest::newRow("normal end") << 0 << int(RunOutcome::Normal) << "Run finished"
                                    << "";
        QTest::newRow("compile error") << 2 << int(RunOutcome::CompileError) << "Stopped at line 2"
                                       << "line2";
        QTest::newRow("run-time stop") << 3 << int(RunOutcome::Stopped) << "Stopped at line 3"
                                       << "line3";
        QTest::newRow("stop before the first instruction")
            << 0 << int(RunOutcome::Stopped) << "Run stopped"
            << "";
    }
    void statusBarSaysHowTheRunEnded() {
        QFETCH(int, line);
        QFETCH(int, outcome);
        QFETCH(QString, status);
        QFETCH(QString, selected);
        m_window->editor()->loadText(QStringLiteral("line1\nline2\nline3\nline4"));
        m_runner->result = {static_cast<unsigned>(line), static_cast<RunOutcome>(outcome)};
        m_window->runScript();
        QCOMPARE(m_window->statusBar()->currentMessage(), status);
        QCOMPARE(m_window->editor()->textCursor().selectedText(),
                 selected.isEmpty() ? QString() : selected + QChar::ParagraphSeparator);
    }

    void closingDuringARunStopsItThenCloses() {
        m_runner->longRun = true;
        bool closed = false;
        connect(m_window.get(), &MainWindow::closed, this, [&closed] { closed = true; });
        QSignalSpy quiet(m_window.get(), &MainWindow::closingDuringRun);
        m_window->editor()->loadText(QStringLiteral("x"));
        QTimer::singleShot(50, m_window.get(), [this] {
            QVERIFY(!m_window->close());  // deferred: the run stops first
            QVERIFY(m_window->closePending());
            QVERIFY(m_window->isVisible());
        });
        m_window->runScript();
        QCOMPARE(m_runner->stopMessage, std::string("Error : Running program stopped"));
        QCOMPARE(quiet.count(), 1);  // the host is told to show nothing more
        QVERIFY(closed);
        QVERIFY(!m_window->isVisible());
    }

    void closingAsksToSaveAModifiedDocument() {
        m_window->editor()->loadText(QStringLiteral("x"));
        QTest::keyClicks(m_window->editor(), "y");
        auto seen = testing::AnswerNextMessageBox(QMessageBox::Cancel);
        QVERIFY(!m_window->close());
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Save changes to Untitled?"));
        QVERIFY(m_window->isVisible());
        seen = testing::AnswerNextMessageBox(QMessageBox::No);
        QVERIFY(m_window->close());
    }

    void cancellingTheSaveQuestionDuringARunKeepsRunningAndOpen() {
        m_runner->longRun = true;
        QTest::keyClicks(m_window->editor(), "changed");
        QTimer::singleShot(50, m_window.get(), [this] {
            testing::AnswerNextMessageBox(QMessageBox::Cancel);
            QVERIFY(!m_window->close());
            QVERIFY(!m_window->closePending());
            PushStop(*m_machine, "End");
        });
        QSignalSpy quiet(m_window.get(), &MainWindow::closingDuringRun);
        m_window->runScript();
        QCOMPARE(m_runner->stopMessage, std::string("End"));
        QCOMPARE(quiet.count(), 0);
        QVERIFY(m_window->isVisible());
    }

    void helpShowsTheLanguageReference() {
        Action(*m_window, "actionHelpIndex")->trigger();
        auto* browser = m_window->findChild<QTextBrowser*>();
        QVERIFY(browser != nullptr);
        QVERIFY(browser->isVisible());
        const QString text = browser->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Tarvil language reference")));
        for (const char* word :
             {"left to right", "DSPWHILE", "GETPIXELVAL", "FILEFIND", "ClArg", "HBS", "Lum"}) {
            QVERIFY2(text.contains(QLatin1String(word)), word);
        }
        // The contents list at the top leads to every section.
        auto* help = m_window->findChild<HelpBrowser*>();
        QFile page(QStringLiteral(":/help/language_reference.md"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString markdown = QString::fromUtf8(page.readAll());
        int links = 0;
        const QRegularExpression link(QStringLiteral("\\]\\(#([a-z-]+)\\)"));
        for (const QRegularExpressionMatch& match : link.globalMatch(markdown)) {
            QVERIFY2(help->goToSection(match.captured(1)), qPrintable(match.captured(1)));
            ++links;
        }
        QVERIFY(links >= 16);
        QVERIFY(!help->goToSection(QStringLiteral("no-such-section")));
        QCOMPARE(SectionSlug(QStringLiteral("Colours: RGB and HBS")),
                 QStringLiteral("colours-rgb-and-hbs"));
        Action(*m_window, "actionUsingHelp")->trigger();
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Using Help")));
    }

    void statusBarShowsLineAndColumn() {
        m_window->editor()->loadText(QStringLiteral("ab\ncdef"));
        QTextCursor cursor = m_window->editor()->textCursor();
        cursor.setPosition(6);
        m_window->editor()->setTextCursor(cursor);
        auto* label = m_window->findChild<QLabel*>(QStringLiteral("cursorPosition"));
        QCOMPARE(label->text(), QStringLiteral("Ln 2, Col 4"));
    }

    void printWritesTheScriptTextOnPages() {
        QString text;
        for (int i = 1; i <= 150; ++i) text += QStringLiteral("DspMes(\"line %1\")\n").arg(i);
        writeDocument(m_dir.filePath(QStringLiteral("long.bas")), text);
        QVERIFY(m_window->openFile(m_dir.filePath(QStringLiteral("long.bas"))));
        const QString pdf = m_dir.filePath(QStringLiteral("printed.pdf"));
        bool answered = false;
        testing::WhenModalAppears([&](QWidget* modal) {
            auto* dialog = qobject_cast<QPrintDialog*>(modal);
            QVERIFY(dialog != nullptr);
            // Without a print server the dialog prints to a PDF file, and
            // proposes the script's own name for it.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            QVERIFY(name != nullptr);
            QCOMPARE(name->text(), m_dir.filePath(QStringLiteral("long.pdf")));
            name->setText(pdf);
            answered = true;
            dialog->accept();
        });
        Action(*m_window, "actionPrint")->trigger();
        QVERIFY(answered);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        // 150 lines do not fit on one page.
        QVERIFY(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                    bytes.count("/Type /Page ") >=
                2);
    }

    void printPreviewShowsThePages() {
        QString text;
        for (int i = 1; i <= 150; ++i) text += QStringLiteral("x=%1\n").arg(i);
        m_window->editor()->loadText(text);
        int pages = 0;
        testing::WhenModalAppears([&](QWidget* modal) {
            QVERIFY(qobject_cast<QPrintPreviewDialog*>(modal) != nullptr);
            auto* widget = modal->findChild<QPrintPreviewWidget*>();
            QVERIFY(widget != nullptr);
            pages = widget->pageCount();
            modal->close();
        });
        Action(*m_window, "actionPrintPreview")->trigger();
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
    }

    void lockIndicatorsFollowTheKeys() {
        LockKeyState keys;
        m_window->setLockKeyReader([&keys]() -> std::optional<LockKeyState> { return keys; });
        auto text = [this](const char* name) {
            return m_window->findChild<QLabel*>(QLatin1String(name))->text();
        };
        // The three panes stand after the message pane in this order.
        const QList<QLabel*> labels = m_window->statusBar()->findChildren<QLabel*>();
        QStringList order;
        for (QLabel* label : labels) order << label->objectName();
        QVERIFY(order.indexOf(QStringLiteral("capsIndicator")) <
                order.indexOf(QStringLiteral("numIndicator")));
        QVERIFY(order.indexOf(QStringLiteral("numIndicator")) <
                order.indexOf(QStringLiteral("scrollIndicator")));

        QCOMPARE(text("capsIndicator"), QString());
        keys = {true, false, true};
        QTest::keyClick(m_window->editor(), Qt::Key_CapsLock);  // any key release reads them again
        QCOMPARE(text("capsIndicator"), QStringLiteral("CAP"));
        QCOMPARE(text("numIndicator"), QString());
        QCOMPARE(text("scrollIndicator"), QStringLiteral("SCRL"));
        keys = {false, true, false};
        QTest::keyClick(m_window->editor(), Qt::Key_NumLock);
        QCOMPARE(text("capsIndicator"), QString());
        QCOMPARE(text("numIndicator"), QStringLiteral("NUM"));
        // Without an X server there is nothing to read: all three are off.
        m_window->setLockKeyReader([]() -> std::optional<LockKeyState> { return std::nullopt; });
        QCOMPARE(text("numIndicator"), QString());
    }

    void nextAndPreviousPaneFocusTheEditor() {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        auto* toolBar = m_window->findChild<QToolBar*>(QStringLiteral("toolBar"));
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_F6), QKeyCombination(Qt::SHIFT | Qt::Key_F6)}) {
            QWidget* button = toolBar->widgetForAction(Action(*m_window, "actionNew"));
            button->setFocusPolicy(Qt::StrongFocus);
            button->setFocus();
            QVERIFY(!m_window->editor()->hasFocus());
            QTest::keySequence(m_window.get(), QKeySequence(key));
            QVERIFY(m_window->editor()->hasFocus());
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
