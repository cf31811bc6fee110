// The editor on its own: Enter keeps the indentation, brackets show their
// partner, tabs are whole columns, Ctrl+wheel zooms with the line numbers,
// and the script colours stay readable on light and dark palettes.
#include <QTextBlock>
#include <QTextLayout>
#include <QWheelEvent>
#include <QtTest>
#include <algorithm>

#include "app/script_editor.h"
#include "app/syntax_highlighter.h"

using namespace tarvil;

namespace {

// The contrast ratio of two colours as the usual accessibility rules define it
// (1 for equal colours, 21 for black on white).
double Luminance(const QColor& colour) {
    auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}
double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette EditorPalette(const QColor& base, const QColor& text) {
    QPalette palette;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::Window, base);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
    }
    return palette;
}

// The characters after which the editor paints a bracket mark, in order.
QList<int> MarkedPositions(const QPlainTextEdit& editor) {
    QList<int> marked;
    for (const QTextEdit::ExtraSelection& selection : editor.extraSelections()) {
        if (selection.format.boolProperty(QTextFormat::FullWidthSelection)) continue;
        marked << selection.cursor.selectionStart();
    }
    std::sort(marked.begin(), marked.end());
    return marked;
}

void SendWheel(QWidget* viewport, int delta, Qt::KeyboardModifiers modifiers) {
    const QPointF at(10, 10);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

}  // namespace

