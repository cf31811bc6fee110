// Unsaved changes kept on disk, so that a crash, a kill or a lost session
// costs at most a few seconds of typing. Each running instance has one
// recovery file in the user's data folder (recovery/ID.recovery), private to
// the user and replaced atomically, and holds a lock (recovery/ID.lock) while
// it runs. A file whose lock nobody holds belongs to an instance that ended
// without a clean save or close, and the next interactive start offers it.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/script_document.h"

class QLockFile;

namespace tarvil {

struct RecoveryEntry {
    std::string path;                      // the script's file name bytes; empty when untitled
    ScriptFileForm form = kNewScriptForm;  // the form Save writes it in
    QString text;                          // the editor text
    QDateTime written;                     // when it was written (UTC)
    QString file;                          // the recovery file it was read from
};

QByteArray SerializeRecoveryEntry(const RecoveryEntry& entry);
std::optional<RecoveryEntry> ParseRecoveryEntry(const QByteArray& bytes);

// The name a recovered script is shown by: its file name, or "Untitled".
QString RecoveryEntryName(const RecoveryEntry& entry);

class RecoveryStore {
public:
    // Keeps the recovery files in `folder`, which is made (readable by the
    // user alone) when the first file is written.
    explicit RecoveryStore(QString folder);
    // Releases the locks; this instance's file stays, as after a crash.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // recovery/ under the application's data folder.
    static QString defaultFolder();

    const QString& folder() const { return m_folder; }
    // This instance's recovery file.
    QString ownFile() const;

    // Writes this instance's recovery file, stamped with the time; false
    // when it cannot be written.
    bool write(RecoveryEntry entry);
    // Removes this instance's recovery file: nothing is left to recover.
    void remove();

    // The recovery files of instances that have ended, newest first. Each is
    // held (its lock taken) until it is adopted, discarded or released, so no
    // other instance offers it meanwhile. A file whose script already holds
    // its text has nothing to recover and is removed.
    std::vector<RecoveryEntry> claimOrphans();
    // Makes a claimed file this instance's own: its changes are open here now.
    bool adopt(const RecoveryEntry& entry);
    // Removes a claimed file for good.
    void discard(const RecoveryEntry& entry);
    // Lets go of every claimed file, for a later start to offer again.
    void releaseAll();

private:
    bool prepareFolder();
    bool lockOwn();
    void release(const QString& file);

    QString m_folder;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
    std::map<QString, std::unique_ptr<QLockFile>> m_claimed;  // by recovery file
};

}  // namespace tarvil
