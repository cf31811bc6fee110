#include "image/file_access.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>

namespace tarvil {

namespace {

constexpr uint64_t kMaxReadBytes = UINT32_MAX;
constexpr int kTemporaryNameAttempts = 32;
// Small enough for the stack and a core's cache, large enough for few reads.
constexpr size_t kReadPieceBytes = 64 * 1024;

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

// Asks for huge pages under a large buffer that is about to be filled: a
// 12 MiB image then costs a few page faults instead of thousands. Only a hint;
// where the kernel does not take it nothing changes.
void AdviseHugePages(const void* buffer, size_t size) {
    constexpr uintptr_t kHugePageBytes = uintptr_t{2} << 20;
    if (size < 2 * kHugePageBytes) return;
    const auto start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const uintptr_t end = (start + size) & ~(kHugePageBytes - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
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

// The file a save replaces: a symbolic link is followed, so the link stays a link.
bool ResolveTarget(const std::string& path, std::string& target) {
    struct stat linkInfo {};
    if (lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        const std::unique_ptr<char, FreeDeleter> resolved(realpath(path.c_str(), nullptr));
        if (!resolved) return false;
        target = resolved.get();
        return true;
    }
    target = path;
    return true;
}

// A new file beside `target`, created exclusively; mode 0666 less the umask.
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
        const int fd = calls.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;  // errno is EEXIST
}

}  // namespace

int FileSystemCalls::Access(const char* path, int mode) {
    return access(path, mode);
}
int FileSystemCalls::Open(const char* path, int flags, mode_t mode) {
    return open(path, flags, mode);
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

FileRead ReadFileBytes(const std::string& path, size_t spareCapacity, std::span<uint8_t> head) {
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
    try {
        result.bytes.reserve(fileSize - result.headBytes + spareCapacity);
    } catch (const std::bad_alloc&) {
        result.status = FileRead::Status::NoMemory;
        return result;
    }
    AdviseHugePages(result.bytes.data(), result.bytes.capacity());
    // Read in pieces and appended, so the block is written once rather than
    // zero-filled first and then read over.
    std::array<uint8_t, kReadPieceBytes> piece;
    size_t left = result.headBytes == headExpected ? fileSize - headExpected : 0;
    while (left > 0) {
        const auto wanted = std::span(piece).first(std::min(piece.size(), left));
        size_t got = 0;
        if (!ReadFully(file.fd, wanted, got)) return result;
        result.bytes.insert(result.bytes.end(), piece.begin(),
                            piece.begin() + static_cast<ptrdiff_t>(got));
        // The file shrank meanwhile: what is there is all there is.
        left = got < wanted.size() ? 0 : left - got;
    }
    result.status = FileRead::Status::Ok;
    return result;
}

int ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, FileSystemCalls& calls) {
    const std::span<const uint8_t> pieces[] = {bytes};
    return ReplaceFile(path, FilePieces(pieces), calls);
}

int ReplaceFile(const std::string& path, FilePieces pieces, FileSystemCalls& calls) {
    if (path.empty()) return ENOENT;
    std::string target;
    if (!ResolveTarget(path, target)) return LastError();

    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) return LastError();
    if (exists && !S_ISREG(info.st_mode)) return EISDIR;
    if (exists && calls.Access(target.c_str(), W_OK) != 0) return LastError();

    std::string temporary;
    const int fd = CreateTemporary(calls, target, temporary);
    if (fd < 0) return LastError();
    // The first failure is the one reported; the clean-up keeps its errno.
    int failure = 0;
    if (exists && calls.Fchmod(fd, info.st_mode & 07777) != 0) failure = LastError();
    for (const auto piece : pieces) {
        if (failure == 0 && !WriteAll(calls, fd, piece)) failure = LastError();
    }
    if (failure == 0 && calls.Fsync(fd) != 0) failure = LastError();
    // The descriptor is gone after close, whatever it returns.
    if (calls.Close(fd) != 0 && failure == 0) failure = LastError();
    if (failure == 0 && calls.Rename(temporary.c_str(), target.c_str()) != 0) failure = LastError();
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
