// Replacing a file (SAVEIMAGE and the editor's Save) with a failure injected at
// each call in turn: the old file stays byte-identical, no temporary is left,
// and the failure's errno comes back; through the SAVEIMAGE handler the run
// stops with its writing error. (SAVEIMAGE's message on real failures is
// pinned in bmp_file_test.) Then a stop in the middle of a save, and saves
// through links, of other users' files and with the temporary watched, made
// in a child process that runs as an unprivileged user where that matters.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "image/file_access.h"
#include "unit/failing_file_system.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'};

std::vector<uint8_t> NewBytes() {
    std::vector<uint8_t> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    return bytes;
}

TEST(SafeSave, EveryCallFailingInTurnKeepsTheOldFileAndLeavesNoTemporary) {
    for (const bool targetExists : {true, false}) {
        ScratchFolder folder;
        const std::string path = folder.File("target.bmp");
        if (targetExists) {
            WriteBytes(path, kOld);
            chmod(path.c_str(), 0640);
        }
        const auto namesBefore = folder.Names();
        std::set<FsCall> failedKinds;
        int failAt = 1;
        for (;; ++failAt) {
            FailingFileSystem calls;
            calls.failAt = failAt;
            const int result = ReplaceFile(path, NewBytes(), calls);
            if (failAt > static_cast<int>(calls.made.size())) {
                // Past the last call nothing failed: the save went through.
                ASSERT_EQ(result, 0) << calls.Trace();
                break;
            }
            const FsCall failed = calls.made[static_cast<size_t>(failAt - 1)];
            failedKinds.insert(failed);
            const std::string label = std::string(targetExists ? "existing" : "new") +
                                      " target, failing " + FsCallName(failed) + " (call " +
                                      std::to_string(failAt) + "): " + calls.Trace();
            EXPECT_EQ(folder.Names(), namesBefore) << label;
            if (failed == FsCall::Fchown) {
                // An owner that cannot be kept does not stop the save.
                EXPECT_EQ(result, 0) << label;
                EXPECT_EQ(ReadBytes(path), NewBytes()) << label;
                WriteBytes(path, kOld);
                continue;
            }
            EXPECT_EQ(result, EIO) << label;
            if (targetExists) {
                EXPECT_EQ(ReadBytes(path), kOld) << label;
            }
        }
        // 100 bytes in pieces of 16 are seven writes.
        std::set<FsCall> expected = {FsCall::Open,  FsCall::Write, FsCall::Fchmod,
                                     FsCall::Fsync, FsCall::Close, FsCall::Rename};
        if (targetExists) expected.insert({FsCall::Fstat, FsCall::Fchown});
        EXPECT_EQ(failedKinds, expected);
        EXPECT_EQ(failAt, (targetExists ? 15 : 12) + 1);
        EXPECT_EQ(ReadBytes(path), NewBytes());
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        if (targetExists) {
            EXPECT_EQ(info.st_mode & 0777, 0640u);
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.bmp"});
    }
}

TEST(SafeSave, NamedFailuresReportTheirReason) {
    const struct {
        const char* label;
        FsCall kind;
        int error;
    } cases[] = {
        {"disk full while writing", FsCall::Write, ENOSPC},
        {"quota exceeded while writing", FsCall::Write, EDQUOT},
        {"flush fails", FsCall::Fsync, EIO},
        {"close reports a delayed write error", FsCall::Close, EIO},
        {"rename across devices", FsCall::Rename, EXDEV},
        {"rename refused", FsCall::Rename, EACCES},
        {"target read-only", FsCall::Open, EACCES},
        {"file size limit", FsCall::Write, EFBIG},
        {"target cannot be looked at", FsCall::Fstat, EIO},
        {"read-only file system", FsCall::Open, EROFS},
        {"mode bits cannot be set", FsCall::Fchmod, EPERM},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.File("keep.bmp");
        WriteBytes(path, kOld);
        FailingFileSystem calls;
        calls.failByKind = true;
        calls.failKind = c.kind;
        calls.failErrno = c.error;
        EXPECT_EQ(ReplaceFile(path, NewBytes(), calls), c.error) << c.label;
        EXPECT_EQ(ReadBytes(path), kOld) << c.label;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.bmp"}) << c.label;
    }
}

TEST(SafeSave, PiecesAreWrittenInOrderAndAFailureInAnyKeepsTheOldFile) {
    // SAVEIMAGE's headers and rows, an empty piece among them.
    const std::vector<uint8_t> head = {'B', 'M', 1, 2, 3};
    const std::vector<uint8_t> rows = NewBytes();
    const std::span<const uint8_t> pieces[] = {head, {}, rows};
    std::vector<uint8_t> whole = head;
    whole.insert(whole.end(), rows.begin(), rows.end());
    ScratchFolder folder;
    const std::string path = folder.File("pieces.bmp");
    WriteBytes(path, kOld);
    for (int failAt = 1;; ++failAt) {
        FailingFileSystem calls;
        calls.failAt = failAt;
        const int result = ReplaceFile(path, FilePieces(pieces), calls);
        if (failAt > static_cast<int>(calls.made.size())) {
            ASSERT_EQ(result, 0) << calls.Trace();
            EXPECT_EQ(ReadBytes(path), whole);
            break;
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"pieces.bmp"}) << calls.Trace();
        if (calls.made[static_cast<size_t>(failAt - 1)] == FsCall::Fchown) {
            EXPECT_EQ(result, 0) << calls.Trace();
            EXPECT_EQ(ReadBytes(path), whole) << calls.Trace();
            WriteBytes(path, kOld);
            continue;
        }
        EXPECT_EQ(result, EIO) << calls.Trace();
        EXPECT_EQ(ReadBytes(path), kOld) << calls.Trace();
    }
}

