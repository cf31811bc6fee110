#include "app/script_editor.h"

#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/syntax_highlighter.h"
#include "runtime_ui/fixed_font.h"

namespace tarvil {

namespace {

class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(ScriptEditor* editor) : QWidget(editor), m_editor(editor) {
        setObjectName(QStringLiteral("lineNumbers"));
    }
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

// The sizes zoom keeps the editor's font between, in points (or pixels, for a
// font sized in pixels).
constexpr qreal kSmallestFontSize = 4;
constexpr qreal kLargestFontSize = 72;
// One notch of a mouse wheel.
constexpr int kWheelStep = 120;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

qsizetype LeadingBlanks(QStringView text, qsizetype upTo) {
    qsizetype count = 0;
    while (count < upTo && IsBlank(text[count])) ++count;
    return count;
}

QColor Mixed(const QColor& from, const QColor& to, double share) {
    auto mix = [share](float a, float b) { return static_cast<float>(a + (b - a) * share); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()));
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

ScriptEditor::ScriptEditor(QWidget* parent)
    : QPlainTextEdit(parent), m_normalFont(FixedPitchFont()) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setFont(m_normalFont);
    keepSelectionColoursWhenInactive();

    m_lineNumbers = new LineNumberArea(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this](int) { updateLineNumberAreaWidth(); });
    connect(this, &QPlainTextEdit::updateRequest, this, &ScriptEditor::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        updateExtraSelections();
        emit cursorMoved(cursorLine(), cursorColumn());
    });
    // Edits next to the caret can make or break a bracket pair.
    connect(document(), &QTextDocument::contentsChanged, this,
            &ScriptEditor::updateExtraSelections);
    updateTabStops();
    updateLineNumberAreaWidth();
    updateExtraSelections();
}

void ScriptEditor::keepSelectionColoursWhenInactive() {
    // The selection stays visible while another window has the focus, so an
    // error line stays marked behind the message box.
    QPalette colours = palette();
    bool changed = false;
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        const QColor active = colours.color(QPalette::Active, role);
        if (colours.color(QPalette::Inactive, role) == active) continue;
        colours.setColor(QPalette::Inactive, role, active);
        changed = true;
    }
    if (changed) setPalette(colours);
}

void ScriptEditor::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (m_lineNumbers == nullptr) return;  // still being built
    if (event->type() == QEvent::FontChange) {
        updateTabStops();
        updateLineNumberAreaWidth();
        m_lineNumbers->update();
    } else if (event->type() == QEvent::PaletteChange) {
        keepSelectionColoursWhenInactive();
        if (auto* highlighter = document()->findChild<SyntaxHighlighter*>())
            highlighter->setPalette(palette());
        updateExtraSelections();
    }
}

void ScriptEditor::setZoom(int steps) {
    const bool inPoints = m_normalFont.pointSizeF() > 0;
    const qreal normal = inPoints ? m_normalFont.pointSizeF() : m_normalFont.pixelSize();
    const int fewest = std::min(0, static_cast<int>(std::ceil(kSmallestFontSize - normal)));
    const int most = std::max(0, static_cast<int>(std::floor(kLargestFontSize - normal)));
    steps = std::clamp(steps, fewest, most);
    if (steps == m_zoom) return;
    m_zoom = steps;
    QFont zoomed = m_normalFont;
    if (inPoints) {
        zoomed.setPointSizeF(normal + steps);
    } else {
        zoomed.setPixelSize(static_cast<int>(normal) + steps);
    }
    setFont(zoomed);  // the tab stops and line numbers follow in changeEvent
    ensureCursorVisible();
    emit zoomChanged(m_zoom);
}

void ScriptEditor::setTabWidth(int columns) {
    m_tabWidth = std::clamp(columns, 1, kMaxTabWidth);
    updateTabStops();
}

void ScriptEditor::updateTabStops() {
    setTabStopDistance(m_tabWidth * QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' ')));
}

void ScriptEditor::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QPlainTextEdit::wheelEvent(event);
        return;
    }
    // Touch pads turn in small steps: they zoom once they add up to a notch.
    m_wheelAngle += event->angleDelta().y();
    const int steps = m_wheelAngle / kWheelStep;
    m_wheelAngle -= steps * kWheelStep;
    if (steps != 0) setZoom(m_zoom + steps);
    event->accept();
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
        // Selected from its end back to its start: the caret, and with it the
        // current-line mark, stays on the line itself, not the next one.
        cursor.setPosition(end);
        cursor.setPosition(start, QTextCursor::KeepAnchor);
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

void ScriptEditor::goToLine(int line) {
    line = std::clamp(line, 1, std::max(1, blockCount()));
    setTextCursor(QTextCursor(document()->findBlockByNumber(line - 1)));
    centerCursor();
}

