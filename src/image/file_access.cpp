#include "image/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>

namespace tarvil {

namespace {

constexpr uint64_t kMaxReadBytes = UINT32_MAX;
constexpr int kTemporaryNameAttempts = 32;
// A stop request is looked for between reads of this much.
constexpr size_t kReadPartBytes = size_t{1} << 20;
// A save asks whether to stop between writes of at most this much.
constexpr size_t kWritePartBytes = size_t{1} << 20;

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

// Fills `buffer` from `fd`; `got` is less than its size only at the file's end.
bool ReadFully(int fd, std::span<uint8_t> buffer, size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const ssize_t result = read(fd, buffer.data() + got, buffer.size() - got);
        if (result < 0 && errno == EINTR) continue;
        if (result < 0) return false;
        if (result == 0) break;
        got += static_cast<size_t>(result);
    }
    return true;
}

// The errno of a call that just failed, never 0.
int LastError() {
    return errno != 0 ? errno : EIO;
}

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

bool WriteAll(FileSystemCalls& calls, int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = calls.Write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {  // no progress and no error: treat as a full disk
            errno = ENOSPC;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while `name` is the regular file `opened` itself, not a link to it.
bool StillTheOpenedFile(const std::string& name, const struct stat& opened) {
    struct stat now {};
    return lstat(name.c_str(), &now) == 0 && S_ISREG(now.st_mode) && SameFile(now, opened);
}

// The file a save replaces.
struct Target {
    std::string name;  // renamed over: the path, or the file a link leads to
    bool exists = false;
    struct stat opened {};  // the existing file, as opened for writing
    // Held open (only looked at, never written) until the rename, so that the
    // identity compared there cannot pass to another file.
    FdCloser fd;
};

// Finds the file a save replaces and, when there is one, opens it as an
// in-place write would, so that the kernel decides whether it may be written:
// its permissions, and its rules for following a link (another user's link
// in a sticky world-writable folder). Returns 0 or an errno value.
int OpenTarget(const std::string& path, FileSystemCalls& calls, Target& target) {
    target.name = path;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? 0 : LastError();
    if (S_ISLNK(info.st_mode)) {
        // A dangling link is refused rather than created through, and what is
        // not a regular file is refused before anything is opened.
        if (stat(path.c_str(), &info) != 0) return LastError();
        if (!S_ISREG(info.st_mode)) return EISDIR;
        const std::unique_ptr<char, FreeDeleter> resolved(realpath(path.c_str(), nullptr));
        if (!resolved) return LastError();
        target.name = resolved.get();
    } else if (!S_ISREG(info.st_mode)) {
        return EISDIR;
    }
    // Neither created nor truncated; non-blocking, so that a FIFO put there
    // meanwhile is refused at once instead of waiting for a reader.
    target.fd.fd = calls.Open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (target.fd.fd < 0) return LastError();
    if (calls.Fstat(target.fd.fd, &target.opened) != 0) return LastError();
    if (!S_ISREG(target.opened.st_mode)) return EISDIR;
    // The link or file may have changed between looking and opening: only the
    // file opened is ever replaced.
    if (!StillTheOpenedFile(target.name, target.opened)) return EAGAIN;
    target.exists = true;
    return 0;
}

// A new file beside `target`, created exclusively and readable by us alone.
int CreateTemporary(FileSystemCalls& calls, const std::string& target, std::string& name) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    // Cut long names, so that the temporary's name stays within the 255-byte limit.
    const std::string base =
        (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    std::random_device entropy;
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = folder + "." + base + ".tmp-";
        for (int i = 0; i < 8; ++i) name.push_back(kDigits[entropy() % (sizeof kDigits - 1)]);
        const int fd = calls.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;  // errno is EEXIST
}

// Writes the pieces in parts of at most 1 MiB, asking before each whether to
// stop. Returns 0, ECANCELED or the errno of a failed write.
int WritePieces(FileSystemCalls& calls, int fd, FilePieces pieces, const StopCheck& stopRequested) {
    for (auto piece : pieces) {
        while (!piece.empty()) {
            if (stopRequested && stopRequested()) return ECANCELED;
            const auto part = piece.first(std::min(piece.size(), kWritePartBytes));
            if (!WriteAll(calls, fd, part)) return LastError();
            piece = piece.subspan(part.size());
        }
    }
    return 0;
}

// The process's umask, read without setting it: umask() tells it only by
// changing it, and a file another thread creates meanwhile would get the
// wrong mode.
mode_t CurrentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned long mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %lo", &mask) == 1;
        }
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    // Kernels before 4.7 do not show it there.
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Gives the temporary the old file's owner and group where the process may,
// else the group alone (an owner may give a file any group they belong to).
// A refusal leaves the saver's own: no reason to fail the save.
void KeepOwner(FileSystemCalls& calls, int fd, const struct stat& old) {
    if (calls.Fchown(fd, old.st_uid, old.st_gid) == 0) return;
    calls.Fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

}  // namespace

int FileSystemCalls::Open(const char* path, int flags, mode_t mode) {
    return open(path, flags, mode);
}
int FileSystemCalls::Fstat(int fd, struct stat* info) {
    return fstat(fd, info);
}
int FileSystemCalls::Fchown(int fd, uid_t owner, gid_t group) {
    return fchown(fd, owner, group);
}
int FileSystemCalls::Fchmod(int fd, mode_t mode) {
    return fchmod(fd, mode);
}
ssize_t FileSystemCalls::Write(int fd, const void* data, size_t size) {
    return write(fd, data, size);
}
int FileSystemCalls::Fsync(int fd) {
    return fsync(fd);
}
int FileSystemCalls::Close(int fd) {
    return close(fd);
}
int FileSystemCalls::Rename(const char* from, const char* to) {
    return rename(from, to);
}
int FileSystemCalls::Unlink(const char* path) {
    return unlink(path);
}

FileRead ReadFileBytes(const std::string& path, size_t spareCapacity, std::span<uint8_t> head,
                       const StopCheck& stopRequested) {
    FileRead result;
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    FdCloser file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) return result;
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return result;
    if (static_cast<uint64_t>(info.st_size) > kMaxReadBytes) return result;
    const auto fileSize = static_cast<size_t>(info.st_size);
    const size_t headExpected = std::min(head.size(), fileSize);
    if (!ReadFully(file.fd, head.first(headExpected), result.headBytes)) return result;
    const size_t rest = result.headBytes == headExpected ? fileSize - headExpected : 0;
    try {
        result.bytes.reserve(rest + spareCapacity);
        result.bytes.resize(rest);
    } catch (const std::bad_alloc&) {
        result.status = FileRead::Status::NoMemory;
        return result;
    }
    // Read straight into the block (its zero-fill is one cheap pass over huge
    // pages), in parts, so that a stop is seen while a large file comes in.
    size_t got = 0;
    for (bool first = true; got < rest; first = false) {
        if (!first && stopRequested && stopRequested()) {
            result.bytes = {};
            result.status = FileRead::Status::Stopped;
            return result;
        }
        const auto wanted =
            std::span(result.bytes).subspan(got, std::min(kReadPartBytes, rest - got));
        size_t partGot = 0;
        if (!ReadFully(file.fd, wanted, partGot)) return result;
        got += partGot;
        // The file shrank meanwhile: what is there is all there is.
        if (partGot < wanted.size()) break;
    }
    result.bytes.resize(got);
    result.status = FileRead::Status::Ok;
    return result;
}

int ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, FileSystemCalls& calls,
                const StopCheck& stopRequested) {
    const std::span<const uint8_t> pieces[] = {bytes};
    return ReplaceFile(path, FilePieces(pieces), calls, stopRequested);
}