TEST(SafeSave, InterruptedWritesAreRetried) {
    ScratchFolder folder;
    const std::string path = folder.File("retry.bmp");
    WriteBytes(path, kOld);
    FailingFileSystem calls;
    calls.interruptedWrites = 3;
    EXPECT_EQ(ReplaceFile(path, NewBytes(), calls), 0);
    EXPECT_EQ(ReadBytes(path), NewBytes());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"retry.bmp"});
}

TEST(SafeSave, AWriteThatTakesNothingIsAFullDisk) {
    // Without this a write that makes no progress would loop for ever.
    ScratchFolder folder;
    const std::string path = folder.File("stuck.bmp");
    WriteBytes(path, kOld);
    FailingFileSystem calls;
    calls.writeTakesNothing = true;
    EXPECT_EQ(ReplaceFile(path, NewBytes(), calls), ENOSPC);
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"stuck.bmp"});
}

TEST(SafeSave, TargetsThatAreNotRegularFilesAreRefusedBeforeAnyWrite) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.File("dir.bmp"));
    FailingFileSystem calls;
    EXPECT_EQ(ReplaceFile(folder.File("dir.bmp"), NewBytes(), calls), EISDIR);
    EXPECT_EQ(ReplaceFile("/dev/null", NewBytes(), calls), EISDIR);
    EXPECT_EQ(ReplaceFile(folder.File("no/such/x.bmp"), NewBytes(), calls), ENOENT);
    EXPECT_EQ(ReplaceFile("", NewBytes(), calls), ENOENT);
    EXPECT_EQ(calls.Trace(), "open");  // only the missing folder got as far as the temporary
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"dir.bmp"});
}

TEST(SafeSave, RealPermissionsAreRespectedWhenNotRoot) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes regardless of permissions";
    ScratchFolder folder;
    const std::string readOnly = folder.File("ro.bmp");
    WriteBytes(readOnly, kOld);
    chmod(readOnly.c_str(), 0444);
    FileSystemCalls system;
    EXPECT_EQ(ReplaceFile(readOnly, NewBytes(), system), EACCES);
    EXPECT_EQ(ReadBytes(readOnly), kOld);
    chmod(folder.path().c_str(), 0555);
    const std::string inLocked = folder.File("new.bmp");
    EXPECT_EQ(ReplaceFile(inLocked, NewBytes(), system), EACCES);
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"ro.bmp"});
}

// SAVEIMAGE through a machine whose file-system calls fail where a test says.
struct FailingSaveRig {
    ImageRig rig;
    FailingFileSystem* calls = nullptr;

