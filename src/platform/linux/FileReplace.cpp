// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileReplace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw::files {
namespace {

namespace fs = std::filesystem;

std::error_code lastError(int error = errno) {
    return {error, std::generic_category()};
}

// A new file in `folder` that no one else has opened: its descriptor and name.
std::pair<int, fs::path> createTemporary(const fs::path& folder) {
    for (unsigned n = 0;; ++n) {
        const fs::path name =
            folder / (".fernwick-report-" + std::to_string(::getpid()) + "-" + std::to_string(n));
        // 0666 less the umask, as any new file of the user's.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return {fd, name};
        }
    }
}

} // namespace

Status<std::error_code> replaceFile(const fs::path& path, const std::string& text) {
    const auto [fd, temporary] = createTemporary(path.parent_path());
    if (fd < 0) {
        return Failure{lastError()};
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777); // the report keeps its permissions
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int reason = ok ? errno : error;
        ::unlink(temporary.c_str());
        return Failure{lastError(reason)};
    }
    // The rename itself is on the disk only once the folder is.
    if (const int folder = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Done{};
}

Status<std::error_code> canCreateIn(const fs::path& folder) {
    const auto [fd, probe] = createTemporary(folder);
    if (fd < 0) {
        return Failure{lastError()};
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return Done{};
}

} // namespace fw::files
