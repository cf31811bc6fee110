#include "app/find_replace_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QToolButton>

#include "app/script_editor.h"

namespace tarvil {

FindReplaceBar::FindReplaceBar(ScriptEditor* editor, QWidget* parent)
    : QWidget(parent),
      m_editor(editor),
      m_findText(new QLineEdit(this)),
      m_replaceText(new QLineEdit(this)),
      m_matchCase(new QCheckBox(tr("Match &case"), this)),
      m_wholeWords(new QCheckBox(tr("&Whole words"), this)),
      m_message(new QLabel(this)),
      m_closeFromEditor(new QAction(editor)) {
    setObjectName(QStringLiteral("findBar"));
    m_findText->setObjectName(QStringLiteral("findText"));
    m_findText->setPlaceholderText(tr("Find"));
    m_findText->setClearButtonEnabled(true);
    m_replaceText->setObjectName(QStringLiteral("replaceText"));
    m_replaceText->setPlaceholderText(tr("Replace with"));
    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_wholeWords->setObjectName(QStringLiteral("wholeWords"));
    m_message->setObjectName(QStringLiteral("findMessage"));

    auto button = [this](const QString& text, const char* name, const QString& tip) {
        auto* pushButton = new QPushButton(text, this);
        pushButton->setObjectName(QLatin1String(name));
        pushButton->setToolTip(tip);
        pushButton->setAutoDefault(false);
        return pushButton;
    };
    QPushButton* previous =
        button(tr("&Previous"), "findPrevious", tr("Find the previous match (Shift+F3)"));
    QPushButton* next = button(tr("&Next"), "findNext", tr("Find the next match (F3)"));
    QPushButton* replace =
        button(tr("&Replace"), "replaceOne", tr("Replace this match and find the next"));
    QPushButton* all = button(tr("Replace A&ll"), "replaceAll", tr("Replace every match"));
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("closeFind"));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setAutoRaise(true);
    closeButton->setToolTip(tr("Close (Escape)"));

    // The fields say what they are for themselves, so that the bar fits a
    // narrow window; the message gives way when room is short.
    m_findText->setAccessibleName(tr("Find"));
    m_replaceText->setAccessibleName(tr("Replace with"));
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setVerticalSpacing(4);
    layout->addWidget(m_findText, 0, 0);
    layout->addWidget(previous, 0, 1);
    layout->addWidget(next, 0, 2);
    layout->addWidget(m_matchCase, 0, 3);
    layout->addWidget(m_wholeWords, 0, 4);
    layout->addWidget(m_message, 0, 5);
    layout->addWidget(closeButton, 0, 6, Qt::AlignRight);
    layout->addWidget(m_replaceText, 1, 0);
    layout->addWidget(replace, 1, 1);
    layout->addWidget(all, 1, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(5, 2);
    m_replaceRow = {m_replaceText, replace, all};
    const int fieldWidth = fontMetrics().horizontalAdvance(QLatin1Char('x')) * 14;
    m_findText->setMinimumWidth(fieldWidth);
    m_replaceText->setMinimumWidth(fieldWidth);

    connect(previous, &QPushButton::clicked, this, &FindReplaceBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindReplaceBar::findNext);
    connect(replace, &QPushButton::clicked, this, &FindReplaceBar::replaceOne);
    connect(all, &QPushButton::clicked, this, &FindReplaceBar::replaceAll);
    connect(closeButton, &QToolButton::clicked, this, &FindReplaceBar::close);
    // Typing finds as it goes.
    connect(m_findText, &QLineEdit::textEdited, this, [this] { find(false, true); });
    m_findText->installEventFilter(this);
    m_replaceText->installEventFilter(this);

    // Escape closes the bar from its own fields and from the editor; the
    // editor's Escape is taken only while the bar is open.
    auto* escape = new QAction(tr("Close the Find Bar"), this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, &FindReplaceBar::close);
    addAction(escape);
    m_closeFromEditor->setText(escape->text());
    m_closeFromEditor->setShortcut(QKeySequence(Qt::Key_Escape));
    m_closeFromEditor->setShortcutContext(Qt::WidgetShortcut);
    m_closeFromEditor->setEnabled(false);
    connect(m_closeFromEditor, &QAction::triggered, this, &FindReplaceBar::close);
    editor->addAction(m_closeFromEditor);
}

SearchOptions FindReplaceBar::options() const {
    return {m_matchCase->isChecked(), m_wholeWords->isChecked()};
}

void FindReplaceBar::openFind() {
    open(false);
}

void FindReplaceBar::openReplace() {
    open(true);
}

void FindReplaceBar::open(bool withReplacement) {
    for (QWidget* widget : m_replaceRow) widget->setVisible(withReplacement);
    show();
    const QString selected = m_editor->textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_findText->setText(selected);
    m_message->clear();
    m_findText->setFocus(Qt::ShortcutFocusReason);
    m_findText->selectAll();
}

void FindReplaceBar::close() {
    hide();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void FindReplaceBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_closeFromEditor->setEnabled(true);
}

void FindReplaceBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_closeFromEditor->setEnabled(false);
}