    FailingSaveRig() {
        auto owned = std::make_unique<FailingFileSystem>();
        calls = owned.get();
        rig.m.FileSystem = std::move(owned);
    }
    // Saves a 3 x 2 true-colour image; returns the stop message ("" for none).
    std::string Save(const std::string& path) {
        Item* image = rig.Create(3, 2, 24);
        rig.SetPixel(image, 1, 1, 10, 20, 30);
        EXPECT_EQ(LastStop(rig.m), "") << "the image is made without a message";
        rig.Save(image, path);
        return LastStop(rig.m);
    }
};

TEST(SafeSave, SaveImageFailingAtEveryCallInTurnKeepsTheOldFileAndReportsTheName) {
    for (const bool targetExists : {true, false}) {
        ScratchFolder folder;
        const std::string path = folder.File("kept.bmp");
        if (targetExists) WriteBytes(path, kOld);
        const auto namesBefore = folder.Names();
        std::set<FsCall> failedKinds;
        int failAt = 1;
        for (;; ++failAt) {
            FailingSaveRig save;
            save.calls->failAt = failAt;
            const std::string message = save.Save(path);
            if (failAt > static_cast<int>(save.calls->made.size())) {
                ASSERT_EQ(message, "") << save.calls->Trace();
                break;
            }
            const FsCall failed = save.calls->made[static_cast<size_t>(failAt - 1)];
            failedKinds.insert(failed);
            const std::string label = std::string(targetExists ? "existing" : "new") +
                                      " target, failing " + FsCallName(failed) + " (call " +
                                      std::to_string(failAt) + "): " + save.calls->Trace();
            EXPECT_EQ(folder.Names(), namesBefore) << label;
            if (failed == FsCall::Fchown) {
                EXPECT_EQ(message, "") << label;
                WriteBytes(path, kOld);
                continue;
            }
            EXPECT_EQ(message, "Error: Writing image '" + path + "'") << label;
            if (targetExists) {
                EXPECT_EQ(ReadBytes(path), kOld) << label;
            }
        }
        // A new image is not flushed before the rename: there is no old file to keep.
        std::set<FsCall> expected = {FsCall::Open, FsCall::Write, FsCall::Fchmod, FsCall::Close,
                                     FsCall::Rename};
        if (targetExists) expected.insert({FsCall::Fstat, FsCall::Fchown, FsCall::Fsync});
        EXPECT_EQ(failedKinds, expected);
        // The save that went through wrote the image, which loads again.
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.bmp"});
        ImageRig reader;
        const Item* loaded = reader.Load(path);
        EXPECT_EQ(LastStop(reader.m), "");
        ASSERT_NE(loaded->image, nullptr);
        EXPECT_EQ(loaded->image->Width(), 3);
        EXPECT_EQ(loaded->image->Height(), 2);
        EXPECT_EQ(loaded->image->BitCount(), 24);
    }
}

TEST(SafeSave, SaveImageUnderNamedFailuresKeepsTheOldFile) {
    const struct {
        const char* label;
        FsCall kind;
        int error;
        bool writeTakesNothing;
    } cases[] = {
        {"disk full while writing", FsCall::Write, ENOSPC, false},
        {"quota exceeded while writing", FsCall::Write, EDQUOT, false},
        {"a write that takes nothing", FsCall::Unlink, 0, true},
        {"flush fails", FsCall::Fsync, EIO, false},
        {"close reports a delayed write error", FsCall::Close, EIO, false},
        {"rename across devices", FsCall::Rename, EXDEV, false},
        {"target read-only", FsCall::Open, EACCES, false},
        {"file size limit", FsCall::Write, EFBIG, false},
        {"read-only file system", FsCall::Open, EROFS, false},
        {"mode bits cannot be set", FsCall::Fchmod, EPERM, false},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.File("old image.bmp");
        WriteBytes(path, kOld);
        FailingSaveRig save;
        // Unlink is never failed: it marks the cases that fail by other means.
        save.calls->failByKind = c.kind != FsCall::Unlink;
        save.calls->failKind = c.kind;
        save.calls->failErrno = c.error;
        save.calls->writeTakesNothing = c.writeTakesNothing;
        EXPECT_EQ(save.Save(path), "Error: Writing image '" + path + "'") << c.label;
        EXPECT_EQ(ReadBytes(path), kOld) << c.label;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"old image.bmp"}) << c.label;
    }
}

