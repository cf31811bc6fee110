#include "app/recovery_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <span>

#include "image/file_access.h"
#include "runtime_ui/engine_text.h"

namespace tarvil {

namespace {

constexpr auto kKind = "Tarvil recovery";
constexpr int kVersion = 1;
const QString kDataSuffix = QStringLiteral(".recovery");
const QString kLockSuffix = QStringLiteral(".lock");

QString LineEndName(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::CrLf:
            return QStringLiteral("crlf");
        case LineEnd::Cr:
            return QStringLiteral("cr");
        case LineEnd::Lf:
            break;
    }
    return QStringLiteral("lf");
}

std::optional<LineEnd> LineEndFromName(const QString& name) {
    if (name == QLatin1String("lf")) return LineEnd::Lf;
    if (name == QLatin1String("crlf")) return LineEnd::CrLf;
    if (name == QLatin1String("cr")) return LineEnd::Cr;
    return std::nullopt;
}

std::unique_ptr<QLockFile> LongLivedLock(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    // Held for as long as the instance runs: only a holder that has ended
    // makes it stale, never its age.
    lock->setStaleLockTime(0);
    return lock;
}

}  // namespace

QByteArray SerializeRecoveryEntry(const RecoveryEntry& entry) {
    QJsonObject object;
    object.insert(QStringLiteral("kind"), QLatin1String(kKind));
    object.insert(QStringLiteral("version"), kVersion);
    // The name's bytes, which need not be UTF-8.
    object.insert(
        QStringLiteral("path"),
        QString::fromLatin1(
            QByteArray(entry.path.data(), static_cast<qsizetype>(entry.path.size())).toBase64()));
    object.insert(QStringLiteral("document"), entry.form.document);
    object.insert(QStringLiteral("latin1"), entry.form.latin1);
    object.insert(QStringLiteral("lineEnd"), LineEndName(entry.form.lineEnd));
    object.insert(QStringLiteral("byteOrderMark"), entry.form.byteOrderMark);
    object.insert(QStringLiteral("written"), entry.written.toUTC().toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("text"), entry.text);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<RecoveryEntry> ParseRecoveryEntry(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QStringLiteral("kind")).toString() != QLatin1String(kKind) ||
        object.value(QStringLiteral("version")).toInt() != kVersion ||
        !object.value(QStringLiteral("text")).isString())
        return std::nullopt;
    const std::optional<LineEnd> lineEnd =
        LineEndFromName(object.value(QStringLiteral("lineEnd")).toString());
    if (!lineEnd) return std::nullopt;
    RecoveryEntry entry;
    const QByteArray path =
        QByteArray::fromBase64(object.value(QStringLiteral("path")).toString().toLatin1());
    entry.path.assign(path.constData(), static_cast<size_t>(path.size()));
    entry.form.document = object.value(QStringLiteral("document")).toBool();
    entry.form.latin1 = object.value(QStringLiteral("latin1")).toBool();
    entry.form.lineEnd = *lineEnd;
    entry.form.byteOrderMark = object.value(QStringLiteral("byteOrderMark")).toBool();
    entry.written = QDateTime::fromString(object.value(QStringLiteral("written")).toString(),
                                          Qt::ISODateWithMs);
    entry.text = object.value(QStringLiteral("text")).toString();
    return entry;
}

QString RecoveryEntryName(const RecoveryEntry& entry) {
    if (entry.path.empty()) return QStringLiteral("Untitled");
    return QFileInfo(FromEngineText(entry.path)).fileName();
}

RecoveryStore::RecoveryStore(QString folder)
    : m_folder(std::move(folder)),
      // A pid is reused, a pid, the start time and a random number are not.
      m_id(QStringLiteral("%1-%2-%3")
               .arg(QCoreApplication::applicationPid())
               .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36)
               .arg(QRandomGenerator::global()->generate(), 0, 36)) {}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::defaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("recovery"));
}

QString RecoveryStore::ownFile() const {
    return QDir(m_folder).filePath(m_id + kDataSuffix);
}

