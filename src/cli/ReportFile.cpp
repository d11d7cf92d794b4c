// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ReportFile.h"

#include "platform/FilePath.h"
#include "platform/FileReplace.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

// The folder a report at `path` is replaced in, absolute: renaming works only within it.
fs::path folderOf(const fs::path& path) {
    return fs::absolute(path).lexically_normal().parent_path();
}

} // namespace

Result<std::string, std::error_code> readTextFile(const std::string& utf8Path) {
    const fs::path path = filePath(utf8Path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return Failure{std::error_code(errno, std::generic_category())};
    }
    if (std::error_code ignored; fs::is_directory(path, ignored)) {
        return Failure{std::make_error_code(std::errc::is_a_directory)}; // opens, but reads as nothing
    }
    std::string text{std::istreambuf_iterator<char>(file), {}};
    if (file.bad()) {
        return Failure{std::error_code(errno, std::generic_category())};
    }
    return text;
}

Status<std::error_code> replaceReport(const std::string& path, const std::string& text) {
    // A link stays a link: the file it points to is the one replaced.
    fs::path target = filePath(path);
    if (std::error_code ec; fs::is_symlink(target, ec)) {
        target = fs::canonical(target, ec);
        if (ec) {
            return Failure{ec};
        }
    }
    if (const auto replaced = files::replaceFile(folderOf(target) / target.filename(), text); !replaced) {
        return Failure{replaced.error()};
    }
    return Done{};
}

std::string reportProblemText(const ReportProblem& problem) {
    switch (problem.error) {
    case ReportError::Unreadable:
        return "cannot be read: " + problem.reason.message();
    case ReportError::NotReport:
        return "is not " + problem.what;
    case ReportError::IsFolder:
        return "is a folder";
    case ReportError::IsInput:
        return "is " + problem.what + "; the report would replace it";
    case ReportError::ExistsUnreadable:
        return "exists but cannot be read: " + problem.reason.message();
    case ReportError::ExistsNotReport:
        return "exists and is not " + problem.what + "; it would be replaced";
    case ReportError::NoFolder:
        return "cannot be written: there is no folder " + pathText(problem.folder);
    case ReportError::FolderClosed:
        return "cannot be written in " + pathText(problem.folder) + ": " + problem.reason.message();
    }
    return {};
}

Result<nlohmann::json, ReportProblem> readReport(const std::string& path, ReportKind kind) {
    const auto text = readTextFile(path);
    if (!text) {
        return Failure{ReportProblem{ReportError::Unreadable, {}, text.error(), {}}};
    }
    nlohmann::json doc = nlohmann::json::parse(*text, nullptr, false);
    if (doc.is_discarded() || !kind.isReport(doc)) {
        return Failure{ReportProblem{ReportError::NotReport, std::string(kind.what), {}, {}}};
    }
    return doc;
}

Result<std::optional<nlohmann::json>, ReportProblem> readEarlierReport(const std::string& path,
                                                                       ReportKind kind) {
    if (std::error_code ec; !fs::exists(filePath(path), ec)) {
        return std::optional<nlohmann::json>();
    }
    auto read = readReport(path, kind);
    if (!read) {
        return Failure{read.error()};
    }
    return std::optional(std::move(*read));
}

Status<ReportProblem> checkWritable(const std::string& utf8Path,
                                    const std::vector<std::pair<std::string, std::string>>& inputs,
                                    ReportKind kind) {
    const fs::path path = filePath(utf8Path);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return Failure{ReportProblem{ReportError::IsFolder, {}, {}, {}}};
    }
    if (fs::exists(path, ec)) {
        for (const auto& [input, what] : inputs) {
            if (!input.empty() && fs::equivalent(path, filePath(input), ec)) {
                return Failure{ReportProblem{ReportError::IsInput, what, {}, {}}};
            }
        }
        // What cannot be read cannot be told from a document of the operator's: it is not replaced.
        if (const auto read = readReport(utf8Path, kind); !read) {
            if (read.error().error == ReportError::Unreadable) {
                return Failure{ReportProblem{ReportError::ExistsUnreadable, {}, read.error().reason, {}}};
            }
            if (fs::file_size(path, ec) > 0 && !ec) {
                return Failure{ReportProblem{ReportError::ExistsNotReport, read.error().what, {}, {}}};
            }
        }
    }
    // The report is replaced by renaming a new file in its folder: that must work there.
    const fs::path folder = folderOf(path);
    if (!fs::is_directory(folder, ec)) {
        return Failure{ReportProblem{ReportError::NoFolder, {}, {}, folder}};
    }
    if (const auto probe = files::canCreateIn(folder); !probe) {
        return Failure{ReportProblem{ReportError::FolderClosed, {}, probe.error(), folder}};
    }
    return Done{};
}

} // namespace fw::cli