// ---- Stopping a save.

constexpr size_t kMiB = size_t{1} << 20;

TEST(SafeSave, AStopIsAskedForBetweenPartsOfAtMostOneMebibyteAndKeepsTheOldFile) {
    // 3.5 MiB in two pieces, the first of which is split.
    const std::vector<uint8_t> head(5 * kMiB / 2, 'h');
    const std::vector<uint8_t> rows(kMiB, 'r');
    const std::span<const uint8_t> pieces[] = {head, rows};
    ScratchFolder folder;
    const std::string path = folder.File("big.bmp");

    // A save that goes through asks before each part and before the rename.
    WriteBytes(path, kOld);
    std::vector<size_t> writtenWhenAsked;
    {
        FailingFileSystem calls;
        calls.writePiece = SIZE_MAX;
        const int result = ReplaceFile(path, FilePieces(pieces), calls, [&] {
            writtenWhenAsked.push_back(calls.bytesWritten);
            return false;
        });
        ASSERT_EQ(result, 0);
        EXPECT_EQ(writtenWhenAsked,
                  (std::vector<size_t>{0, kMiB, 2 * kMiB, 5 * kMiB / 2, 7 * kMiB / 2}));
    }
    // A stop at any of those moments ends it there.
    for (size_t stopAt = 1; stopAt <= writtenWhenAsked.size(); ++stopAt) {
        WriteBytes(path, kOld);
        FailingFileSystem calls;
        calls.writePiece = SIZE_MAX;
        size_t asked = 0;
        const int result =
            ReplaceFile(path, FilePieces(pieces), calls, [&] { return ++asked == stopAt; });
        const std::string label = "stop at ask " + std::to_string(stopAt) + ": " + calls.Trace();
        EXPECT_EQ(result, ECANCELED) << label;
        EXPECT_EQ(asked, stopAt) << label;
        EXPECT_EQ(calls.bytesWritten, writtenWhenAsked[stopAt - 1]) << label;
        EXPECT_EQ(std::count(calls.made.begin(), calls.made.end(), FsCall::Rename), 0) << label;
        EXPECT_EQ(ReadBytes(path), kOld) << label;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"big.bmp"}) << label;
    }
}

// A host whose stop request comes when a test says, as Ctrl+C would.
class StoppingHost : public FakeHost {
public:
    explicit StoppingHost(Machine& machine) : m_machine(machine) {}
    std::function<bool()> stopNow;
    int asked = 0;

    bool StopRequested() override {
        ++asked;
        if (!stopNow || !stopNow()) return false;
        PushStop(m_machine, "Warning: Program stopped");
        return true;
    }

private:
    Machine& m_machine;
};

TEST(SafeSave, SaveImageStoppedKeepsTheOldFileAndShowsOnlyTheStop) {
    const struct {
        const char* label;
        size_t stopAfterBytes;  // the host asks to stop once this much is written
        bool anyFileCall;
    } cases[] = {
        {"a stop pending before the save", 0, false},
        {"a stop in the middle of a 3 MiB save", kMiB + 1, true},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.File("stopped.bmp");
        WriteBytes(path, kOld);
        FailingSaveRig save;
        save.calls->writePiece = SIZE_MAX;
        Item* image = save.rig.Create(1024, 1024, 24);
        ASSERT_EQ(LastStop(save.rig.m), "");
        StoppingHost host(save.rig.m);
        size_t writtenAtStop = SIZE_MAX;
        host.stopNow = [&] {
            if (save.calls->bytesWritten < c.stopAfterBytes) return false;
            writtenAtStop = std::min(writtenAtStop, save.calls->bytesWritten);
            return true;
        };
        save.rig.m.host = &host;
        save.rig.Save(image, path);
        save.rig.m.host = &save.rig.host;

        EXPECT_EQ(LastStop(save.rig.m), "Warning: Program stopped") << c.label;
        EXPECT_EQ(save.rig.m.StopList.count, 1u) << c.label << ": no writing error besides";
        EXPECT_EQ(save.calls->made.empty(), !c.anyFileCall)
            << c.label << ": " << save.calls->Trace();
        EXPECT_EQ(save.calls->bytesWritten, c.anyFileCall ? writtenAtStop : 0) << c.label;
        EXPECT_LT(save.calls->bytesWritten, 3 * kMiB) << c.label;
        EXPECT_EQ(ReadBytes(path), kOld) << c.label;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"stopped.bmp"}) << c.label;
    }
}

