#include "app/shortcuts_dialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvil {

namespace {

// "actionNextPane" → "Next Pane", for an action that has no text.
QString NameFromObjectName(QString name) {
    if (name.startsWith(QLatin1String("action"))) name.remove(0, 6);
    QString words;
    for (const QChar c : name) {
        if (c.isUpper() && !words.isEmpty()) words += u' ';
        words += c;
    }
    return words;
}

QString KeysOf(const QAction& action) {
    QStringList keys;
    for (const QKeySequence& key : action.shortcuts())
        keys << key.toString(QKeySequence::NativeText);
    return keys.join(QStringLiteral(", "));
}

void CollectFromMenu(const QMenu& menu, const QString& group, QList<ShortcutEntry>& entries,
                     QSet<const QAction*>& seen) {
    for (QAction* action : menu.actions()) {
        if (action->menu() != nullptr) {
            CollectFromMenu(*action->menu(), group, entries, seen);
            continue;
        }
        if (seen.contains(action) || action->shortcuts().isEmpty()) continue;
        seen.insert(action);
        entries.append({group, CommandName(action->text()), KeysOf(*action)});
    }
}

}  // namespace

QString CommandName(const QString& itemText) {
    QString name = itemText.section(u'\t', 0, 0);
    QString plain;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'&' && i + 1 < name.size()) ++i;  // "&&" stands for "&"
        plain += name[i];
    }
    if (plain.endsWith(QLatin1String("..."))) plain.chop(3);
    return plain.trimmed();
}

QList<ShortcutEntry> CollectShortcuts(const QMainWindow& window) {
    QList<ShortcutEntry> entries;
    QSet<const QAction*> seen;
    for (QAction* menuAction : window.menuBar()->actions()) {
        if (menuAction->menu() != nullptr)
            CollectFromMenu(*menuAction->menu(), CommandName(menuAction->text()), entries, seen);
    }
    auto addOthers = [&](const QList<QAction*>& actions, const QString& group) {
        QSet<QString> listed;
        for (QAction* action : actions) {
            if (seen.contains(action) || action->shortcuts().isEmpty()) continue;
            seen.insert(action);
            const QString command = action->text().isEmpty()
                                        ? NameFromObjectName(action->objectName())
                                        : CommandName(action->text());
            const QString keys = KeysOf(*action);
            // One line for the same command on the same keys in several places.
            if (listed.contains(command + u'\t' + keys)) continue;
            listed.insert(command + u'\t' + keys);
            entries.append({group, command, keys});
        }
    };
    addOthers(window.actions(), QObject::tr("Window"));
    addOthers(window.findChildren<QAction*>(), QObject::tr("Other"));
    return entries;
}

ShortcutsDialog::ShortcutsDialog(QWidget* parent) : QDialog(parent), m_list(new QTreeWidget(this)) {
    setWindowTitle(tr("Keyboard Shortcuts"));
    m_list->setObjectName(QStringLiteral("shortcutList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({tr("Command"), tr("Keys")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    auto* note =
        new QLabel(tr("In the editor, Ctrl with the mouse wheel zooms too, and Enter keeps the "
                      "indentation of the line."),
                   this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(note);
    layout->addWidget(buttons);
    resize(460, 560);
}

void ShortcutsDialog::fill(const QList<ShortcutEntry>& entries) {
    m_list->clear();
    QTreeWidgetItem* group = nullptr;
    for (const ShortcutEntry& entry : entries) {
        if (group == nullptr || group->text(0) != entry.group) {
            group = new QTreeWidgetItem(m_list, {entry.group});
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);
            group->setFirstColumnSpanned(true);
            group->setExpanded(true);
        }
        new QTreeWidgetItem(group, {entry.command, entry.keys});
    }
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
}

}  // namespace tarvil
