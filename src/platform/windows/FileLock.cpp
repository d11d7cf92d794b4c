// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileLock.h"

#include <array>
#include <windows.h>

namespace fw::files {

Result<FileLock, std::error_code> FileLock::take(const std::filesystem::path& lockFile,
                                                 const std::string& holder) {
    const std::string owner = holder + " (process " + std::to_string(GetCurrentProcessId()) + ")";
    // Shared for reading only, so ownerOf can say who holds it; a second writer gets a sharing
    // violation.
    const HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            return Failure{std::make_error_code(std::errc::device_or_resource_busy)};
        }
        return Failure{std::error_code(static_cast<int>(error), std::system_category())};
    }
    DWORD written = 0;
    SetEndOfFile(h);
    WriteFile(h, owner.data(), static_cast<DWORD>(owner.size()), &written, nullptr);
    FlushFileBuffers(h);
    return FileLock(reinterpret_cast<std::intptr_t>(h));
}

std::string FileLock::ownerOf(const std::filesystem::path& lockFile) {
    const HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::array<char, 256> text{};
    DWORD n = 0;
    const bool ok = ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) != 0;
    CloseHandle(h);
    return ok ? std::string(text.data(), n) : std::string();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNone) {
            CloseHandle(reinterpret_cast<HANDLE>(handle_));
        }
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

FileLock::~FileLock() {
    if (handle_ != kNone) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

} // namespace fw::files