class EditorEditingTest : public QObject {
    Q_OBJECT
private slots:
    void enterKeepsTheIndentation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret");
        const int none = Qt::NoModifier;
        QTest::newRow("blanks") << "   x=1" << 6 << 6 << none << "   x=1\n   " << 10;
        QTest::newRow("tabs") << "\t\tx" << 3 << 3 << none << "\t\tx\n\t\t" << 6;
        QTest::newRow("tabs and blanks") << " \t x" << 4 << 4 << none << " \t x\n \t " << 8;
        QTest::newRow("no indentation") << "x" << 1 << 1 << none << "x\n" << 2;
        QTest::newRow("inside the line") << "  ab" << 3 << 3 << none << "  a\n  b" << 6;
        QTest::newRow("inside the indentation") << "    x" << 2 << 2 << none << "  \n    x" << 5;
        QTest::newRow("over a selection") << "  abc" << 3 << 4 << none << "  a\n  c" << 6;
        QTest::newRow("blank line") << "    " << 4 << 4 << none << "    \n    " << 9;
        QTest::newRow("second line") << "a\n  b" << 5 << 5 << none << "a\n  b\n  " << 8;
        QTest::newRow("shift+enter") << "  a" << 3 << 3 << int(Qt::ShiftModifier) << "  a\n  " << 6;
        QTest::newRow("keypad enter")
            << "  a" << 3 << 3 << int(Qt::KeypadModifier) << "  a\n  " << 6;
    }
    void enterKeepsTheIndentation() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        ScriptEditor editor;
        editor.loadText(text);
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        const Qt::Key key = modifiers == int(Qt::KeypadModifier) ? Qt::Key_Enter : Qt::Key_Return;
        QTest::keyClick(&editor, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(editor.text(), expected);
        QCOMPARE(editor.textCursor().position(), caret);
        // One Undo takes the break and the indentation back together.
        editor.undo();
        QCOMPARE(editor.text(), text);
    }

    void bracketsShowTheirPartner_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QList<int>>("marked");
        QTest::newRow("before an opening bracket") << "x=(a+b)" << 2 << QList<int>{2, 6};
        QTest::newRow("after a closing bracket") << "x=(a+b)" << 7 << QList<int>{2, 6};
        QTest::newRow("the one before the caret first") << "((a))" << 1 << QList<int>{0, 4};
        QTest::newRow("square brackets") << "b[i]=1" << 4 << QList<int>{1, 3};
        QTest::newRow("nested kinds") << "f(a[1])" << 7 << QList<int>{1, 6};
        QTest::newRow("wrong kind is unmatched") << "(a]" << 3 << QList<int>{2};
        QTest::newRow("unclosed") << "(a" << 1 << QList<int>{0};
        QTest::newRow("inside a string") << "s=\"(x\"" << 4 << QList<int>{};
        QTest::newRow("string brackets do not pair") << "f(\"(\",x)" << 8 << QList<int>{1, 7};
        QTest::newRow("inside the comment") << "x=1 ' (a)" << 7 << QList<int>{};
        QTest::newRow("apostrophe inside quotes") << "s=\"a'(b)\"" << 6 << QList<int>{};
        QTest::newRow("code before the comment") << "if(a) ' (b" << 5 << QList<int>{2, 4};
        QTest::newRow("no bracket at the caret") << "(abc)" << 2 << QList<int>{};
    }
    void bracketsShowTheirPartner() {
        QFETCH(QString, line);
        QFETCH(int, caret);
        QFETCH(QList<int>, marked);
        ScriptEditor editor;
        editor.loadText(QStringLiteral("first line\n") + line);
        QTextCursor cursor = editor.textCursor();
        const int lineStart = editor.document()->findBlockByNumber(1).position();
        cursor.setPosition(lineStart + caret);
        editor.setTextCursor(cursor);
        QList<int> expected;
        for (const int position : marked) expected << lineStart + position;
        QCOMPARE(MarkedPositions(editor), expected);
        // A matched pair and an unmatched bracket look different.
        if (marked.size() == 1) {
            editor.loadText(QStringLiteral("(a)"));
            editor.moveCursor(QTextCursor::End);
            const QList<QTextEdit::ExtraSelection> pair = editor.extraSelections();
            editor.loadText(line);
            cursor = editor.textCursor();
            cursor.setPosition(caret);
            editor.setTextCursor(cursor);
            QTextEdit::ExtraSelection lone;
            for (const auto& selection : editor.extraSelections())
                if (!selection.format.boolProperty(QTextFormat::FullWidthSelection))
                    lone = selection;
            for (const auto& selection : pair)
                if (!selection.format.boolProperty(QTextFormat::FullWidthSelection))
                    QVERIFY(selection.format.background() != lone.format.background());
        }
    }

    void tabsAreWholeColumns() {
        ScriptEditor editor;
        editor.loadText(QStringLiteral("\tX\n    X\n        X"));
        editor.resize(400, 200);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto left = [&editor](int position) {
            QTextCursor cursor = editor.textCursor();
            cursor.setPosition(position);
            return editor.cursorRect(cursor).left();
        };
        // Four columns by default: after the tab stands what stands after four blanks.
        QCOMPARE(left(1), left(7));
        QVERIFY(left(1) != left(17));
    }

    void controlWheelZoomsWithTheLineNumbers() {
        ScriptEditor editor;
        QStringList lines;
        for (int i = 0; i < 150; ++i) lines << QStringLiteral("\tline");
        editor.loadText(lines.join(u'\n'));
        editor.resize(400, 300);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto* numbers = editor.findChild<QWidget*>(QStringLiteral("lineNumbers"));
        QVERIFY(numbers != nullptr);
        const qreal size = editor.font().pointSizeF();
        const int width = numbers->width();
        QCOMPARE(width, editor.lineNumberAreaWidth());

        SendWheel(editor.viewport(), 120, Qt::NoModifier);  // a plain wheel scrolls
        QCOMPARE(editor.font().pointSizeF(), size);
        SendWheel(editor.viewport(), 240, Qt::ControlModifier);
        QCOMPARE(editor.font().pointSizeF(), size + 2);
        QVERIFY(numbers->width() > width);
        QCOMPARE(numbers->width(), editor.lineNumberAreaWidth());
        QCOMPARE(numbers->font().pointSizeF(), editor.font().pointSizeF());
        // The tab still spans four blanks of the larger font.
        QCOMPARE(editor.tabStopDistance(),
                 4 * QFontMetricsF(editor.font()).horizontalAdvance(QLatin1Char(' ')));
        // A touch pad sends small steps: they add up to one.
        for (int i = 0; i < 4; ++i) SendWheel(editor.viewport(), -30, Qt::ControlModifier);
        QCOMPARE(editor.font().pointSizeF(), size + 1);
    }

    // A number is coloured as the compiler reads it: with its exponent, and
    // not a name that only follows it.
    void numbersTakeTheirExponent_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("number");
        QTest::newRow("exponent") << QStringLiteral("x=2.5e-3+e") << QStringLiteral("2.5e-3");
        QTest::newRow("upper case") << QStringLiteral("x=1E5") << QStringLiteral("1E5");
        QTest::newRow("no digits after e") << QStringLiteral("x=1e+y") << QStringLiteral("1");
        QTest::newRow("plain") << QStringLiteral("x=1.5.7") << QStringLiteral("1.5.7");
    }
    void numbersTakeTheirExponent() {
        QFETCH(QString, line);
        QFETCH(QString, number);
        ScriptEditor editor;
        new SyntaxHighlighter(editor.document());
        editor.loadText(line);
        const auto formats = editor.document()->begin().layout()->formats();
        const qsizetype start = line.indexOf(number);
        const auto covering = std::find_if(formats.begin(), formats.end(),
                                           [&](const auto& range) { return range.start == start; });
        QVERIFY(covering != formats.end());
        QCOMPARE(covering->length, number.size());
    }

    void coloursFollowThePalette_data() {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("dark") << QColor(0x1e, 0x1e, 0x1e) << QColor(0xdc, 0xdc, 0xdc);
        QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("dark blue") << QColor(0x00, 0x2b, 0x36) << QColor(0x93, 0xa1, 0xa1);
        QTest::newRow("pale yellow") << QColor(0xfd, 0xf6, 0xe3) << QColor(0x58, 0x6e, 0x75);
    }
    void coloursFollowThePalette() {
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        ScriptEditor editor;
        new SyntaxHighlighter(editor.document());
        editor.loadText(
            QStringLiteral("float x ' note\nIbmp=LoadImage(\"in.bmp\")\nx=Ibmp.Width+12\nFor x=1 "
                           "to 2"));
        // The palette changes after the text is coloured, as a desktop theme switch does.
        editor.setPalette(EditorPalette(base, text));
        QSet<QRgb> colours;
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
                if (!range.format.hasProperty(QTextFormat::ForegroundBrush)) continue;
                const QColor colour = range.format.foreground().color();
                QVERIFY2(Contrast(colour, base) >= 4.5,
                         qPrintable(QStringLiteral("%1 on %2: %3")
                                        .arg(colour.name(), base.name())
                                        .arg(Contrast(colour, base))));
                colours.insert(colour.rgb());
            }
        }
        // Types, statements, functions, members, strings, numbers and comments
        // keep colours of their own.
        QCOMPARE(colours.size(), 7);
    }
};

QTEST_MAIN(EditorEditingTest)
#include "editor_editing_test.moc"
