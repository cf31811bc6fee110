// Runs of real scripts in the desktop application: messages, the line
// selection, the progress, debug and preview windows, EXIT, a Run during a run,
// closing during a run, and a start from the command line.
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <chrono>

#include "app/desktop_app.h"
#include "app/main_window.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "gui_test_support.h"
#include "runtime_ui/debug_dialog.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/preview_window.h"

using namespace tarvil;
using testing::AnswerNextMessageBox;
using testing::WhenModalAppears;

namespace {

// A loop long enough to be stopped while it runs.
const QString kLongLoop = QStringLiteral("float i\nFor i=0 to 100000000\nNext i\n");

QList<PreviewWidget*> OpenPreviews() {
    QList<PreviewWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* preview = qobject_cast<PreviewWidget*>(widget)) found << preview;
    }
    return found;
}

}  // namespace

class DesktopRunTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DesktopHost> m_host;
    bool m_closed = false;

    void run(const QString& script) {
        m_window->editor()->loadText(script);
        m_window->runScript();
    }

private slots:
    void init() {
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_host = std::make_unique<DesktopHost>(*m_machine, m_window.get());
        MainWindow* window = m_window.get();
        m_host->setLineSelector([window](unsigned line) { window->selectEditorLine(line); });
        m_host->setStopReporter([window](unsigned line) { window->showRunStop(line); });
        Machine* machine = m_machine.get();
        m_window->setScriptRunner(
            [machine](std::string_view text) { return RunScript(*machine, text); });
        DesktopHost* host = m_host.get();
        connect(m_window.get(), &MainWindow::closingDuringRun, this,
                [host] { host->endWithoutQuestions(); });
        m_closed = false;
        connect(m_window.get(), &MainWindow::closed, this, [this] { m_closed = true; });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() {
        m_window->editor()->document()->setModified(false);
        m_host.reset();
        m_window.reset();
        m_machine.reset();
    }

    void emptyScriptEndsQuietly() {
        auto seen = AnswerNextMessageBox();
        run(QString());
        QTest::qWait(50);
        if (seen->watch) seen->watch->deleteLater();
        QVERIFY(!seen->seen);
    }

    void compileErrorIsShownAndItsLineSelected() {
        auto seen = AnswerNextMessageBox();
        run(QStringLiteral("float x\nfoo bar\nx=1\n"));
        QVERIFY(seen->seen);
        QCOMPARE(seen->title, QStringLiteral("Tarvil"));
        QCOMPARE(seen->text, QStringLiteral("[0002] Error: Instruction not found 'foo bar'"));
        QCOMPARE(seen->icon, QMessageBox::Warning);
        QCOMPARE(seen->modality, Qt::ApplicationModal);
        QCOMPARE(seen->parent, m_window.get());
        QCOMPARE(m_window->editor()->textCursor().selectedText(),
                 QStringLiteral("foo bar") + QChar::ParagraphSeparator);
    }

    void dspmesIsShownVerbatim() {
        auto seen = AnswerNextMessageBox();
        run(QStringLiteral("DspMes(\"<b>100%d</b> citt\u00E0 \", 1.5)\n"));
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("<b>100%d</b> citt\u00E0 1.5"));
        QCOMPARE(seen->format, Qt::PlainText);
    }

    void exitClosesTheWindowAfterTheRun() {
        run(QStringLiteral("float x\nEXIT\nx=1\n"));
        QTRY_VERIFY_WITH_TIMEOUT(m_closed, 3000);
        QVERIFY(!m_window->isVisible());
    }

    void exitAsksToSaveAModifiedScript() {
        m_window->editor()->loadText(QStringLiteral("EXIT\n"));
        m_window->editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_window->editor(), "' changed");
        auto seen = AnswerNextMessageBox(QMessageBox::Cancel);
        m_window->runScript();
        QTRY_VERIFY_WITH_TIMEOUT(seen->seen, 3000);
        QCOMPARE(seen->text, QStringLiteral("Save changes to Untitled?"));
        QVERIFY(!m_closed);
        QVERIFY(m_window->isVisible());
    }

    void runDuringARunStopsTheRunningScript() {
        QTimer::singleShot(100, m_window.get(), [this] {
            QTest::keyClick(m_window->editor(), Qt::Key_R, Qt::ControlModifier);
        });
        auto seen = AnswerNextMessageBox();
        QElapsedTimer clock;
        clock.start();
        run(kLongLoop);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Warning: Program stopped"));
        QVERIFY(clock.elapsed() < 20000);
        QVERIFY(!m_machine->RunInProgress);
    }

    void closingDuringARunStopsItThenClosesWithoutABox() {
        QTimer::singleShot(100, m_window.get(), [this] {
            QVERIFY(!m_window->close());
            QVERIFY(m_window->isVisible());
        });
        auto seen = AnswerNextMessageBox();
        run(kLongLoop);
        QVERIFY(!m_machine->RunInProgress);
        QVERIFY(m_closed);
        QVERIFY(!m_window->isVisible());
        QTest::qWait(50);
        if (seen->watch) seen->watch->deleteLater();
        QVERIFY2(!seen->seen, qPrintable(seen->text));
    }

    // The message keeps its text; the editor selects the line the run stopped
    // at and the status bar names it.
    void stopsSelectTheirLine_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        QTest::newRow("division by zero") << "float x\nx=0\nDspMes(7%x)\nDspMes(1)\n"
                                          << "Error: Division by zero in '%'" << 3;
        QTest::newRow("missing image") << "DevCon i\n\ni=LoadImage(\"none.bmp\")\n"
                                       << "Error: Loading image 'none.bmp'" << 3;
        QTest::newRow("in a loop body") << "float i,s\nFor i=1 to 5\n  s=s+i\n  s=s%(3-i)\nNext i\n"
                                        << "Error: Division by zero in '%'" << 4;
        QTest::newRow("Else senza IF") << "float a\nIF(a)\nENDIF\nELSE\n"
                                       << "Else senza IF" << 4;
        QTest::newRow("Endif senza IF") << "float a\nENDIF\n"
                                        << "Endif senza IF" << 2;
        QTest::newRow("compile error") << "float x\nx=(1\n"
                                       << "[0002] Error: In formula '(1'" << 2;
    }
    void stopsSelectTheirLine() {
        QFETCH(QString, script);
        QFETCH(QString, message);
        QFETCH(int, line);
        const QString expectedSelection =
            script.split(u'\n').at(line - 1) + QChar::ParagraphSeparator;
        const QString expectedStatus = QStringLiteral("Stopped at line %1").arg(line);
        // The line is marked before the message box opens, so it shows behind it.
        QString shown, selectedBehindBox, statusBehindBox, actionBehindBox;
        WhenModalAppears([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            shown = box->text();
            selectedBehindBox = m_window->editor()->textCursor().selectedText();
            statusBehindBox = m_window->statusBar()->currentMessage();
            actionBehindBox = m_window->findChild<QAction*>(QStringLiteral("actionRun"))->toolTip();
            box->button(QMessageBox::Ok)->click();
        });
        run(script);
        QCOMPARE(shown, message);
        QCOMPARE(selectedBehindBox, expectedSelection);
        QCOMPARE(statusBehindBox, expectedStatus);
        QCOMPARE(actionBehindBox, QStringLiteral("Run"));
        QCOMPARE(m_window->editor()->textCursor().selectedText(), expectedSelection);
        QCOMPARE(m_window->statusBar()->currentMessage(), expectedStatus);
    }

    void normalEndLeavesTheSelectionAndSaysSo() {
        m_window->editor()->loadText(QStringLiteral("float x\nx=1\n"));
        m_window->editor()->moveCursor(QTextCursor::End);
        m_window->runScript();
        QVERIFY(!m_window->editor()->textCursor().hasSelection());
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Run finished"));
    }

    // While a script runs the Run command is Stop, in look and in deed.
    void runCommandShowsItselfAsStopAndStops() {
        QAction* action = m_window->findChild<QAction*>(QStringLiteral("actionRun"));
        auto* bar = m_window->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QString runningText, runningTip, runningStatus, statusAfterTip;
        QImage runningIcon;
        QTimer::singleShot(100, m_window.get(), [&] {
            runningText = action->text();
            runningTip = action->toolTip();
            runningIcon = action->icon().pixmap(16, 16).toImage();
            runningStatus = m_window->statusBar()->currentMessage();
            // A menu item's status tip passes over the message; it comes back.
            m_window->statusBar()->showMessage(QStringLiteral("a status tip"));
            m_window->statusBar()->clearMessage();
            statusAfterTip = m_window->statusBar()->currentMessage();
            QTest::mouseClick(bar->widgetForAction(action), Qt::LeftButton);
        });
        const QImage idleIcon = action->icon().pixmap(16, 16).toImage();
        auto seen = AnswerNextMessageBox();
        run(kLongLoop);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Warning: Program stopped"));
        QCOMPARE(runningText, QStringLiteral("&Stop program\tCtrl+R"));
        QCOMPARE(runningTip, QStringLiteral("Stop"));
        QVERIFY(runningIcon != idleIcon);
        QVERIFY(runningStatus.startsWith(QStringLiteral("Running the script")));
        QCOMPARE(statusAfterTip, runningStatus);
        // Back to Run; the loop's NEXT is where it stopped.
        QCOMPARE(action->text(), QStringLiteral("&Run program \tCtrl+R"));
        QCOMPARE(action->toolTip(), QStringLiteral("Run"));
        QCOMPARE(action->icon().pixmap(16, 16).toImage(), idleIcon);
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Stopped at line 3"));
        QCOMPARE(m_window->editor()->textCursor().selectedText(),
                 QStringLiteral("Next i") + QChar::ParagraphSeparator);
    }

    // A script that does not read the request goes on after "Stop!"; a second
    // click, the close box or Escape stops it as Ctrl+R does.
    void progressDialogStopsTheRunWhenTheScriptDoesNot_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("second click") << "click";
        QTest::newRow("close box") << "close";
        QTest::newRow("Escape") << "escape";
    }
    void progressDialogStopsTheRunWhenTheScriptDoesNot() {
        QFETCH(QString, how);
        float passesAtClick = 0;
        float passesLater = 0;
        QTimer::singleShot(100, m_window.get(), [&] {
            ProgressDialog* dialog = m_host->progress().dialog();
            QVERIFY(dialog != nullptr);
            dialog->stopButton()->click();
            passesAtClick = ReadFloat(*FindItem(m_machine->VariableTable, 0, "i"));
            QTimer::singleShot(100, m_window.get(), [&, how] {
                ProgressDialog* open = m_host->progress().dialog();
                QVERIFY(open != nullptr);
                passesLater = ReadFloat(*FindItem(m_machine->VariableTable, 0, "i"));
                if (how == QLatin1String("click")) {
                    open->stopButton()->click();
                } else if (how == QLatin1String("close")) {
                    open->close();
                } else {
                    QTest::keyClick(open, Qt::Key_Escape);
                }
            });
        });
        auto seen = AnswerNextMessageBox();
        run(QStringLiteral(
            "float i,s\nFor i=0 to 100000000\n s=DspWhile(\"Working\",42)\nNext i\n"));
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Warning: Program stopped"));
        QVERIFY2(passesLater > passesAtClick, "the script did not go on after the first click");
        QVERIFY(m_host->progress().dialog() == nullptr);
        QCOMPARE(m_window->statusBar()->currentMessage().left(14),
                 QStringLiteral("Stopped at lin"));
    }

    // Ctrl+R stops the run from the progress dialog too, which has the focus.
    void ctrlRInTheProgressDialogStopsTheRun() {
        QTimer::singleShot(100, m_window.get(), [this] {
            ProgressDialog* dialog = m_host->progress().dialog();
            QVERIFY(dialog != nullptr);
            dialog->activateWindow();
            QTest::keyClick(dialog, Qt::Key_R, Qt::ControlModifier);
        });
        // Should the key do nothing, the run is ended from here, and that shows.
        bool endedByTheTest = false;
        QTimer::singleShot(3000, m_window.get(), [this, &endedByTheTest] {
            if (!m_machine->RunInProgress) return;
            endedByTheTest = true;
            m_host->stopRun();
        });
        auto seen = AnswerNextMessageBox();
        run(QStringLiteral("float i\nFor i=0 to 100000000\n DspWhile(\"Working\",42)\nNext i\n"));
        QVERIFY(!endedByTheTest);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Warning: Program stopped"));
        // Ctrl+R is the window's own again: in another window it starts nothing.
        QAction* action = m_window->findChild<QAction*>(QStringLiteral("actionRun"));
        QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
    }

    void progressDialogStopIsReadByTheScript() {
        QTimer::singleShot(100, m_window.get(), [this] {
            ProgressDialog* dialog = m_host->progress().dialog();
            QVERIFY(dialog != nullptr);
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->textLabelText(), QStringLiteral("Working"));
            QCOMPARE(dialog->bar()->percent(), uint16_t{42});
            dialog->stopButton()->click();
        });
        auto seen = AnswerNextMessageBox();
        run(
            QStringLiteral("float i\nFor i=0 to 100000000\n if(DspWhile(\"Working\",42))\n"
                           "  DspMes(\"stopped\")\n  Return\n endif\nNext i\n"));
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("stopped"));
        QVERIFY(m_host->progress().dialog() == nullptr);  // closed at the end of the run
    }

    void eventLoopIsAskedAtMostOncePerInterval() {
        using namespace std::chrono;
        auto now = steady_clock::time_point(seconds(100));
        m_host->eventPolls().SetClock([&now] { return now; });
        int delivered = 0;
        const auto post = [this, &delivered] {
            QMetaObject::invokeMethod(
                this, [&delivered] { ++delivered; }, Qt::QueuedConnection);
        };
        post();
        m_host->DispatchPendingMessages();  // the first dispatch point always asks
        QCOMPARE(delivered, 1);
        post();
        now += PollThrottle::kInterval - microseconds(1);
        m_host->DispatchPendingMessages();
        QCOMPARE(delivered, 1);  // asked too recently: the event waits
        now += microseconds(1);
        m_host->DispatchPendingMessages();
        QCOMPARE(delivered, 2);
        post();
        m_host->DispatchPendingMessages();
        QCOMPARE(delivered, 2);  // the interval counts from the last look
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 3);

        // DSPWHILE looks for events (its Stop button) under the same rule.
        now += PollThrottle::kInterval;
        m_host->DispatchPendingMessages();
        post();
        QCOMPARE(m_host->UpdateProgress("Working", 5), 0);
        QCOMPARE(delivered, 3);
        now += PollThrottle::kInterval;
        QCOMPARE(m_host->UpdateProgress("Working", 6), 0);
        QCOMPARE(delivered, 4);
        m_host->UpdateProgress("", 0);
    }

    void debugShowsVariablesPreviewsAndAnswers() {
        QString lineField;
        QStringList variables;
        QString selected;
        QRect previewFrame;
        QSize previewPicture;
        QString previewTitle;
        WhenModalAppears([&](QWidget* modal) {
            auto* dialog = qobject_cast<DebugDialog*>(modal);
            QVERIFY(dialog != nullptr);
            lineField = dialog->lineField()->text();
            for (int i = 0; i < dialog->variableList()->count(); ++i)
                variables << dialog->variableList()->item(i)->text();
            selected = m_window->editor()->textCursor().selectedText();
            const QList<PreviewWidget*> previews = OpenPreviews();
            if (previews.size() == 1) {
                previewFrame = previews.first()->frameGeometry();
                previewPicture = previews.first()->viewport()->size();
                previewTitle = previews.first()->windowTitle();
            }
            dialog->continueButton()->click();
        });
        auto seen = AnswerNextMessageBox();
        run(
            QStringLiteral("DevCon img\nfloat x\nimg=CreateImage(100,50,24)\nx=2.5\n"
                           "Preview(img,\"Output\",5,5)\nDebug\nDspMes(\"after\")\n"));
        QCOMPARE(lineField, QStringLiteral("6"));
        QCOMPARE(selected, QStringLiteral("Debug") + QChar::ParagraphSeparator);
        QVERIFY2(variables.contains(QStringLiteral("devcon        img = x=100 y=50 bit=24 res=0")),
                 qPrintable(variables.join('|')));
        QVERIFY(variables.contains(QStringLiteral("float           x = 2.5")));
        QCOMPARE(previewTitle, QStringLiteral("Output"));
        // The default size frames the image exactly.
        QCOMPARE(previewFrame.topLeft(), QPoint(5, 5));
        QCOMPARE(previewPicture, QSize(100, 50));
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("after"));  // Continue went on
        QVERIFY(OpenPreviews().isEmpty());              // released with the image
    }

    void debugStopEndsTheRun() {
        WhenModalAppears([](QWidget* modal) {
            if (auto* dialog = qobject_cast<DebugDialog*>(modal)) dialog->stopButton()->click();
        });
        // The debug dialog comes first, then the message that ends the run.
        auto runEnd = std::make_shared<testing::MessageBoxSeen>();
        QTimer::singleShot(0, this, [runEnd] {
            WhenModalAppears([runEnd](QWidget* modal) {
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    runEnd->seen = true;
                    runEnd->text = box->text();
                    box->button(QMessageBox::Ok)->click();
                } else {
                    modal->close();
                }
            });
        });
        run(QStringLiteral("Debug\nDspMes(\"not reached\")\n"));
        QVERIFY(runEnd->seen);
        QCOMPARE(runEnd->text, QStringLiteral("Debug: Program stopped"));
    }

    void scriptArgumentsAreTheBytesGiven() {
        char program[] = "tarvil";
        char script[] = "s.bas";
        char latin1[] = "citt\xE0";
        char euro[] = "\xE2\x82\xAC";
        char* argv[] = {program, script, latin1, euro, nullptr};
        const std::vector<std::string> args = ScriptArguments(4, argv);
        QCOMPARE(args, (std::vector<std::string>{"s.bas", "citt\xE0", "\xE2\x82\xAC"}));
    }

    void fileDialogTakesImageFilesOfAnyCase() {
        QFileDialog dialog;
        ConfigureImageFileDialog(dialog, QStringLiteral("Pick one"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Pick one"));
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog.nameFilters().size(), 3);
        const QString filter = dialog.nameFilters().constFirst();
        QCOMPARE(filter,
                 QStringLiteral("Images (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.webp *.gif)"));
        QCOMPARE(dialog.selectedNameFilter(), filter);
        // The dialog compares names with the patterns without regard to case.
        QCOMPARE(dialog.filter() & QDir::CaseSensitive, QDir::Filters());
        const QStringList patterns = filter.section(u'(', 1).chopped(1).split(u' ');
        const auto matches = [&patterns](const char* name) {
            for (const QString& pattern : patterns) {
                const QRegularExpression match(
                    QRegularExpression::wildcardToRegularExpression(pattern),
                    QRegularExpression::CaseInsensitiveOption);
                if (match.match(QLatin1String(name)).hasMatch()) return true;
            }
            return false;
        };
        for (const char* name : {"a.bmp", "B.BMP", "c.Bmp", "d.PNG", "e.Jpeg", "f.tiff", "g.GIF"})
            QVERIFY2(matches(name), name);
        for (const char* name : {"a.txt", "bmp", "a.bmpx", "a.png.bak"})
            QVERIFY2(!matches(name), name);
    }

    void chosenPathsMustFitAScriptText() {
        QCOMPARE(ScriptFilePath(QStringLiteral("/tmp/citt\u00E0.bmp")),
                 std::optional<std::string>("/tmp/citt\xC3\xA0.bmp"));
        QCOMPARE(ScriptFilePath(QStringLiteral("/tmp/\u20AC.bmp")),
                 std::optional<std::string>("/tmp/\xE2\x82\xAC.bmp"));
        const QString longest = QStringLiteral("/") + QString(kMaxScriptPathLength - 1, u'a');
        QCOMPARE(ScriptFilePath(longest)->size(), size_t(kMaxScriptPathLength));
        QVERIFY(!ScriptFilePath(longest + u'a'));
        // The limit counts bytes: 85 characters of three bytes each are too many.
        QCOMPARE(ScriptFilePath(QString(84, u'\u65E5'))->size(), size_t{252});
        QVERIFY(!ScriptFilePath(QString(85, u'\u65E5')));
    }

    void startsWithAScriptAndArgumentsAndEndsAtExit() {
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("start.bas"));
        const QString output = dir.filePath(QStringLiteral("out.bmp"));
        QString error;
        QVERIFY(SaveScriptDocument(script,
                                   QStringLiteral("DevCon i\ni=CreateImage(ClNum,2,24)\n"
                                                  "SaveImage(i,ClArg[2])\nEXIT\n"),
                                   &error));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TARVIL_EXECUTABLE), {script, QStringLiteral("x"), output});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QFile bmp(output);
        QVERIFY(bmp.open(QIODevice::ReadOnly));
        const QByteArray bytes = bmp.readAll();
        QVERIFY(bytes.size() > 26);
        QCOMPARE(static_cast<uint8_t>(bytes[18]), uint8_t{3});  // width = ClNum = 3
    }
};

QTEST_MAIN(DesktopRunTest)
#include "desktop_run_test.moc"
