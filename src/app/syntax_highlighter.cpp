#include "app/syntax_highlighter.h"

#include <QSet>

namespace tarvil {

namespace {

const QSet<QString>& Types() {
    static const QSet<QString> words{"STRING", "FLOAT", "DEVCON", "RGB", "HBS"};
    return words;
}
const QSet<QString>& Statements() {
    static const QSet<QString> words{"DEBUG",  "SAVEIMAGE", "SETPIXELVAL", "SETPIXEL", "PREVIEW",
                                     "DSPMES", "DSPWHILE",  "FOR",         "NEXT",     "SETPALETTE",
                                     "IF",     "ELSE",      "ENDIF",       "RETURN",   "EXIT",
                                     "TO",     "STEP"};
    return words;
}
const QSet<QString>& Functions() {
    static const QSet<QString> words{
        "LOADIMAGE", "CREATEIMAGE", "GETPIXELVAL", "GETPIXEL", "GETPALETTE", "SIN", "ASIN",
        "HSIN",      "COS",         "ACOS",        "HCOS",     "SQR",        "TAN", "ATAN",
        "HTAN",      "ABS",         "EXP",         "LOG",      "BLOG",       "POW", "RAND",
        "MIN",       "MAX",         "INT",         "FILEFIND", "GETFILENAME"};
    return words;
}
const QSet<QString>& Members() {
    static const QSet<QString> words{"HDC", "HEIGHT", "WIDTH", "BITCOUNT", "RES", "CLRIMP", "LUM",
                                     "RED", "GREEN",  "BLUE",  "HUE",      "BRI", "SAT"};
    return words;
}

QTextCharFormat Format(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold) format.setFontWeight(QFont::Bold);
    format.setFontItalic(italic);
    return format;
}

}  // namespace

SyntaxHighlighter::SyntaxHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document),
      m_type(Format(QColor(0x00, 0x66, 0x99), true)),
      m_statement(Format(QColor(0x00, 0x00, 0xA0), true)),
      m_function(Format(QColor(0x80, 0x00, 0x80))),
      m_member(Format(QColor(0x60, 0x40, 0x00))),
      m_string(Format(QColor(0xA0, 0x30, 0x00))),
      m_number(Format(QColor(0x00, 0x80, 0x00))),
      m_comment(Format(QColor(0x70, 0x70, 0x70), false, true)),
      m_word(QStringLiteral("[A-Za-z_]+")),
      m_numberPattern(QStringLiteral("[0-9.]+")) {}

SyntaxHighlighter::WordKind SyntaxHighlighter::Classify(const QString& word) {
    const QString upper = word.toUpper();
    if (Types().contains(upper)) return WordKind::Type;
    if (Statements().contains(upper)) return WordKind::Statement;
    if (Functions().contains(upper)) return WordKind::Function;
    if (Members().contains(upper)) return WordKind::Member;
    return WordKind::Other;
}

void SyntaxHighlighter::highlightBlock(const QString& text) {
    // The first apostrophe ends the statement wherever it stands, even inside quotes.
    const qsizetype comment = text.indexOf(u'\'');
    const qsizetype codeEnd = comment < 0 ? text.size() : comment;
    if (comment >= 0)
        setFormat(static_cast<int>(comment), static_cast<int>(text.size() - comment), m_comment);

    qsizetype i = 0;
    while (i < codeEnd) {
        const QChar c = text[i];
        if (c == u'"') {
            qsizetype close = text.indexOf(u'"', i + 1);
            if (close < 0 || close >= codeEnd) close = codeEnd - 1;
            setFormat(static_cast<int>(i), static_cast<int>(close - i + 1), m_string);
            i = close + 1;
        } else if (c.isLetter() || c == u'_') {
            const auto match = m_word.match(text, i, QRegularExpression::NormalMatch,
                                            QRegularExpression::AnchorAtOffsetMatchOption);
            const qsizetype length = std::min(match.capturedLength(), codeEnd - i);
            const bool afterDot = i > 0 && text[i - 1] == u'.';
            const WordKind kind = Classify(text.mid(i, length));
            if (afterDot && kind == WordKind::Member) {
                setFormat(static_cast<int>(i), static_cast<int>(length), m_member);
            } else if (!afterDot) {
                if (kind == WordKind::Type)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_type);
                if (kind == WordKind::Statement)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_statement);
                if (kind == WordKind::Function)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_function);
            }
            i += std::max<qsizetype>(1, length);
        } else if (c.isDigit() || (c == u'.' && i + 1 < codeEnd && text[i + 1].isDigit())) {
            const auto match = m_numberPattern.match(text, i, QRegularExpression::NormalMatch,
                                                     QRegularExpression::AnchorAtOffsetMatchOption);
            const qsizetype length = std::min(match.capturedLength(), codeEnd - i);
            setFormat(static_cast<int>(i), static_cast<int>(length), m_number);
            i += std::max<qsizetype>(1, length);
        } else {
            ++i;
        }
    }
}

}  // namespace tarvil
