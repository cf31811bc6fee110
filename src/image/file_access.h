// Reading and replacing whole files for LOADIMAGE and SAVEIMAGE.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvil {

struct FileRead {
    enum class Status { Ok, Unreadable, NoMemory };
    Status status = Status::Unreadable;
    std::vector<uint8_t> bytes;
};

// Reads a regular file opened read-only (read-only files load). Anything else
// (a directory, a FIFO, a device) and files beyond 4 GiB, which no BMP file
// reaches, are Unreadable.
FileRead ReadFileBytes(const std::string& path);

// Replaces `path` by a file holding `bytes`: written to a temporary file in the
// same folder, flushed, and renamed over the target, which keeps its mode bits
// (a symbolic link is followed to its file). Any failure leaves the old file as
// it was and no temporary behind. An existing target must be a regular file we
// may write; read-only files are not replaced.
bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace tarvil
