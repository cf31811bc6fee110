// Writes the document's unsaved changes to its recovery file while typing
// goes on: a few seconds after the last change, and at the latest a few
// seconds after the first change not yet written. When the document is no
// longer modified (saved, reloaded, undone to its saved state), the file goes.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "app/recovery_store.h"

class QTextDocument;

namespace tarvil {

class DocumentAutosave : public QObject {
    Q_OBJECT
public:
    // The document as a recovery file keeps it.
    using Snapshot = std::function<RecoveryEntry()>;

    inline static constexpr int kQuietDelayMs = 3000;
    inline static constexpr int kLongestDelayMs = 5000;

    DocumentAutosave(RecoveryStore& store, QTextDocument* document, Snapshot snapshot,
                     QObject* parent = nullptr);

    void setDelays(int quietMs, int longestMs);
    // Writes the changes now when some are not written yet.
    void writeNow();
    // The changes are saved or given up: the recovery file goes.
    void discard();
    // Changes wait to be written.
    bool pending() const { return m_quiet.isActive(); }

private:
    void changed();
    void write();

    RecoveryStore& m_store;
    QTextDocument* m_document;
    Snapshot m_snapshot;
    QTimer m_quiet;    // restarted by every change
    QTimer m_longest;  // started by the first change not yet written
};

}  // namespace tarvil
