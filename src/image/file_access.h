// Reading and replacing whole files for LOADIMAGE and SAVEIMAGE.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/image_block.h"

namespace tarvil {

// Asked between pieces of a long read or save; true stops it.
using StopCheck = std::function<bool()>;

struct FileRead {
    enum class Status { Ok, Unreadable, NoMemory, Stopped };
    Status status = Status::Unreadable;
    ImageBlock bytes;      // the file's bytes behind the head
    size_t headBytes = 0;  // how many of `head` the file filled
};

// Reads a regular file opened read-only (read-only files load). Anything else
// (a directory, a FIFO, a device) and files beyond 4 GiB, which no BMP file
// reaches, are Unreadable.
// The file's first head.size() bytes (fewer when the file is shorter) go to
// `head`, the rest to `bytes`, so a caller can take a file header apart from
// what follows it. `spareCapacity` more bytes are reserved behind the file's,
// for a caller that grows the bytes in place. `stopRequested` is asked after
// every mebibyte read: a stop gives Stopped and no bytes.
FileRead ReadFileBytes(const std::string& path, size_t spareCapacity = 0,
                       std::span<uint8_t> head = {}, const StopCheck& stopRequested = {});

// The calls a replacing write makes that change or check the file system. The
// base class makes the real system calls; a test derives from it to make any
// of them fail. Each returns what the system call returns and sets errno.
class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual int Fstat(int fd, struct stat* info);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    virtual int Fchmod(int fd, mode_t mode);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
};

// Replaces `path` by a file holding `bytes`: written to a temporary file beside
// the target, flushed (see FlushBeforeRename), and renamed over it. Any failure leaves the old file
// as it was and no temporary behind. Returns 0, or the errno value of the failure.
//
// An existing target is first opened for writing as an in-place write would
// open it, through a symbolic link when it is one: so the kernel's permission
// checks and its rules for following links decide whether it may be replaced.
// Only a regular file is replaced (EISDIR for anything else, a dangling link
// is ENOENT), and only the very file that was opened: a link or file changed
// meanwhile gives EAGAIN. A link stays a link; the file it leads to is replaced.
//
// The temporary is readable by its owner alone until it is complete; then it
// takes the old file's owner and group where the process may set them, and
// its mode bits (0666 less the umask for a new file).
//
// `stopRequested` is asked before each write of at most 1 MiB and once more
// before the rename; when it says stop, the save ends with ECANCELED.
int ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, FileSystemCalls& calls,
                const StopCheck& stopRequested = {});

// When the temporary is flushed to the disk before the rename. The flush is
// what keeps the old file's contents through a power cut; a new file has none
// to keep, and its flush costs more than the write of a small image (8 to
// 18 ms against 1 ms for 3 MiB), so an image save skips it, as cp, Pillow and
// ImageMagick do.
enum class FlushBeforeRename { Always, OnlyOverAnOldFile };

// The same with the file's bytes given in pieces, written one after the other,
// so that a caller need not copy them into one buffer first.
using FilePieces = std::span<const std::span<const uint8_t>>;
int ReplaceFile(const std::string& path, FilePieces pieces, FileSystemCalls& calls,
                const StopCheck& stopRequested = {},
                FlushBeforeRename flush = FlushBeforeRename::Always);

// ReplaceFile with the real system calls; true when the file was replaced.
bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes);
bool WriteFileReplacing(const std::string& path, FilePieces pieces);

}  // namespace tarvil
