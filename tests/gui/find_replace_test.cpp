// Find and Replace in the main window: Ctrl+F, F3, Shift+F3 and Ctrl+H, the
// case and whole-word options, wrapping around with a message, Replace and
// Replace All as one undoable step, and Escape.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include "app/main_window.h"
#include "app/script_editor.h"
#include "engine/machine.h"

using namespace tarvil;

class FindReplaceTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;

    ScriptEditor* editor() const { return m_window->editor(); }
    template <typename T>
    T* child(const char* name) const {
        T* found = m_window->findChild<T*>(QLatin1String(name));
        if (found == nullptr) qWarning("no %s", name);
        return found;
    }
    QString message() const { return m_window->statusBar()->currentMessage(); }
    void setCaret(int position) {
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(position);
        editor()->setTextCursor(cursor);
    }
    // Opens the bar with `opener`, sets the options and types what to find.
    bool startSearch(QKeyCombination opener, const QString& needle, bool matchCase = false,
                     bool wholeWords = false) {
        QTest::keySequence(m_window.get(), QKeySequence(opener));
        auto* field = child<QLineEdit>("findText");
        auto* caseBox = child<QCheckBox>("matchCase");
        auto* wordsBox = child<QCheckBox>("wholeWords");
        if (field == nullptr || caseBox == nullptr || wordsBox == nullptr) return false;
        if (!field->isVisible() || !field->hasFocus()) return false;
        caseBox->setChecked(matchCase);
        wordsBox->setChecked(wholeWords);
        field->selectAll();
        QTest::keyClicks(field, needle);
        return true;
    }