bool FindReplaceBar::findNext() {
    if (m_findText->text().isEmpty()) {
        openFind();
        return false;
    }
    return find(false, false);
}

bool FindReplaceBar::findPrevious() {
    if (m_findText->text().isEmpty()) {
        openFind();
        return false;
    }
    return find(true, false);
}

bool FindReplaceBar::find(bool backward, bool whileTyping) {
    const QString needle = m_findText->text();
    QTextCursor cursor = m_editor->textCursor();
    if (needle.isEmpty()) {
        cursor.setPosition(cursor.selectionStart());
        m_editor->setTextCursor(cursor);
        showMessage(QString());
        return false;
    }
    const QString text = m_editor->text();
    const qsizetype from =
        backward || whileTyping ? cursor.selectionStart() : cursor.selectionEnd();
    qsizetype at = FindText(text, needle, from, options(), backward);
    QString note;
    if (at < 0) {
        at = FindText(text, needle, backward ? text.size() : 0, options(), backward);
        if (at >= 0)
            note = backward ? tr("Search wrapped around to the bottom.")
                            : tr("Search wrapped around to the top.");
    }
    if (at < 0) {
        if (whileTyping) {
            cursor.setPosition(cursor.selectionStart());
            m_editor->setTextCursor(cursor);
        }
        showMessage(tr("\"%1\" not found.").arg(needle));
        return false;
    }
    cursor.setPosition(static_cast<int>(at));
    cursor.setPosition(static_cast<int>(at + needle.size()), QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    showMessage(note);
    return true;
}

void FindReplaceBar::replaceOne() {
    const QString needle = m_findText->text();
    const QTextCursor cursor = m_editor->textCursor();
    if (!needle.isEmpty() && cursor.hasSelection()) {
        // Only a selection that is itself a match is replaced.
        const qsizetype at = FindText(m_editor->text(), needle, cursor.selectionStart(), options());
        if (at == cursor.selectionStart() && at + needle.size() == cursor.selectionEnd()) {
            const int start = static_cast<int>(at);
            const int length = static_cast<int>(needle.size());
            if (!m_editor->replaceRanges({{start, length}}, m_replaceText->text())) return;
        }
    }
    findNext();
}

void FindReplaceBar::replaceAll() {
    const QString needle = m_findText->text();
    if (needle.isEmpty()) return;
    const QList<qsizetype> starts = FindAllText(m_editor->text(), needle, options());
    if (starts.isEmpty()) {
        showMessage(tr("\"%1\" not found.").arg(needle));
        return;
    }
    QList<std::pair<int, int>> ranges;
    for (const qsizetype start : starts)
        ranges.append({static_cast<int>(start), static_cast<int>(needle.size())});
    if (!m_editor->replaceRanges(ranges, m_replaceText->text())) return;
    showMessage(starts.size() == 1 ? tr("Replaced 1 occurrence.")
                                   : tr("Replaced %1 occurrences.").arg(starts.size()));
}

void FindReplaceBar::showMessage(const QString& message) {
    m_message->setText(message);
    if (!message.isEmpty()) emit messageShown(message);
}

bool FindReplaceBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_replaceText) {
                replaceOne();
            } else if (key->modifiers() & Qt::ShiftModifier) {
                findPrevious();
            } else {
                findNext();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tarvil
