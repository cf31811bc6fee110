// Replacing a file (SAVEIMAGE and the editor's Save) with a failure injected at
// each call in turn: the old file stays byte-identical, no temporary is left,
// and the failure's errno comes back; through the SAVEIMAGE handler the run
// stops with its writing error. (SAVEIMAGE's message on real failures is
// pinned in bmp_file_test.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
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
            EXPECT_EQ(result, EIO) << label;
            EXPECT_EQ(folder.Names(), namesBefore) << label;
            if (targetExists) {
                EXPECT_EQ(ReadBytes(path), kOld) << label;
            }
        }
        // 100 bytes in pieces of 16 are seven writes.
        std::set<FsCall> expected = {FsCall::Open, FsCall::Write, FsCall::Fsync, FsCall::Close,
                                     FsCall::Rename};
        if (targetExists) expected.insert({FsCall::Access, FsCall::Fchmod});
        EXPECT_EQ(failedKinds, expected);
        EXPECT_EQ(failAt, (targetExists ? 13 : 11) + 1);
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
        {"target read-only", FsCall::Access, EACCES},
        {"folder not writable", FsCall::Open, EACCES},
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
        EXPECT_EQ(result, EIO) << calls.Trace();
        EXPECT_EQ(ReadBytes(path), kOld) << calls.Trace();
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"pieces.bmp"}) << calls.Trace();
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
            EXPECT_EQ(message, "Error: Writing image '" + path + "'") << label;
            EXPECT_EQ(folder.Names(), namesBefore) << label;
            if (targetExists) {
                EXPECT_EQ(ReadBytes(path), kOld) << label;
            }
        }
        std::set<FsCall> expected = {FsCall::Open, FsCall::Write, FsCall::Fsync, FsCall::Close,
                                     FsCall::Rename};
        if (targetExists) expected.insert({FsCall::Access, FsCall::Fchmod});
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
        {"target read-only", FsCall::Access, EACCES, false},
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

}  // namespace
}  // namespace tarvil::testing
