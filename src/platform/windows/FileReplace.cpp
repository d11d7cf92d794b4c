// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileReplace.h"

#include <windows.h>

namespace fw::files {
namespace {

namespace fs = std::filesystem;

std::error_code systemError(DWORD error) {
    return {static_cast<int>(error), std::system_category()};
}

// A new file beside the ones in `folder` that no one else has opened.
std::pair<HANDLE, fs::path> createTemporary(const fs::path& folder) {
    for (unsigned n = 0;; ++n) {
        const fs::path name =
            folder / (".fernwick-report-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n));
        const HANDLE h =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return {h, name};
        }
    }
}

} // namespace

Status<std::error_code> replaceFile(const fs::path& path, const std::string& text) {
    const auto [h, temporary] = createTemporary(path.parent_path());
    if (h == INVALID_HANDLE_VALUE) {
        return Failure{systemError(GetLastError())};
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
                    written == text.size() && FlushFileBuffers(h) != 0;
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok || MoveFileExW(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        const DWORD reason = ok ? GetLastError() : error;
        DeleteFileW(temporary.c_str());
        return Failure{systemError(reason)};
    }
    return Done{};
}

Status<std::error_code> canCreateIn(const fs::path& folder) {
    const auto [h, probe] = createTemporary(folder);
    if (h == INVALID_HANDLE_VALUE) {
        return Failure{systemError(GetLastError())};
    }
    CloseHandle(h);
    DeleteFileW(probe.c_str());
    return Done{};
}

} // namespace fw::files
