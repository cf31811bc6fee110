// The list of keyboard shortcuts, made from the window's actions each time it
// is shown, so that it always says what the keys do now.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QMainWindow;
class QTreeWidget;

namespace tarvil {

struct ShortcutEntry {
    QString group;    // the menu, "Window" or "Other"
    QString command;  // the item's text without its mnemonic and key column
    QString keys;     // every key sequence, as the desktop writes them
};

// Every action of `window` that has keys: the menus' in menu order, then the
// window's own, then any other.
QList<ShortcutEntry> CollectShortcuts(const QMainWindow& window);

// "Save &As...\tCtrl+Shift+S" → "Save As".
QString CommandName(const QString& itemText);

class ShortcutsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutsDialog(QWidget* parent = nullptr);
    void fill(const QList<ShortcutEntry>& entries);

private:
    QTreeWidget* m_list;
};

}  // namespace tarvil
