// Colours for scripts: keywords, members, strings, numbers and comments, taken
// from the editor's palette so that light and dark themes both stay readable.
#pragma once

#include <QColor>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <optional>

class QPalette;

namespace tarvil {

// The colours of the script's parts on a background.
struct SyntaxColours {
    QColor type;
    QColor statement;
    QColor function;
    QColor member;
    QColor string;
    QColor number;
    QColor comment;
};

// Colours of their own for each part, each with a contrast of at least 4.5:1
// (the usual rule for readable text) against the palette's Base colour.
SyntaxColours ColoursFor(const QPalette& palette);
// The contrast ratio of two colours: 1 for equal ones, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// Which characters of a script line are program code: not in a string
// literal, and before the apostrophe that starts the comment (that apostrophe
// ends the code even inside quotes).
QList<bool> CodeCharacters(QStringView line);

// For a round or square bracket of the code at `index`: the index of the
// bracket it pairs with on the same line, or -1 when it has none (a script
// statement never runs past its line). Nothing when `index` is no bracket of
// the code.
std::optional<qsizetype> MatchingBracket(QStringView line, qsizetype index);

class SyntaxHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // Colours come from the palette of the widget that shows the document.
    explicit SyntaxHighlighter(QTextDocument* document);

    // What a word is, for colouring: keywords match whole words in any letter case.
    enum class WordKind { Other, Type, Statement, Function, Member };
    static WordKind Classify(const QString& word);

    // Colours the text again for another palette.
    void setPalette(const QPalette& palette);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat m_type;
    QTextCharFormat m_statement;
    QTextCharFormat m_function;
    QTextCharFormat m_member;
    QTextCharFormat m_string;
    QTextCharFormat m_number;
    QTextCharFormat m_comment;
    QRegularExpression m_word;
    QRegularExpression m_numberPattern;
};

}  // namespace tarvil
