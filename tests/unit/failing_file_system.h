// FileSystemCalls that make the real calls but fail the one a test picks, and
// write in short pieces so that a save makes several write calls.
#pragma once

#include <cerrno>
#include <string>
#include <vector>

#include "image/file_access.h"

namespace tarvil::testing {

enum class FsCall { Access, Open, Fchmod, Write, Fsync, Close, Rename, Unlink };

inline const char* FsCallName(FsCall call) {
    static const char* const kNames[] = {"access", "open",  "fchmod", "write",
                                         "fsync",  "close", "rename", "unlink"};
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

    std::vector<FsCall> made;  // every call, in order

    int Access(const char* path, int mode) override {
        return Fails(FsCall::Access) ? -1 : FileSystemCalls::Access(path, mode);
    }
    int Open(const char* path, int flags, mode_t mode) override {
        return Fails(FsCall::Open) ? -1 : FileSystemCalls::Open(path, flags, mode);
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
        if (writeTakesNothing) return 0;
        return FileSystemCalls::Write(fd, data, size < writePiece ? size : writePiece);
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