int ReplaceFile(const std::string& path, FilePieces pieces, FileSystemCalls& calls,
                const StopCheck& stopRequested, FlushBeforeRename flush) {
    if (path.empty()) return ENOENT;
    Target target;
    if (const int refused = OpenTarget(path, calls, target); refused != 0) return refused;

    std::string temporary;
    const int fd = CreateTemporary(calls, target.name, temporary);
    if (fd < 0) return LastError();
    // The first failure is the one reported; the clean-up keeps its errno.
    int failure = WritePieces(calls, fd, pieces, stopRequested);
    // Shared only once complete. The owner goes first: changing it clears the
    // set-user-ID and set-group-ID bits that the mode may then set again.
    if (failure == 0 && target.exists) KeepOwner(calls, fd, target.opened);
    const mode_t mode = target.exists ? target.opened.st_mode & 07777 : 0666 & ~CurrentUmask();
    if (failure == 0 && calls.Fchmod(fd, mode) != 0) failure = LastError();
    const bool flushes = flush == FlushBeforeRename::Always || target.exists;
    if (failure == 0 && flushes && calls.Fsync(fd) != 0) failure = LastError();
    // The descriptor is gone after close, whatever it returns.
    if (calls.Close(fd) != 0 && failure == 0) failure = LastError();
    if (failure == 0 && stopRequested && stopRequested()) failure = ECANCELED;
    if (failure == 0 && target.exists && !StillTheOpenedFile(target.name, target.opened)) {
        failure = EAGAIN;
    }
    if (failure == 0 && calls.Rename(temporary.c_str(), target.name.c_str()) != 0) {
        failure = LastError();
    }
    if (failure != 0) calls.Unlink(temporary.c_str());
    return failure;
}

bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes) {
    FileSystemCalls system;
    return ReplaceFile(path, bytes, system) == 0;
}

bool WriteFileReplacing(const std::string& path, FilePieces pieces) {
    FileSystemCalls system;
    return ReplaceFile(path, pieces, system) == 0;
}

}  // namespace tarvil
