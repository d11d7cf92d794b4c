// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileLock.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fw::files {

Result<FileLock, std::error_code> FileLock::take(const std::filesystem::path& lockFile,
                                                 const std::string& holder) {
    const std::string owner = holder + " (process " + std::to_string(::getpid()) + ")";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return Failure{std::error_code(errno, std::generic_category())};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return Failure{error == EWOULDBLOCK ? std::make_error_code(std::errc::device_or_resource_busy)
                                            : std::error_code(error, std::generic_category())};
    }
    // Only the holder writes it; a reader of a half-written owner just names no one.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto n = ::pwrite(fd, owner.data(), owner.size(), 0);
    }
    return FileLock(fd);
}

std::string FileLock::ownerOf(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::array<char, 256> text{};
    const auto n = ::read(fd, text.data(), text.size());
    ::close(fd);
    return n > 0 ? std::string(text.data(), static_cast<std::size_t>(n)) : std::string();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNone) {
            ::close(static_cast<int>(handle_));
        }
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

FileLock::~FileLock() {
    if (handle_ != kNone) {
        ::close(static_cast<int>(handle_)); // releases the flock
    }
}

} // namespace fw::files
