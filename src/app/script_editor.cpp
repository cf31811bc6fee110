#include "app/script_editor.h"

#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QUrl>

#include "runtime_ui/fixed_font.h"

namespace tarvil {

namespace {

class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(ScriptEditor* editor) : QWidget(editor), m_editor(editor) {}
    QSize sizeHint() const override { return {m_editor->lineNumberAreaWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { m_editor->paintLineNumbers(event); }

private:
    ScriptEditor* m_editor;
};

QStringList LocalFiles(const QMimeData* source) {
    QStringList paths;
    if (source == nullptr || !source->hasUrls()) return paths;
    for (const QUrl& url : source->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

}  // namespace

std::pair<int, int> LineSelectionRange(const QTextDocument& document, unsigned line) {
    if (line == 0 || line > static_cast<unsigned>(document.blockCount())) return {-1, -1};
    const QTextBlock block = document.findBlockByNumber(static_cast<int>(line) - 1);
    const int start = block.position();
    const QTextBlock next = block.next();
    // The break between two blocks is one character here; selecting it is
    // selecting the first character of the line break.
    const int end = next.isValid() ? next.position() : document.characterCount() - 1;
    return {start, end};
}

qsizetype StoredLength(QStringView text) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || c == QChar::ParagraphSeparator) {
            length += 2;  // CR LF
        } else if (c < 0x80) {
            length += 1;
        } else if (c < 0x800) {
            length += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            length += 4;
            ++i;
        } else {
            length += 3;
        }
    }
    return length;
}

ScriptEditor::ScriptEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setFont(FixedPitchFont());
    // The selection stays visible while another window has the focus, so an
    // error line stays marked behind the message box.
    QPalette colours = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);

    m_lineNumbers = new LineNumberArea(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this](int) { updateLineNumberAreaWidth(); });
    connect(this, &QPlainTextEdit::updateRequest, this, &ScriptEditor::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        highlightCurrentLine();
        emit cursorMoved(cursorLine(), cursorColumn());
    });
    updateLineNumberAreaWidth();
    highlightCurrentLine();
}

QString ScriptEditor::text() const {
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    raw.replace(QChar::LineSeparator, u'\n');
    return raw;
}

void ScriptEditor::loadText(const QString& text) {
    setPlainText(text);
    document()->setModified(false);
}

void ScriptEditor::replaceText(const QString& text) {
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

qsizetype ScriptEditor::storedLength() const {
    return StoredLength(text());
}

void ScriptEditor::selectLine(unsigned line) {
    const auto [start, end] = LineSelectionRange(*document(), line);
    QTextCursor cursor = textCursor();
    if (start < 0) {
        cursor.clearSelection();
    } else {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

int ScriptEditor::cursorLine() const {
    return textCursor().blockNumber() + 1;
}
int ScriptEditor::cursorColumn() const {
    return textCursor().positionInBlock() + 1;
}

QString ScriptEditor::fitting(const QString& text) const {
    // No character takes more than three bytes per UTF-16 unit, nor a break
    // more than its CR LF: far from the limit the exact count is not needed.
    const qsizetype added = StoredLength(text);
    if (3 * static_cast<qsizetype>(document()->characterCount()) + added <= kEditorCharacterLimit)
        return text;
    const QTextCursor cursor = textCursor();
    const qsizetype freed = StoredLength(cursor.selectedText());  // breaks appear as U+2029
    qsizetype room = kEditorCharacterLimit - (storedLength() - freed);
    qsizetype take = 0;
    while (take < text.size()) {
        const qsizetype step = text[take].isHighSurrogate() && take + 1 < text.size() &&
                                       text[take + 1].isLowSurrogate()
                                   ? 2
                                   : 1;
        const qsizetype cost = StoredLength(QStringView(text).mid(take, step));
        if (cost > room) break;
        room -= cost;
        take += step;
    }
    return text.left(take);
}

void ScriptEditor::keyPressEvent(QKeyEvent* event) {
    QString typed = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = QStringLiteral("\n");
    const bool inserts = !typed.isEmpty() &&
                         (typed[0].isPrint() || typed == u"\n" || typed == u"\t") &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (inserts && fitting(typed).size() < typed.size()) {
        emit limitReached();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ScriptEditor::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (!commit.isEmpty()) {
        const QString fits = fitting(commit);
        if (fits.size() < commit.size()) {
            emit limitReached();
            QInputMethodEvent cut(event->preeditString(), event->attributes());
            cut.setCommitString(fits, event->replacementStart(), event->replacementLength());
            QPlainTextEdit::inputMethodEvent(&cut);
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
}

bool ScriptEditor::canInsertFromMimeData(const QMimeData* source) const {
    if (!LocalFiles(source).isEmpty()) return true;
    return QPlainTextEdit::canInsertFromMimeData(source);
}

void ScriptEditor::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) return;
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    const QString fits = fitting(text);
    if (fits.size() < text.size()) emit limitReached();
    if (!fits.isEmpty()) textCursor().insertText(fits);
    ensureCursorVisible();
}

void ScriptEditor::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void ScriptEditor::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void ScriptEditor::dropEvent(QDropEvent* event) {
    // Files dropped on the editor are opened, not pasted as their names.
    const QStringList files = LocalFiles(event->mimeData());
    if (!files.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(files);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

int ScriptEditor::lineNumberAreaWidth() const {
    int digits = 1;
    for (int max = std::max(1, blockCount()); max >= 10; max /= 10) ++digits;
    digits = std::max(digits, 3);
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void ScriptEditor::updateLineNumberAreaWidth() {
    setViewportMargins(lineNumberAreaWidth(), 0, 0, 0);
}

void ScriptEditor::updateLineNumberArea(const QRect& rect, int dy) {
    if (dy != 0) {
        m_lineNumbers->scroll(0, dy);
    } else {
        m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    }
    if (rect.contains(viewport()->rect())) updateLineNumberAreaWidth();
}

void ScriptEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    m_lineNumbers->setGeometry(
        QRect(area.left(), area.top(), lineNumberAreaWidth(), area.height()));
}

void ScriptEditor::paintLineNumbers(QPaintEvent* event) {
    QPainter painter(m_lineNumbers);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    QTextBlock block = firstVisibleBlock();
    int number = block.blockNumber();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    const int current = textCursor().blockNumber();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && bottom >= event->rect().top()) {
            painter.setPen(number == current ? palette().color(QPalette::WindowText)
                                             : palette().color(QPalette::PlaceholderText));
            painter.drawText(0, top, m_lineNumbers->width() - 4, fontMetrics().height(),
                             Qt::AlignRight, QString::number(number + 1));
        }
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
        ++number;
    }
}

void ScriptEditor::highlightCurrentLine() {
    QTextEdit::ExtraSelection line;
    QColor colour = palette().color(QPalette::Highlight);
    colour.setAlpha(28);
    line.format.setBackground(colour);
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    setExtraSelections({line});
    m_lineNumbers->update();
}

}  // namespace tarvil
