// The script editor: plain text without wrapping, a line-number margin, the
// current line highlighted, and the editor's size limit.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <utility>

class QTextDocument;

namespace tarvil {

// The bytes the editor holds at most, counted as a script file stores the
// text: UTF-8, each line break as CR LF.
inline constexpr int kEditorCharacterLimit = 0xFFFFF;

// The range [start, end) that selects line `line` (counted from 1): the line's
// text and the first character of its line break; the last line runs to the
// end of the text. {-1, -1} when there is no such line.
std::pair<int, int> LineSelectionRange(const QTextDocument& document, unsigned line);

// The length of `text` as a script file stores it: UTF-8 bytes, each line
// break (LF or U+2029) counted as CR LF.
qsizetype StoredLength(QStringView text);

class ScriptEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ScriptEditor(QWidget* parent = nullptr);

    // The whole text with "\n" line breaks, exactly as typed (no space
    // substituted for non-breaking spaces).
    QString text() const;
    // Replaces the text as loading a file does: the undo history and the
    // modified flag start afresh.
    void loadText(const QString& text);
    // Replaces the text as one edit (File New): it can be undone and marks the document modified.
    void replaceText(const QString& text);

    // The editor's length as a script file stores it.
    qsizetype storedLength() const;

    void selectLine(unsigned line);

    // 1-based line and column of the cursor.
    int cursorLine() const;
    int cursorColumn() const;

    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent* event);

signals:
    void filesDropped(const QStringList& paths);
    void cursorMoved(int line, int column);
    void limitReached();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What of `text` still fits in place of the current selection.
    QString fitting(const QString& text) const;
    void updateLineNumberAreaWidth();
    void updateLineNumberArea(const QRect& rect, int dy);
    void highlightCurrentLine();

    QWidget* m_lineNumbers = nullptr;
};

}  // namespace tarvil
