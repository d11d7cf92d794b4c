// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <filesystem>
#include <string>
#include <system_error>

// Replacing a file whole, so that a reader sees the old text or the new and never a part: one
// implementation per system (linux/FileReplace.cpp, windows/FileReplace.cpp). The error is the
// system's own code; its message() is the system's reason.
namespace fw::files {

// Replaces `path` by a file holding `text`, or leaves it as it was: written to a new file beside
// it, flushed to the disk, then renamed over it.
Status<std::error_code> replaceFile(const std::filesystem::path& path, const std::string& text);
// Whether a new file can be made in folder (as replaceFile makes one).
Status<std::error_code> canCreateIn(const std::filesystem::path& folder);

} // namespace fw::files
