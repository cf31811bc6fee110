// Colours for scripts: keywords, members, strings, numbers and comments.
#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace tarvil {

class SyntaxHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SyntaxHighlighter(QTextDocument* document);

    // What a word is, for colouring: keywords match whole words in any letter case.
    enum class WordKind { Other, Type, Statement, Function, Member };
    static WordKind Classify(const QString& word);

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