private slots:
    void init() {
        QSettings(QStringLiteral("Tarvil"), QStringLiteral("Tarvil")).clear();
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void cleanup() {
        editor()->document()->setModified(false);
        m_window.reset();
        m_machine.reset();
    }

    void findsWithTheOptions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<QString>("keys");  // after typing: n = F3, p = Shift+F3
        QTest::addColumn<int>("found");     // where the selection starts, -1 for none
        QTest::addColumn<QString>("note");  // what the status bar then says
        QTest::newRow("as typed") << "x Ibmp ibmp" << 0 << "ibmp" << false << false << "" << 2
                                  << "";
        QTest::newRow("next ignores case")
            << "Ibmp ibmp IBMP" << 0 << "ibmp" << false << false << "nn" << 10 << "";
        QTest::newRow("match case")
            << "Ibmp ibmp IBMP" << 0 << "ibmp" << true << false << "" << 5 << "";
        QTest::newRow("whole words")
            << "x xy x_ ax x" << 0 << "x" << false << true << "n" << 11 << "";
        QTest::newRow("wraps to the top")
            << "ab ab" << 3 << "ab" << false << false << "n" << 0 << "top";
        QTest::newRow("wraps to the bottom")
            << "ab ab" << 0 << "ab" << false << false << "p" << 3 << "bottom";
        QTest::newRow("previous") << "ab ab ab" << 6 << "ab" << false << false << "p" << 3 << "";
        QTest::newRow("match case wraps to itself")
            << "float x\n\n  FLOAT y" << 0 << "float" << true << false << "n" << 0 << "top";
        QTest::newRow("not found")
            << "ab ab" << 1 << "zz" << false << false << "n" << -1 << "not found";
    }
    void findsWithTheOptions() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, needle);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWords);
        QFETCH(QString, keys);
        QFETCH(int, found);
        QFETCH(QString, note);
        editor()->loadText(text);
        setCaret(caret);
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_F, needle, matchCase, wholeWords));
        m_window->statusBar()->clearMessage();
        for (const QChar key : keys) {
            QTest::keySequence(m_window.get(), key == u'n' ? QKeySequence(Qt::Key_F3)
                                                           : QKeySequence(Qt::SHIFT | Qt::Key_F3));
        }
        const QTextCursor cursor = editor()->textCursor();
        if (found < 0) {
            QVERIFY(!cursor.hasSelection());
        } else {
            QCOMPARE(cursor.selectionStart(), found);
            QCOMPARE(cursor.selectedText().toLower(), needle.toLower());
        }
        if (note.isEmpty()) {
            QCOMPARE(message(), QString());
        } else {
            QVERIFY2(message().contains(note), qPrintable(message()));
            QVERIFY2(child<QLabel>("findMessage")->text().contains(note),
                     qPrintable(child<QLabel>("findMessage")->text()));
        }
    }

    void openingTakesTheSelectedWord() {
        editor()->loadText(QStringLiteral("float total\ntotal=1"));
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(6);
        cursor.setPosition(11, QTextCursor::KeepAnchor);
        editor()->setTextCursor(cursor);
        QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_F));
        auto* field = child<QLineEdit>("findText");
        QVERIFY(field != nullptr);
        QCOMPARE(field->text(), QStringLiteral("total"));
        QCOMPARE(field->selectedText(), QStringLiteral("total"));
        QTest::keySequence(m_window.get(), QKeySequence(Qt::Key_F3));
        QCOMPARE(editor()->textCursor().selectionStart(), 12);
    }

    void escapeClosesTheBarAndF3StillFinds() {
        editor()->loadText(QStringLiteral("ab ab ab"));
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_F, QStringLiteral("ab")));
        auto* bar = child<QWidget>("findBar");
        QVERIFY(bar->isVisible());
        QTest::keyClick(child<QLineEdit>("findText"), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(editor()->hasFocus());
        QTest::keySequence(m_window.get(), QKeySequence(Qt::Key_F3));
        QCOMPARE(editor()->textCursor().selectionStart(), 3);
        QVERIFY(!bar->isVisible());
        // Escape in the editor closes an open bar too, and otherwise does nothing.
        QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_H));
        QVERIFY(bar->isVisible());
        QVERIFY(child<QLineEdit>("replaceText")->isVisible());
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QCOMPARE(editor()->text(), QStringLiteral("ab ab ab"));
        // Find alone shows no replace row.
        QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QVERIFY(!child<QLineEdit>("replaceText")->isVisible());
    }

    void replaceOneAtATime() {
        editor()->loadText(QStringLiteral("a b a b"));
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_H, QStringLiteral("a")));
        auto* replacement = child<QLineEdit>("replaceText");
        QVERIFY(replacement->isVisible());
        replacement->setText(QStringLiteral("cc"));
        auto* replace = child<QPushButton>("replaceOne");
        QTest::mouseClick(replace, Qt::LeftButton);
        QCOMPARE(editor()->text(), QStringLiteral("cc b a b"));
        QCOMPARE(editor()->textCursor().selectionStart(), 5);  // the next one is selected
        QTest::mouseClick(replace, Qt::LeftButton);
        QCOMPARE(editor()->text(), QStringLiteral("cc b cc b"));
        QTest::mouseClick(replace, Qt::LeftButton);
        QCOMPARE(editor()->text(), QStringLiteral("cc b cc b"));
        QVERIFY(message().contains(QStringLiteral("not found")));
        // Enter in the replacement field replaces too.
        editor()->loadText(QStringLiteral("x x"));
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_H, QStringLiteral("x")));
        QTest::keyClick(replacement, Qt::Key_Return);
        QCOMPARE(editor()->text(), QStringLiteral("cc x"));
    }

    void replaceAllIsOneStep_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("note");
        QTest::newRow("any case") << "float x\nfloat y\nFLOAT z"
                                  << "float" << false << false << "string"
                                  << "string x\nstring y\nstring z"
                                  << "3 occurrences";
        QTest::newRow("match case") << "float x\nfloat y\nFLOAT z"
                                    << "float" << true << false << "string"
                                    << "string x\nstring y\nFLOAT z"
                                    << "2 occurrences";
        QTest::newRow("whole words") << "x xy x_1 (x)"
                                     << "x" << false << true << "zz"
                                     << "zz xy x_1 (zz)"
                                     << "2 occurrences";
        QTest::newRow("longer and shorter") << "aXa aXa"
                                            << "X" << true << false << ""
                                            << "aa aa"
                                            << "2 occurrences";
        QTest::newRow("one") << "ab"
                             << "b" << false << false << "c"
                             << "ac"
                             << "1 occurrence";
        QTest::newRow("none") << "ab"
                              << "q" << false << false << "c"
                              << "ab"
                              << "not found";
    }
    void replaceAllIsOneStep() {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWords);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QFETCH(QString, note);
        editor()->loadText(text);
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_H, needle, matchCase, wholeWords));
        child<QLineEdit>("replaceText")->setText(replacement);
        QTest::mouseClick(child<QPushButton>("replaceAll"), Qt::LeftButton);
        QCOMPARE(editor()->text(), expected);
        QVERIFY2(message().contains(note), qPrintable(message()));
        if (expected != text) {
            QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_Z));
            QCOMPARE(editor()->text(), text);
        }
    }

    void replaceStaysWithinTheEditorLimit() {
        QString text(kEditorCharacterLimit - 4, u'x');
        text += QStringLiteral("a\na");  // 4 more bytes: the break counts two
        editor()->loadText(text);
        QCOMPARE(editor()->storedLength(), kEditorCharacterLimit);
        QVERIFY(startSearch(Qt::CTRL | Qt::Key_H, QStringLiteral("a")));
        child<QLineEdit>("replaceText")->setText(QStringLiteral("bb"));
        QTest::mouseClick(child<QPushButton>("replaceAll"), Qt::LeftButton);
        QCOMPARE(editor()->storedLength(), kEditorCharacterLimit);
        QVERIFY(editor()->text().endsWith(QStringLiteral("a\na")));
        QVERIFY2(message().contains(QStringLiteral("at most")), qPrintable(message()));
        // A replacement of the same length fits.
        child<QLineEdit>("replaceText")->setText(QStringLiteral("b"));
        QTest::mouseClick(child<QPushButton>("replaceAll"), Qt::LeftButton);
        QVERIFY(editor()->text().endsWith(QStringLiteral("b\nb")));
    }
};

QTEST_MAIN(FindReplaceTest)
#include "find_replace_test.moc"