// ---- Links, ownership and privacy, saved by a real user where it matters.

constexpr uid_t kSaver = 65534;  // nobody
constexpr gid_t kSaverGroup = 65534;
constexpr uid_t kOther = 65533;  // a second user without a name
constexpr gid_t kOtherGroup = 65533;
constexpr gid_t kSharedGroup = 65532;  // a group kSaver is given in some cases
constexpr int kChildSetupFailed = 255;
constexpr int kTemporaryNotPrivate = 254;

struct Identity {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
};

// What a child process ended with: the value its body returned, or the
// signal that ended it (an alarm when a call blocked).
struct ChildEnd {
    int status = -1;
    int signal = 0;
    std::string Describe() const {
        return signal != 0 ? "killed by signal " + std::to_string(signal)
                           : "returned " + std::to_string(status);
    }
};

// Runs `body` in a forked child, as `who` when given, with `mask` as its
// umask. An alarm ends a child that blocks, so a save that waits for ever
// fails instead of hanging the test.
ChildEnd InChild(const std::optional<Identity>& who, mode_t mask,
                 const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(20);
        umask(mask);
        if (who && (setgroups(who->groups.size(), who->groups.data()) != 0 ||
                    setgid(who->gid) != 0 || setuid(who->uid) != 0)) {
            _exit(kChildSetupFailed);
        }
        _exit(body() & 0xff);
    }
    ChildEnd end;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return end;
    if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

bool ProtectedSymlinks() {
    std::ifstream setting("/proc/sys/fs/protected_symlinks");
    int value = 0;
    return setting >> value && value == 1;
}

// What a folder holds, recursively: each name with its kind and content (a
// file's bytes, a link's target). FIFOs are never opened.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_symlink(status)) {
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_regular_file(status)) {
            const auto bytes = ReadBytes(entry.path().string());
            entries[name] = "file " + std::string(bytes.begin(), bytes.end());
        } else {
            entries[name] = fs::is_directory(status) ? "folder" : "other";
        }
    }
    return entries;
}

