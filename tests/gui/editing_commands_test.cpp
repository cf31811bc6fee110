// The main window's editing commands: Redo, Quit, Go To Line, zoom and tab
// width (remembered across starts), commenting lines, F1 on a keyword and the
// list of keyboard shortcuts.
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include "app/help_browser.h"
#include "app/main_window.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "gui_test_support.h"

using namespace tarvil;

class EditingCommandsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;

    ScriptEditor* editor() const { return m_window->editor(); }
    QAction* action(const QString& name) const {
        QAction* found = m_window->findChild<QAction*>(name);
        if (found == nullptr) qWarning("no action %s", qPrintable(name));
        return found;
    }
    void press(QKeyCombination key) { QTest::keySequence(m_window.get(), QKeySequence(key)); }
    void openWindow() {
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void reopenWindow() {
        editor()->document()->setModified(false);
        m_window.reset();
        openWindow();
    }
    void select(int start, int end) {
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        editor()->setTextCursor(cursor);
    }
    qreal spaceWidth() const {
        return QFontMetricsF(editor()->font()).horizontalAdvance(QLatin1Char(' '));
    }

private slots:
    void init() {
        QSettings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil")).clear();
        m_machine = std::make_unique<Machine>();
        openWindow();
    }
    void cleanup() {
        if (m_window) editor()->document()->setModified(false);
        m_window.reset();
        m_machine.reset();
    }

    void redoBringsBackWhatUndoTook_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::newRow("Ctrl+Y") << QKeyCombination(Qt::CTRL | Qt::Key_Y);
        QTest::newRow("Ctrl+Shift+Z") << QKeyCombination(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    }
    void redoBringsBackWhatUndoTook() {
        QFETCH(QKeyCombination, key);
        QAction* redo = action(QStringLiteral("actionRedo"));
        QVERIFY(redo != nullptr);
        QVERIFY(!redo->isEnabled());
        QTest::keyClicks(editor(), "abc");
        press(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(editor()->text(), QString());
        QVERIFY(redo->isEnabled());
        press(key);
        QCOMPARE(editor()->text(), QStringLiteral("abc"));
        QVERIFY(!redo->isEnabled());
        press(Qt::CTRL | Qt::Key_Z);
        redo->trigger();  // the menu item
        QCOMPARE(editor()->text(), QStringLiteral("abc"));
    }

    void quitClosesAsTheCloseBoxDoes() {
        QTest::keyClicks(editor(), "changed");
        auto seen = testing::AnswerNextMessageBox(QMessageBox::Cancel);
        press(Qt::CTRL | Qt::Key_Q);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Save changes to Untitled?"));
        QVERIFY(m_window->isVisible());
        m_window->activateWindow();  // back from the question
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        bool closed = false;
        connect(m_window.get(), &MainWindow::closed, this, [&closed] { closed = true; });
        seen = testing::AnswerNextMessageBox(QMessageBox::No);
        press(Qt::CTRL | Qt::Key_Q);
        QVERIFY(seen->seen);
        QVERIFY(closed);
        QVERIFY(!m_window->isVisible());
    }

    void goToLineMovesTheCaret_data() {
        QTest::addColumn<int>("typed");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("line");
        QTest::newRow("a line far down") << 142 << true << 142;
        QTest::newRow("the first") << 1 << true << 1;
        QTest::newRow("beyond the last") << 999 << true << 200;
        QTest::newRow("cancelled") << 150 << false << 7;
    }
    void goToLineMovesTheCaret() {
        QFETCH(int, typed);
        QFETCH(bool, accept);
        QFETCH(int, line);
        QStringList lines;
        for (int i = 1; i <= 200; ++i) lines << QStringLiteral("   line %1").arg(i);
        editor()->loadText(lines.join(u'\n'));
        editor()->selectLine(7);
        select(editor()->textCursor().selectionStart() + 3,
               editor()->textCursor().selectionStart() + 3);
        int shownMaximum = 0;
        int shownValue = 0;
        bool seen = false;
        testing::WhenModalAppears([&](QWidget* modal) {
            seen = true;
            auto* spin = modal->findChild<QSpinBox*>();
            auto* buttons = modal->findChild<QDialogButtonBox*>();
            if (spin == nullptr || buttons == nullptr) {
                modal->close();
                return;
            }
            shownMaximum = spin->maximum();
            shownValue = spin->value();
            spin->setValue(typed);
            buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        press(Qt::CTRL | Qt::Key_G);
        QVERIFY(seen);
        QCOMPARE(shownMaximum, 200);
        QCOMPARE(shownValue, 7);
        QCOMPARE(editor()->cursorLine(), line);
        if (accept) {
            QCOMPARE(editor()->cursorColumn(), 1);
            QVERIFY(!editor()->textCursor().hasSelection());
        }
        const QRect caret = editor()->cursorRect();
        QVERIFY(caret.top() >= 0 && caret.bottom() <= editor()->viewport()->height());
    }

    void zoomIsKeptAcrossStarts_data() {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<int>("steps");
        using K = QList<QKeyCombination>;
        QTest::newRow("Ctrl++") << K{Qt::CTRL | Qt::Key_Plus} << 1;
        QTest::newRow("Ctrl+=") << K{Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::Key_Equal} << 2;
        QTest::newRow("Ctrl+-") << K{Qt::CTRL | Qt::Key_Minus} << -1;
        QTest::newRow("Ctrl+0") << K{Qt::CTRL | Qt::Key_Plus, Qt::CTRL | Qt::Key_Plus,
                                     Qt::CTRL | Qt::Key_0}
                                << 0;
    }
    void zoomIsKeptAcrossStarts() {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(int, steps);
        QStringList lines(150, QStringLiteral("x"));
        editor()->loadText(lines.join(u'\n'));
        const qreal size = editor()->font().pointSizeF();
        auto* numbers = editor()->findChild<QWidget*>(QStringLiteral("lineNumbers"));
        QVERIFY(numbers != nullptr);
        const int width = numbers->width();
        for (const QKeyCombination key : keys) press(key);
        QCOMPARE(editor()->font().pointSizeF(), size + steps);
        QCOMPARE(numbers->width(), editor()->lineNumberAreaWidth());
        if (steps >= 2) QVERIFY(numbers->width() > width);
        reopenWindow();
        QCOMPARE(editor()->font().pointSizeF(), size + steps);
    }

    void tabWidthIsAChoiceOfColumns_data() {
        QTest::addColumn<int>("columns");
        QTest::newRow("2") << 2;
        QTest::newRow("3") << 3;
        QTest::newRow("8") << 8;
    }
    void tabWidthIsAChoiceOfColumns() {
        QFETCH(int, columns);
        QVERIFY(action(QStringLiteral("actionTabWidth4")) != nullptr);
        QVERIFY(action(QStringLiteral("actionTabWidth4"))->isChecked());
        QCOMPARE(editor()->tabStopDistance(), 4 * spaceWidth());
        action(QStringLiteral("actionTabWidth%1").arg(columns))->trigger();
        QCOMPARE(editor()->tabStopDistance(), columns * spaceWidth());
        QVERIFY(!action(QStringLiteral("actionTabWidth4"))->isChecked());
        reopenWindow();
        QCOMPARE(editor()->tabStopDistance(), columns * spaceWidth());
        QVERIFY(action(QStringLiteral("actionTabWidth%1").arg(columns))->isChecked());
        // The tab keeps its columns when the font grows.
        press(Qt::CTRL | Qt::Key_Plus);
        QCOMPARE(editor()->tabStopDistance(), columns * spaceWidth());
    }

    void commentTogglesTheSelectedLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the caret's line") << "a=1\nb=2" << 5 << 5 << "a=1\n' b=2";
        QTest::newRow("uncomment") << "' a=1" << 2 << 2 << "a=1";
        QTest::newRow("uncomment without blank") << "'a=1" << 0 << 0 << "a=1";
        QTest::newRow("indented lines") << "  a\n    b" << 0 << 9 << "  ' a\n  '   b";
        QTest::newRow("indented back") << "  ' a\n  '   b" << 0 << 13 << "  a\n    b";
        QTest::newRow("some commented") << "' a\nb" << 0 << 5 << "' ' a\n' b";
        QTest::newRow("blank lines stay") << "a\n\n  \nb" << 0 << 7 << "' a\n\n  \n' b";
        QTest::newRow("selection ending at a line start") << "a\nb\nc" << 0 << 4 << "' a\n' b\nc";
        QTest::newRow("trailing comment is code") << "x=1 ' one" << 0 << 0 << "' x=1 ' one";
    }
    void commentTogglesTheSelectedLines() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, expected);
        editor()->loadText(text);
        select(start, end);
        QTest::keyClick(editor(), Qt::Key_Slash, Qt::ControlModifier);
        QCOMPARE(editor()->text(), expected);
        press(Qt::CTRL | Qt::Key_Z);  // one step, whatever the number of lines
        QCOMPARE(editor()->text(), text);
    }

    void f1OpensTheReferenceAtTheKeyword_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("found");  // empty: the reference's start
        const QStringList keywords{
            "STRING",    "FLOAT",       "DevCon",     "RGB",      "HBS",       "Debug",
            "SAVEIMAGE", "SetPixelVal", "SetPixel",   "Preview",  "DspMes",    "DspWhile",
            "For",       "Next",        "SetPalette", "If",       "Else",      "EndIf",
            "Return",    "Exit",        "to",         "Step",     "LoadImage", "CreateImage",
            "GetPixel",  "GetPixelVal", "GetPalette", "SIN",      "ASIN",      "HSIN",
            "COS",       "ACOS",        "HCOS",       "SQR",      "TAN",       "ATAN",
            "HTAN",      "ABS",         "EXP",        "LOG",      "BLOG",      "POW",
            "RAND",      "MIN",         "MAX",        "INT",      "FileFind",  "GetFileName",
            "hDC",       "Height",      "Width",      "BitCount", "Res",       "ClrImp",
            "Lum",       "Red",         "Green",      "Blue",     "Hue",       "Bri",
            "Sat",       "ClArg",       "ClNum",      "PI"};
        for (const QString& word : keywords)
            QTest::newRow(qPrintable(word)) << QStringLiteral("  x.%1(a)").arg(word) << word;
        QTest::newRow("a variable") << "  Ibmp=1"
                                    << "";
        QTest::newRow("no word") << "  =  "
                                 << "";
    }
    void f1OpensTheReferenceAtTheKeyword() {
        QFETCH(QString, line);
        QFETCH(QString, found);
        // The help window may stand anywhere in the reference before.
        editor()->loadText(QStringLiteral("SetPalette"));
        press(Qt::Key_F1);
        auto* help = m_window->findChild<HelpBrowser*>();
        QVERIFY(help != nullptr && help->isVisible());
        QTextBrowser* browser = help->browser();
        QVERIFY(browser->verticalScrollBar()->value() > 0);

        editor()->loadText(QStringLiteral("first\n") + line);
        // The caret inside the word, or at its end.
        for (const int offset : {11, 6 + int(line.indexOf(u'('))}) {
            if (offset > editor()->document()->characterCount() - 1) continue;
            select(offset, offset);
            editor()->setFocus();
            press(Qt::Key_F1);
            const QTextCursor at = browser->textCursor();
            if (found.isEmpty()) {
                QVERIFY(!at.hasSelection());
                QCOMPARE(browser->verticalScrollBar()->value(), 0);
                continue;
            }
            QCOMPARE(at.selectedText().toUpper(), found.toUpper());
            const QRect shown = browser->cursorRect(at);
            QVERIFY(shown.top() >= 0 && shown.bottom() <= browser->viewport()->height());
        }
    }

    void shortcutListIsBuiltFromTheActions() {
        QAction* open = action(QStringLiteral("actionShortcuts"));
        QVERIFY(open != nullptr);
        open->trigger();
        auto* list = m_window->findChild<QTreeWidget*>(QStringLiteral("shortcutList"));
        QVERIFY(list != nullptr);
        QVERIFY(list->isVisible());
        auto rows = [list] {
            QMap<QString, QString> keysByCommand;
            for (QTreeWidgetItemIterator it(list); *it; ++it)
                if ((*it)->childCount() == 0) keysByCommand.insert((*it)->text(0), (*it)->text(1));
            return keysByCommand;
        };
        QMap<QString, QString> shown = rows();
        int withKeys = 0;
        for (QAction* each : m_window->findChildren<QAction*>()) {
            if (each->shortcuts().isEmpty()) continue;
            ++withKeys;
            QStringList keys;
            for (const QKeySequence& key : each->shortcuts())
                keys << key.toString(QKeySequence::NativeText);
            QVERIFY2(shown.values().contains(keys.join(QStringLiteral(", "))),
                     qPrintable(each->objectName()));
        }
        QVERIFY(withKeys >= 24);
        QCOMPARE(shown.value(QStringLiteral("Find Next")), QStringLiteral("F3"));
        QCOMPARE(shown.value(QStringLiteral("Redo")), QStringLiteral("Ctrl+Y, Ctrl+Shift+Z"));

        auto* added = new QAction(QStringLiteral("Test &Thing"), m_window.get());
        added->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
        m_window->menuBar()->actions().last()->menu()->addAction(added);
        open->trigger();
        shown = rows();
        QCOMPARE(shown.value(QStringLiteral("Test Thing")), QStringLiteral("Ctrl+Alt+K"));
    }
};

QTEST_MAIN(EditingCommandsTest)
#include "editing_commands_test.moc"
