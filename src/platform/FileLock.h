// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace fw::files {

// An exclusive lock on a lock file, held while the object lives and released when the process ends
// however it ends: a second process asking for it is refused at once, with
// std::errc::device_or_resource_busy. One implementation per system (linux/FileLock.cpp: flock;
// windows/FileLock.cpp: a handle opened without sharing).
class FileLock {
public:
    // Makes the lock file when there is none, and writes "HOLDER (process N)" into it for the
    // refused to read.
    static Result<FileLock, std::error_code> take(const std::filesystem::path& lockFile,
                                                  const std::string& holder);
    // What the holder wrote, or nothing when it cannot be read.
    static std::string ownerOf(const std::filesystem::path& lockFile);

    FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

private:
    static constexpr std::intptr_t kNone = -1;
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = kNone; // the descriptor, or the HANDLE
};

} // namespace fw::files