void MakeFile(const std::filesystem::path& path, const std::string& text, uid_t uid, gid_t gid,
              mode_t mode) {
    WriteBytes(path.string(), std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(chown(path.c_str(), uid, gid), 0) << path;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

void MakeLink(const std::filesystem::path& link, const char* target, uid_t uid) {
    ASSERT_EQ(symlink(target, link.c_str()), 0) << link;
    ASSERT_EQ(lchown(link.c_str(), uid, static_cast<gid_t>(-1)), 0) << link;
}

void MakeFolder(const std::filesystem::path& path, uid_t uid, mode_t mode) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
    ASSERT_EQ(chown(path.c_str(), uid, static_cast<gid_t>(-1)), 0) << path;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

TEST(SafeSave, ASaveThroughALinkSucceedsOnlyWhereOpeningTheLinkToWriteWould) {
    const bool root = geteuid() == 0;
    const uid_t self = geteuid();
    const gid_t selfGroup = getegid();
    const bool protectedLinks = ProtectedSymlinks();
    const struct {
        const char* label;
        bool asSaver;  // set up with other owners and saved as kSaver (needs root)
        std::function<void(const std::filesystem::path&)> prepare;
        std::string saved;     // the name saved to
        int expected;          // errno, or 0 when `replaced` gets the new bytes
        std::string replaced;  // for a save that goes through
        // Makes `saved` a link to this name just before the save opens it.
        const char* relinkedTo = nullptr;
    } cases[] = {
        {"the user's link to a file the user may write", false,
         [&](const std::filesystem::path& f) {
             MakeFile(f / "real.bmp", "old", self, selfGroup, 0644);
             MakeLink(f / "link.bmp", "real.bmp", self);
         },
         "link.bmp", 0, "real.bmp"},
        {"a link into a subfolder: the temporary is made beside the file", false,
         [&](const std::filesystem::path& f) {
             MakeFolder(f / "sub", self, 0755);
             MakeFile(f / "sub/real.bmp", "old", self, selfGroup, 0600);
             MakeLink(f / "link.bmp", "sub/real.bmp", self);
         },
         "link.bmp", 0, "sub/real.bmp"},
        {"a dangling link", false,
         [&](const std::filesystem::path& f) { MakeLink(f / "link.bmp", "missing.bmp", self); },
         "link.bmp", ENOENT, ""},
        {"a FIFO", false,
         [](const std::filesystem::path& f) { ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0666), 0); },
         "pipe", EISDIR, ""},
        {"a link to a FIFO", false,
         [&](const std::filesystem::path& f) {
             ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0666), 0);
             MakeLink(f / "link.bmp", "pipe", self);
         },
         "link.bmp", EISDIR, ""},
        {"a link pointed elsewhere before it is opened", false,
         [&](const std::filesystem::path& f) {
             MakeFile(f / "a.bmp", "old a", self, selfGroup, 0644);
             MakeFile(f / "b.bmp", "old b", self, selfGroup, 0644);
             MakeLink(f / "link.bmp", "a.bmp", self);
         },
         "link.bmp", EAGAIN, "", "b.bmp"},
        {"a file made a link before it is opened", false,
         [&](const std::filesystem::path& f) {
             MakeFile(f / "plain.bmp", "old", self, selfGroup, 0644);
             MakeFile(f / "b.bmp", "old b", self, selfGroup, 0644);
         },
         "plain.bmp", EAGAIN, "", "b.bmp"},
        {"a link pointed at a FIFO before it is opened", false,
         [&](const std::filesystem::path& f) {
             MakeFile(f / "a.bmp", "old a", self, selfGroup, 0644);
             ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0666), 0);
             MakeLink(f / "link.bmp", "a.bmp", self);
         },
         "link.bmp", ENXIO, "", "pipe"},
        {"a link to a file the user may not write, in a folder the user may write", true,
         [](const std::filesystem::path& f) {
             MakeFolder(f / "mine", kSaver, 0755);
             MakeFile(f / "mine/locked.bmp", "old", 0, 0, 0644);
             MakeLink(f / "mine/link.bmp", "locked.bmp", kSaver);
         },
         "mine/link.bmp", EACCES, ""},
        {"another user's link in a sticky world-writable folder", true,
         [](const std::filesystem::path& f) {
             MakeFolder(f / "sticky", 0, 01777);
             MakeFile(f / "sticky/target.bmp", "old", kSaver, kSaverGroup, 0644);
             MakeLink(f / "sticky/link.bmp", "target.bmp", kOther);
         },
         // The kernel follows such a link only where its protection is off.
         "sticky/link.bmp", protectedLinks ? EACCES : 0, protectedLinks ? "" : "sticky/target.bmp"},
        {"the user's own link in a sticky world-writable folder", true,
         [](const std::filesystem::path& f) {
             MakeFolder(f / "sticky", 0, 01777);
             MakeFile(f / "sticky/target.bmp", "old", kSaver, kSaverGroup, 0644);
             MakeLink(f / "sticky/link.bmp", "target.bmp", kSaver);
         },
         "sticky/link.bmp", 0, "sticky/target.bmp"},
    };
    const std::vector<uint8_t> newBytes = NewBytes();
    for (const auto& c : cases) {
        if (c.asSaver && !root) continue;  // other owners need root to set up
        ScratchFolder folder;
        ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
        c.prepare(folder.path());
        auto expected = Snapshot(folder.path());
        const std::string saved = folder.File(c.saved);
        const auto saver = c.asSaver ? std::optional<Identity>({kSaver, kSaverGroup, {}})
                                     : std::optional<Identity>();
        const ChildEnd end = InChild(saver, 022, [&] {
            FailingFileSystem calls;
            calls.writePiece = SIZE_MAX;
            if (c.relinkedTo != nullptr) {
                calls.beforeOpeningTarget = [&] {
                    const std::string moved = saved + ".new";
                    if (symlink(c.relinkedTo, moved.c_str()) != 0 ||
                        rename(moved.c_str(), saved.c_str()) != 0) {
                        _exit(kChildSetupFailed);
                    }
                };
            }
            return ReplaceFile(saved, newBytes, calls);
        });
        EXPECT_EQ(end.signal, 0) << c.label << ": " << end.Describe();
        EXPECT_EQ(end.status, c.expected) << c.label << ": " << end.Describe();
        if (c.relinkedTo != nullptr) expected[c.saved] = std::string("link to ") + c.relinkedTo;
        if (!c.replaced.empty()) {
            expected[c.replaced] = "file " + std::string(newBytes.begin(), newBytes.end());
        }
        EXPECT_EQ(Snapshot(folder.path()), expected) << c.label;
    }
}