bool ScriptEditor::replaceRanges(const QList<std::pair<int, int>>& ranges,
                                 const QString& replacement) {
    if (ranges.isEmpty()) return true;
    const QString whole = text();  // one character per position, breaks included
    qsizetype length = StoredLength(whole);
    const qsizetype added = StoredLength(replacement);
    for (const auto& [start, count] : ranges)
        length += added - StoredLength(QStringView(whole).mid(start, count));
    if (length > kEditorCharacterLimit) {
        emit limitReached();
        return false;
    }
    QTextCursor edit(document());
    edit.beginEditBlock();
    // Back to front, so that the ranges still ahead keep their positions.
    for (auto range = ranges.crbegin(); range != ranges.crend(); ++range) {
        edit.setPosition(range->first);
        edit.setPosition(range->first + range->second, QTextCursor::KeepAnchor);
        edit.insertText(replacement);
    }
    edit.endEditBlock();
    return true;
}

void ScriptEditor::toggleComment() {
    const QTextCursor selection = textCursor();
    const QTextBlock first = document()->findBlock(selection.selectionStart());
    QTextBlock last = document()->findBlock(selection.selectionEnd());
    // A selection that ends at the start of a line does not take that line in.
    if (last != first && selection.selectionEnd() == last.position()) last = last.previous();

    QList<QTextBlock> lines;  // blank lines are left as they are
    qsizetype indent = -1;
    bool allComments = true;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const QString line = block.text();
        const qsizetype lead = LeadingBlanks(line, line.size());
        if (lead < line.size()) {
            lines << block;
            indent = indent < 0 ? lead : std::min(indent, lead);
            allComments = allComments && line[lead] == u'\'';
        }
        if (block == last) break;
    }
    if (lines.isEmpty()) return;
    static const QString kCommentMark = QStringLiteral("' ");
    if (!allComments &&
        storedLength() + kCommentMark.size() * lines.size() > kEditorCharacterLimit) {
        emit limitReached();
        return;
    }

    QTextCursor edit(document());
    edit.beginEditBlock();
    for (const QTextBlock& block : lines) {
        const QString line = block.text();
        if (allComments) {
            // The apostrophe goes, and the blank a comment mark puts after it.
            const qsizetype lead = LeadingBlanks(line, line.size());
            const qsizetype mark = lead + 1 < line.size() && line[lead + 1] == u' ' ? 2 : 1;
            edit.setPosition(block.position() + static_cast<int>(lead));
            edit.setPosition(block.position() + static_cast<int>(lead + mark),
                             QTextCursor::KeepAnchor);
            edit.removeSelectedText();
        } else {
            edit.setPosition(block.position() + static_cast<int>(indent));
            edit.insertText(kCommentMark);
        }
    }
    edit.endEditBlock();
    if (selection.hasSelection()) {
        QTextCursor whole(document());
        whole.setPosition(first.position());
        whole.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        setTextCursor(whole);
    }
}

QString ScriptEditor::wordAtCursor() const {
    const QTextCursor cursor = textCursor();
    const QString line = cursor.block().text();
    const int at = cursor.positionInBlock();
    auto inName = [](QChar c) { return c.isLetter() || c == u'_'; };
    int start = at;
    while (start > 0 && inName(line[start - 1])) --start;
    int end = at;
    while (end < line.size() && inName(line[end])) ++end;
    return line.mid(start, end - start);
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

void ScriptEditor::insertIndentedBreak() {
    QTextCursor cursor = textCursor();
    const QTextBlock block = document()->findBlock(cursor.selectionStart());
    const QString line = block.text();
    const qsizetype column = cursor.selectionStart() - block.position();
    const QString typed = u'\n' + line.left(LeadingBlanks(line, column));
    if (fitting(typed).size() < typed.size()) {
        emit limitReached();
        return;
    }
    cursor.insertText(typed);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void ScriptEditor::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Shift+Enter too makes a new line (not a line separator inside the line).
    if (enter && !isReadOnly() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        insertIndentedBreak();
        event->accept();
        return;
    }
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
    const int width = lineNumberAreaWidth();
    setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    m_lineNumbers->setGeometry(QRect(area.left(), area.top(), width, area.height()));
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
    updateLineNumberAreaWidth();
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

void ScriptEditor::updateExtraSelections() {
    QList<QTextEdit::ExtraSelection> selections;
    QTextEdit::ExtraSelection line;
    QColor colour = palette().color(QPalette::Highlight);
    colour.setAlpha(28);
    line.format.setBackground(colour);
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    selections << line;

    // The bracket just before the caret, else the one just after it, and its partner.
    const QColor base = palette().color(QPalette::Base);
    const QColor paired = Mixed(base, palette().color(QPalette::Highlight), 0.4);
    const QColor alone = Mixed(base, QColor(0xE0, 0x30, 0x30), 0.45);
    auto mark = [&](int position, const QColor& background) {
        QTextEdit::ExtraSelection bracket;
        bracket.format.setBackground(background);
        bracket.cursor = QTextCursor(document());
        bracket.cursor.setPosition(position);
        bracket.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        selections << bracket;
    };
    const QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    const int at = caret.positionInBlock();
    for (const int index : {at - 1, at}) {
        const std::optional<qsizetype> partner = MatchingBracket(block.text(), index);
        if (!partner) continue;
        if (*partner < 0) {
            mark(block.position() + index, alone);
        } else {
            mark(block.position() + index, paired);
            mark(block.position() + static_cast<int>(*partner), paired);
        }
        break;
    }
    setExtraSelections(selections);
    m_lineNumbers->update();
}

}  // namespace tarvil
