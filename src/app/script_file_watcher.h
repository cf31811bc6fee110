// Watches the open script's file for changes made by other programs (another
// editor, a version-control checkout). The watcher remembers what the file
// last held as far as the window knows (loaded, saved, or seen and answered);
// a notice from the system counts only when the file now differs from that,
// so our own saves and a rewrite with the same bytes say nothing.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>

namespace tarvil {

class ScriptFileWatcher : public QObject {
    Q_OBJECT
public:
    explicit ScriptFileWatcher(QObject* parent = nullptr);

    // Watches the file named by `nativePath` (its bytes), which now holds
    // `contents`. Names that are not UTF-8 cannot be watched.
    void watch(const std::string& nativePath, const QByteArray& contents);
    void stop();
    bool watching() const { return !m_path.empty(); }

    // The file holds `contents` now: the window wrote or read them.
    void setKnownContents(const QByteArray& contents);

    // How long the file must stay quiet before it is looked at: a checkout
    // removes and writes files in quick succession.
    void setSettleDelay(int milliseconds) { m_settle.setInterval(milliseconds); }

signals:
    // The file holds other bytes than the window last knew of.
    void changedOnDisk();
    // The file is gone (deleted, or renamed away).
    void removedFromDisk();

private:
    struct DiskState {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        QByteArray hash;  // of the contents
        bool sameFileAs(const DiskState& other) const;
    };
    DiskState statFile() const;
    void check();
    void rewatch();

    QFileSystemWatcher m_system;
    QTimer m_settle;
    std::string m_path;
    QString m_watchedPath;
    QString m_folder;
    DiskState m_known;
};

}  // namespace tarvil
