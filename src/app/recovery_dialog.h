// The offer, at an interactive start, of the changes that instances which
// ended without a clean save or close had kept: their scripts' names, when
// the changes were last written, and Restore, Discard or Later.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "app/recovery_store.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tarvil {

class MainWindow;

class RecoveryDialog : public QDialog {
    Q_OBJECT
public:
    // Offers `entries`, which `store` holds; Discard removes them from it.
    RecoveryDialog(RecoveryStore& store, std::vector<RecoveryEntry> entries,
                   QWidget* parent = nullptr);

    // The entry to restore, once the dialog was closed with Restore.
    const std::optional<RecoveryEntry>& chosen() const { return m_chosen; }
    // The entries still offered.
    const std::vector<RecoveryEntry>& entries() const { return m_entries; }

private:
    void fillList();
    void showNote();
    void restoreSelected();
    void discardSelected();
    int selectedRow() const;

    RecoveryStore& m_store;
    std::vector<RecoveryEntry> m_entries;
    std::optional<RecoveryEntry> m_chosen;
    QTreeWidget* m_list = nullptr;
    QLabel* m_note = nullptr;
    QLabel* m_oneAtATime = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_discard = nullptr;
};

// What the dialog says of an entry's script file beside it: that it is gone,
// or that it was saved after the changes were written.
QString RecoveryNote(const RecoveryEntry& entry);

// Offers what `store` finds to recover, and opens the chosen entry in
// `window`; the rest stay for a later start. True when one was restored.
bool OfferRecovery(MainWindow& window, RecoveryStore& store);

}  // namespace tarvil
