// The script editor: the line selection rule, the size limit and the kept selection.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "app/script_editor.h"
#include "app/syntax_highlighter.h"

using namespace tarvil;

class ScriptEditorTest : public QObject {
    Q_OBJECT
private slots:
    void lineSelectionRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        // Text and the first character of the break; the last line runs to the end.
        QTest::newRow("first") << "ab\ncde\nf" << 1 << 0 << 3;
        QTest::newRow("middle") << "ab\ncde\nf" << 2 << 3 << 7;
        QTest::newRow("last") << "ab\ncde\nf" << 3 << 7 << 8;
        QTest::newRow("empty last line") << "ab\n" << 2 << 3 << 3;
        QTest::newRow("beyond the text") << "ab\ncde" << 3 << -1 << -1;
        QTest::newRow("line 0") << "ab" << 0 << -1 << -1;
    }
    void lineSelectionRange() {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, start);
        QFETCH(int, end);
        QTextDocument document(text);
        const auto range = LineSelectionRange(document, static_cast<unsigned>(line));
        QCOMPARE(range.first, start);
        QCOMPARE(range.second, end);
    }

    void selectLineSelectsAndKeepsItVisibleWithoutFocus() {
        ScriptEditor editor;
        QStringList lines;
        for (int i = 1; i <= 200; ++i) lines << QStringLiteral("line %1").arg(i);
        editor.loadText(lines.join(u'\n'));
        editor.resize(300, 200);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.selectLine(12);
        QCOMPARE(editor.textCursor().selectedText(),
                 QStringLiteral("line 12") + QChar::ParagraphSeparator);
        QCOMPARE(editor.cursorLine(), 12);  // the caret, and "Ln", stay on the line
        editor.selectLine(150);
        // Scrolled into view.
        QVERIFY(editor.cursorRect().top() >= 0 &&
                editor.cursorRect().bottom() <= editor.viewport()->height());
        const QPalette colours = editor.palette();
        QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
                 colours.color(QPalette::Active, QPalette::Highlight));
    }

    void storedLengthCountsBreaksTwice() {
        ScriptEditor editor;
        editor.loadText(QStringLiteral("ab\ncd\n"));
        QCOMPARE(editor.storedLength(), 8);
        QCOMPARE(StoredLength(u"ab\ncd\n"), 8);
    }

    void typingAndPastingStopAtTheLimit() {
        ScriptEditor editor;
        int limitSignals = 0;
        connect(&editor, &ScriptEditor::limitReached, this, [&limitSignals] { ++limitSignals; });
        editor.loadText(QString(kEditorCharacterLimit - 2, u'x'));
        editor.moveCursor(QTextCursor::End);
        QTest::keyClicks(&editor, "abc");
        QCOMPARE(editor.storedLength(), kEditorCharacterLimit);
        QVERIFY(editor.text().endsWith(QStringLiteral("xab")));
        QCOMPARE(limitSignals, 1);
        QTest::keyClick(&editor, Qt::Key_Return);  // a break needs two characters
        QCOMPARE(editor.storedLength(), kEditorCharacterLimit);

        // Pasting over a selection may use the space the selection frees.
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(0);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        QApplication::clipboard()->setText(QStringLiteral("123456"));
        editor.paste();
        QCOMPARE(editor.storedLength(), kEditorCharacterLimit);
        QVERIFY(editor.text().startsWith(QStringLiteral("1234x")));
        QCOMPARE(limitSignals, 3);

        // Deleting makes room again.
        QTest::keyClick(&editor, Qt::Key_Backspace);
        QTest::keyClicks(&editor, "Z");
        QVERIFY(editor.text().startsWith(QStringLiteral("123Zx")));
    }

    void pastedLineBreaksBecomeLines() {
        ScriptEditor editor;
        QApplication::clipboard()->setText(QStringLiteral("a\r\nb\rc"));
        editor.paste();
        QCOMPARE(editor.text(), QStringLiteral("a\nb\nc"));
    }

    void keepsNonBreakingSpaces() {
        ScriptEditor editor;
        editor.loadText(QStringLiteral("a\u00A0b"));
        QCOMPARE(editor.text(), QStringLiteral("a\u00A0b"));
    }

    void highlighterKnowsTheVocabulary_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("kind");
        using K = SyntaxHighlighter::WordKind;
        QTest::newRow("type") << "DevCon" << int(K::Type);
        QTest::newRow("statement") << "setpixel" << int(K::Statement);
        QTest::newRow("function") << "GetPixelVal" << int(K::Function);
        QTest::newRow("member") << "BitCount" << int(K::Member);
        QTest::newRow("variable") << "Ibmp" << int(K::Other);
    }
    void highlighterKnowsTheVocabulary() {
        QFETCH(QString, word);
        QFETCH(int, kind);
        QCOMPARE(int(SyntaxHighlighter::Classify(word)), kind);
    }
};

QTEST_MAIN(ScriptEditorTest)
#include "script_editor_test.moc"
