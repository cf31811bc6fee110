// The script editor: plain text without wrapping, a line-number margin, the
// current line and matching brackets highlighted, the editor's size limit,
// zoom, tabs of whole columns, indentation kept on Enter and commenting lines.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <utility>

class QTextDocument;

namespace tarvil {

// Tabs span this many columns unless the user chooses otherwise (1 to 8).
inline constexpr int kDefaultTabWidth = 4;
inline constexpr int kMaxTabWidth = 8;

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
    // Puts the caret at the start of line `line` (counted from 1, kept within
    // the text) and scrolls it into the middle of the view.
    void goToLine(int line);

    // Replaces each range [start, start + length) with `replacement`, as one
    // undoable edit. Refused (limitReached) when the result would not fit.
    bool replaceRanges(const QList<std::pair<int, int>>& ranges, const QString& replacement);

    // Comments out the selected lines (the caret's line without a selection)
    // with an apostrophe at their common indentation, or, when every one of
    // them is a comment already, takes the apostrophes away. One undoable edit.
    void toggleComment();

    // The name or keyword the caret stands in or right after; empty when none.
    QString wordAtCursor() const;

    // Font size steps (points) above or below the normal size.
    int zoom() const { return m_zoom; }
    void setZoom(int steps);
    int tabWidth() const { return m_tabWidth; }
    void setTabWidth(int columns);

    // 1-based line and column of the cursor.
    int cursorLine() const;
    int cursorColumn() const;

    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent* event);

signals:
    void filesDropped(const QStringList& paths);
    void cursorMoved(int line, int column);
    void limitReached();
    void zoomChanged(int steps);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What of `text` still fits in place of the current selection.
    QString fitting(const QString& text) const;
    void updateLineNumberAreaWidth();
    void updateLineNumberArea(const QRect& rect, int dy);
    void updateExtraSelections();
    void keepSelectionColoursWhenInactive();
    void updateTabStops();
    // Enter: a line break and the current line's leading blanks and tabs.
    void insertIndentedBreak();

    QWidget* m_lineNumbers = nullptr;
    QFont m_normalFont;
    int m_zoom = 0;
    int m_tabWidth = kDefaultTabWidth;
    int m_wheelAngle = 0;  // wheel turns not yet a whole zoom step
};

}  // namespace tarvil