bool RecoveryStore::prepareFolder() {
    if (!QDir().mkpath(m_folder)) return false;
    // The scripts in it are the user's own business.
    return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool RecoveryStore::lockOwn() {
    if (m_lock) return true;
    auto lock = LongLivedLock(QDir(m_folder).filePath(m_id + kLockSuffix));
    if (!lock->tryLock(0)) return false;
    m_lock = std::move(lock);
    return true;
}

bool RecoveryStore::write(RecoveryEntry entry) {
    // The lock comes first: no other instance may take the file for an orphan.
    if (!prepareFolder() || !lockOwn()) return false;
    entry.written = QDateTime::currentDateTimeUtc();
    const QByteArray bytes = SerializeRecoveryEntry(entry);
    const std::string path = FileNameBytes(ownFile());
    // Made private before anything is in it; the replacing write keeps the mode.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    } else if (errno != EEXIST) {
        return false;
    }
    FileSystemCalls system;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    return ReplaceFile(path, std::span<const uint8_t>(data, static_cast<size_t>(bytes.size())),
                       system) == 0;
}

void RecoveryStore::remove() {
    ::unlink(FileNameBytes(ownFile()).c_str());
}

std::vector<RecoveryEntry> RecoveryStore::claimOrphans() {
    std::vector<RecoveryEntry> entries;
    const QDir dir(m_folder);
    if (!dir.exists()) return entries;
    for (const QString& name : dir.entryList({QLatin1Char('*') + kDataSuffix}, QDir::Files)) {
        const QString id = name.chopped(kDataSuffix.size());
        const QString file = dir.filePath(name);
        if (id == m_id || m_claimed.count(file) != 0) continue;
        auto lock = LongLivedLock(dir.filePath(id + kLockSuffix));
        // Its instance still runs (or the lock cannot be had): not ours to touch.
        if (!lock->tryLock(0)) continue;
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = in.readAll();
        in.close();
        std::optional<RecoveryEntry> entry = ParseRecoveryEntry(bytes);
        if (!entry) {
            // An empty file was made private and never written; anything
            // else is left alone.
            if (bytes.isEmpty()) QFile::remove(file);
            continue;
        }
        entry->file = file;
        if (!entry->path.empty()) {
            // Saved since (by another instance, or another editor) with just
            // this text: nothing is left to recover.
            QByteArray disk;
            const ScriptFileBytes recovered = EncodeScriptFile(entry->text, entry->form);
            if (ReadScriptFileBytes(entry->path, &disk, nullptr) && recovered.bytes &&
                *recovered.bytes == disk) {
                QFile::remove(file);
                continue;
            }
        }
        m_claimed[file] = std::move(lock);
        entries.push_back(std::move(*entry));
    }
    // Locks of instances that ended with nothing to recover.
    for (const QString& name : dir.entryList({QLatin1Char('*') + kLockSuffix}, QDir::Files)) {
        const QString id = name.chopped(kLockSuffix.size());
        if (id == m_id || dir.exists(id + kDataSuffix)) continue;
        auto lock = LongLivedLock(dir.filePath(name));
        if (lock->tryLock(0)) lock->unlock();
    }
    std::sort(entries.begin(), entries.end(),
              [](const RecoveryEntry& a, const RecoveryEntry& b) { return a.written > b.written; });
    return entries;
}

bool RecoveryStore::adopt(const RecoveryEntry& entry) {
    if (m_claimed.count(entry.file) == 0 || !lockOwn()) return false;
    const bool moved =
        ::rename(FileNameBytes(entry.file).c_str(), FileNameBytes(ownFile()).c_str()) == 0;
    release(entry.file);
    return moved;
}

void RecoveryStore::discard(const RecoveryEntry& entry) {
    if (m_claimed.count(entry.file) == 0) return;
    QFile::remove(entry.file);
    release(entry.file);
}

void RecoveryStore::release(const QString& file) {
    m_claimed.erase(file);
}

void RecoveryStore::releaseAll() {
    m_claimed.clear();
}

}  // namespace tarvil
