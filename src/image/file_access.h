// Reading and replacing whole files for LOADIMAGE and SAVEIMAGE.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvil {

struct FileRead {
    enum class Status { Ok, Unreadable, NoMemory };
    Status status = Status::Unreadable;
    std::vector<uint8_t> bytes;  // the file's bytes behind the head
    size_t headBytes = 0;        // how many of `head` the file filled
};

// Reads a regular file opened read-only (read-only files load). Anything else
// (a directory, a FIFO, a device) and files beyond 4 GiB, which no BMP file
// reaches, are Unreadable.
// The file's first head.size() bytes (fewer when the file is shorter) go to
// `head`, the rest to `bytes`, so a caller can take a file header apart from
// what follows it. `spareCapacity` more bytes are reserved behind the file's,
// for a caller that grows the bytes in place.
FileRead ReadFileBytes(const std::string& path, size_t spareCapacity = 0,
                       std::span<uint8_t> head = {});

// The calls a replacing write makes that change or check the file system. The
// base class makes the real system calls; a test derives from it to make any
// of them fail. Each returns what the system call returns and sets errno.
class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;
    virtual int Access(const char* path, int mode);
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual int Fchmod(int fd, mode_t mode);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
};

// Replaces `path` by a file holding `bytes`: written to a temporary file in the
// same folder, flushed, and renamed over the target, which keeps its mode bits
// (a symbolic link is followed to its file). Any failure leaves the old file as
// it was and no temporary behind. An existing target must be a regular file we
// may write; read-only files are not replaced. Returns 0, or the errno value
// of the failure (EISDIR for a target that is not a regular file).
int ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, FileSystemCalls& calls);

// The same with the file's bytes given in pieces, written one after the other,
// so that a caller need not copy them into one buffer first.
using FilePieces = std::span<const std::span<const uint8_t>>;
int ReplaceFile(const std::string& path, FilePieces pieces, FileSystemCalls& calls);

// ReplaceFile with the real system calls; true when the file was replaced.
bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes);
bool WriteFileReplacing(const std::string& path, FilePieces pieces);

}  // namespace tarvil
