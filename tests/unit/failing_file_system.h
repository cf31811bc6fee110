// FileSystemCalls that make the real calls but fail the one a test picks, and
// write in short pieces so that a save makes several write calls. They also
// watch the temporary's mode bits and can act just before the target is opened.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/file_access.h"

namespace tarvil::testing {

enum class FsCall { Open, Fstat, Fchown, Fchmod, Write, Fsync, Close, Rename, Unlink };

inline const char* FsCallName(FsCall call) {
    static const char* const kNames[] = {"open",  "fstat", "fchown", "fchmod", "write",
                                         "fsync", "close", "rename", "unlink"};
    return kNames[static_cast<int>(call)];
}

class FailingFileSystem : public FileSystemCalls {
public:
    // The call to fail, counted from 1 over every call but the clean-up's
    // unlink; 0 fails none. `failKind` instead fails every call of that kind.
    int failAt = 0;
    bool failByKind = false;
    FsCall failKind = FsCall::Write;
    int failErrno = EIO;
    size_t writePiece = 16;          // the most one write call takes
    int interruptedWrites = 0;       // this many writes fail with EINTR first
    bool writeTakesNothing = false;  // writes "succeed" with 0 bytes

    // Runs once just before the save opens an existing file (not the
    // temporary), as another process could act at that moment.
    std::function<void()> beforeOpeningTarget;

    std::vector<FsCall> made;         // every call, in order
    size_t bytesWritten = 0;          // by the writes that went through
    bool temporaryWasShared = false;  // a write went to a file with mode bits other than 0600

    int Open(const char* path, int flags, mode_t mode) override {
        if ((flags & O_CREAT) == 0 && beforeOpeningTarget) {
            const auto act = std::move(beforeOpeningTarget);
            beforeOpeningTarget = nullptr;
            act();
        }
        return Fails(FsCall::Open) ? -1 : FileSystemCalls::Open(path, flags, mode);
    }
    int Fstat(int fd, struct stat* info) override {
        return Fails(FsCall::Fstat) ? -1 : FileSystemCalls::Fstat(fd, info);
    }
    int Fchown(int fd, uid_t owner, gid_t group) override {
        return Fails(FsCall::Fchown) ? -1 : FileSystemCalls::Fchown(fd, owner, group);
    }
    int Fchmod(int fd, mode_t mode) override {
        return Fails(FsCall::Fchmod) ? -1 : FileSystemCalls::Fchmod(fd, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (Fails(FsCall::Write)) return -1;
        if (interruptedWrites > 0) {
            --interruptedWrites;
            errno = EINTR;
            return -1;
        }
        struct stat info {};
        if (fstat(fd, &info) != 0 || (info.st_mode & 07777) != 0600) temporaryWasShared = true;
        if (writeTakesNothing) return 0;
        const ssize_t written =
            FileSystemCalls::Write(fd, data, size < writePiece ? size : writePiece);
        if (written > 0) bytesWritten += static_cast<size_t>(written);
        return written;
    }
    int Fsync(int fd) override { return Fails(FsCall::Fsync) ? -1 : FileSystemCalls::Fsync(fd); }
    int Close(int fd) override {
        // A failing close still releases the descriptor, as the system's does.
        const bool fails = Fails(FsCall::Close);
        const int result = FileSystemCalls::Close(fd);
        if (fails) errno = failErrno;
        return fails ? -1 : result;
    }
    int Rename(const char* from, const char* to) override {
        return Fails(FsCall::Rename) ? -1 : FileSystemCalls::Rename(from, to);
    }
    int Unlink(const char* path) override {
        made.push_back(FsCall::Unlink);
        return FileSystemCalls::Unlink(path);
    }

    // The calls made, by name, for messages.
    std::string Trace() const {
        std::string trace;
        for (const FsCall call : made)
            trace += std::string(trace.empty() ? "" : " ") + FsCallName(call);
        return trace;
    }

private:
    bool Fails(FsCall call) {
        made.push_back(call);
        ++m_counted;
        const bool fails = failByKind ? call == failKind : m_counted == failAt;
        if (fails) errno = failErrno;
        return fails;
    }
    int m_counted = 0;
};

}  // namespace tarvil::testing