TEST(SafeSave, TheTemporaryIsPrivateAndTheFileKeepsItsModeOwnerAndGroup) {
    const bool root = geteuid() == 0;
    const uid_t self = geteuid();
    const gid_t selfGroup = getegid();
    const struct {
        const char* label;
        std::optional<Identity> saver;  // nullopt: ourselves; given: needs root
        bool existing;
        uid_t uid;  // the old file's owner, group and mode
        gid_t gid;
        mode_t mode;
        mode_t mask;  // the saver's umask
        uid_t expectedUid;
        gid_t expectedGid;
        mode_t expectedMode;
    } cases[] = {
        {"a new file, umask 022", std::nullopt, false, 0, 0, 0, 022, self, selfGroup, 0644},
        {"a new file, umask 027", std::nullopt, false, 0, 0, 0, 027, self, selfGroup, 0640},
        {"a new file, umask 0", std::nullopt, false, 0, 0, 0, 0, self, selfGroup, 0666},
        {"an existing 0640 file, umask 077", std::nullopt, true, self, selfGroup, 0640, 077, self,
         selfGroup, 0640},
        {"an existing 0604 file", std::nullopt, true, self, selfGroup, 0604, 022, self, selfGroup,
         0604},
        {"another user's file saved by root", Identity{0, 0, {}}, true, kOther, kOtherGroup, 0640,
         022, kOther, kOtherGroup, 0640},
        {"another user's file in a group of the saver: the group is kept",
         Identity{kSaver, kSaverGroup, {kSharedGroup}}, true, kOther, kSharedGroup, 0664, 022,
         kSaver, kSharedGroup, 0664},
        {"another user's file in a foreign group: saved with the saver's own",
         Identity{kSaver, kSaverGroup, {}}, true, kOther, kOtherGroup, 0666, 022, kSaver,
         kSaverGroup, 0666},
    };
    for (const auto& c : cases) {
        if (c.saver && !root) continue;
        ScratchFolder folder;
        ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
        std::filesystem::path shared = folder.path() / "shared";
        ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
        const std::string path = (shared / "image.bmp").string();
        if (c.existing) MakeFile(path, "old", c.uid, c.gid, c.mode);
        const ChildEnd end = InChild(c.saver, c.mask, [&] {
            FailingFileSystem calls;
            const int result = ReplaceFile(path, NewBytes(), calls);
            return result == 0 && calls.temporaryWasShared ? kTemporaryNotPrivate : result;
        });
        EXPECT_EQ(end.signal, 0) << c.label << ": " << end.Describe();
        EXPECT_EQ(end.status, 0) << c.label << ": " << end.Describe();
        struct stat info {};
        ASSERT_EQ(lstat(path.c_str(), &info), 0) << c.label;
        EXPECT_EQ(info.st_mode & 07777, c.expectedMode) << c.label;
        EXPECT_EQ(info.st_uid, c.expectedUid) << c.label;
        EXPECT_EQ(info.st_gid, c.expectedGid) << c.label;
        EXPECT_EQ(ReadBytes(path), NewBytes()) << c.label;
        EXPECT_EQ(Snapshot(shared).size(), 1u) << c.label << ": no temporary left";
    }
}

}  // namespace
}  // namespace tarvil::testing
