#include "app/script_file_watcher.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QFileInfo>

#include "app/script_document.h"
#include "engine/text_encoding.h"

namespace tarvil {

namespace {

QByteArray ContentsHash(const QByteArray& contents) {
    return QCryptographicHash::hash(contents, QCryptographicHash::Sha256);
}

qint64 Nanoseconds(const timespec& time) {
    return static_cast<qint64>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

bool ScriptFileWatcher::DiskState::sameFileAs(const DiskState& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modifiedNs == other.modifiedNs && changedNs == other.changedNs;
}

ScriptFileWatcher::ScriptFileWatcher(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(250);
    // Every notice restarts the wait; the file is looked at once things are quiet.
    connect(&m_system, &QFileSystemWatcher::fileChanged, this, [this] { m_settle.start(); });
    connect(&m_system, &QFileSystemWatcher::directoryChanged, this, [this] { m_settle.start(); });
    connect(&m_settle, &QTimer::timeout, this, &ScriptFileWatcher::check);
}

void ScriptFileWatcher::watch(const std::string& nativePath, const QByteArray& contents) {
    stop();
    // The system's watcher takes names as text.
    if (nativePath.empty() || !IsValidUtf8(nativePath)) return;
    m_path = nativePath;
    m_watchedPath =
        QFileInfo(QString::fromUtf8(nativePath.data(), static_cast<qsizetype>(nativePath.size())))
            .absoluteFilePath();
    m_folder = QFileInfo(m_watchedPath).absolutePath();
    setKnownContents(contents);
    rewatch();
}

void ScriptFileWatcher::stop() {
    m_settle.stop();
    const QStringList watched = m_system.files() + m_system.directories();
    if (!watched.isEmpty()) m_system.removePaths(watched);
    m_path.clear();
    m_watchedPath.clear();
    m_folder.clear();
    m_known = DiskState{};
}

void ScriptFileWatcher::setKnownContents(const QByteArray& contents) {
    if (m_path.empty()) return;
    m_known = statFile();
    m_known.hash = ContentsHash(contents);
}

ScriptFileWatcher::DiskState ScriptFileWatcher::statFile() const {
    DiskState state;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) return state;
    state.exists = true;
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modifiedNs = Nanoseconds(info.st_mtim);
    state.changedNs = Nanoseconds(info.st_ctim);
    return state;
}

void ScriptFileWatcher::rewatch() {
    // A file replaced by renaming another over it, as savers do, is a new
    // file: the system stops watching the old one.
    if (!m_system.directories().contains(m_folder)) m_system.addPath(m_folder);
    if (QFileInfo::exists(m_watchedPath) && !m_system.files().contains(m_watchedPath))
        m_system.addPath(m_watchedPath);
}

void ScriptFileWatcher::check() {
    if (m_path.empty()) return;
    rewatch();
    DiskState now = statFile();
    if (!now.exists) {
        if (m_known.exists) {
            // The contents are still known: the same bytes coming back are no change.
            m_known.exists = false;
            emit removedFromDisk();
        }
        return;
    }
    if (now.sameFileAs(m_known)) return;
    QByteArray contents;
    // A file that cannot be read now is looked at again at its next change.
    if (!ReadScriptFileBytes(m_path, &contents, nullptr)) return;
    now.hash = ContentsHash(contents);
    const bool changed = now.hash != m_known.hash;
    m_known = now;
    if (changed) emit changedOnDisk();
}

}  // namespace tarvil
