#include "image/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
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
int CreateTemporary(const std::string& target, std::string& name) {
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
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

FileRead ReadFileBytes(const std::string& path) {
    FileRead result;
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    FdCloser file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) return result;
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return result;
    if (static_cast<uint64_t>(info.st_size) > kMaxReadBytes) return result;
    try {
        result.bytes.resize(static_cast<size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        result.status = FileRead::Status::NoMemory;
        return result;
    }
    size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t got = read(file.fd, result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return result;
        if (got == 0) break;  // the file shrank meanwhile: what is there is all there is
        done += static_cast<size_t>(got);
    }
    result.bytes.resize(done);
    result.status = FileRead::Status::Ok;
    return result;
}

bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes) {
    if (path.empty()) return false;
    std::string target;
    if (!ResolveTarget(path, target)) return false;

    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && (!S_ISREG(info.st_mode) || access(target.c_str(), W_OK) != 0)) return false;

    std::string temporary;
    FdCloser file{CreateTemporary(target, temporary)};
    if (file.fd < 0) return false;
    bool ok = !exists || fchmod(file.fd, info.st_mode & 07777) == 0;
    ok = ok && WriteAll(file.fd, bytes) && fsync(file.fd) == 0;
    const int fd = file.fd;
    file.fd = -1;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
    return ok;
}

}  // namespace tarvil
