// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ReportFile.h"

#include "cli/DeviceReport.h"
#include "platform/FilePath.h"
#include "platform/FileReplace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

Result<std::string, std::string> readTextFile(const std::string& utf8Path) {
    const fs::path path = filePath(utf8Path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return Failure{std::string(std::strerror(errno))};
    }
    if (std::error_code ignored; fs::is_directory(path, ignored)) {
        return Failure{std::string(std::strerror(EISDIR))}; // opens, but reads as nothing
    }
    std::string text{std::istreambuf_iterator<char>(file), {}};
    if (file.bad()) {
        return Failure{std::string(std::strerror(errno))};
    }
    return text;
}

Status<std::string> replaceReport(const std::string& path, const std::string& text) {
    // A link stays a link: the file it points to is the one replaced.
    fs::path target = filePath(path);
    if (std::error_code ec; fs::is_symlink(target, ec)) {
        target = fs::canonical(target, ec);
        if (ec) {
            return Failure{ec.message()};
        }
    }
    if (const auto replaced = files::replaceFile(folderOf(target) / target.filename(), text); !replaced) {
        return Failure{replaced.error().message()};
    }
    return Done{};
}

std::variant<nlohmann::json, std::string> readReport(const std::string& path, ReportKind kind) {
    const auto text = readTextFile(path);
    if (!text) {
        return "cannot be read: " + text.error();
    }
    nlohmann::json doc = nlohmann::json::parse(*text, nullptr, false);
    if (doc.is_discarded() || !kind.isReport(doc)) {
        return "is not " + std::string(kind.what);
    }
    return doc;
}

std::optional<std::string> reportRefusal(const std::string& utf8Path,
                                         const std::vector<std::pair<std::string, std::string>>& inputs,
                                         ReportKind kind) {
    const fs::path path = filePath(utf8Path);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return std::string("is a folder");
    }
    if (fs::exists(path, ec)) {
        for (const auto& [input, what] : inputs) {
            if (!input.empty() && fs::equivalent(path, filePath(input), ec)) {
                return "is " + what + "; the report would replace it";
            }
        }
        // What cannot be read cannot be told from a document of the operator's: it is not replaced.
        if (const auto text = readTextFile(utf8Path); !text) {
            return "exists but cannot be read: " + text.error();
        }
        const auto read = readReport(utf8Path, kind);
        if (fs::file_size(path, ec) > 0 && !ec && std::holds_alternative<std::string>(read)) {
            return "exists and " + std::get<std::string>(read) + "; it would be replaced";
        }
    }
    // The report is replaced by renaming a new file in its folder: that must work there.
    const fs::path folder = folderOf(path);
    if (!fs::is_directory(folder, ec)) {
        return "cannot be written: there is no folder " + pathText(folder);
    }
    if (const auto probe = files::canCreateIn(folder); !probe) {
        return "cannot be written in " + pathText(folder) + ": " + probe.error().message();
    }
    return std::nullopt;
}

std::string alignedLines(const std::vector<std::vector<std::string>>& lines) {
    std::vector<std::size_t> width;
    for (const auto& l : lines) {
        width.resize(std::max(width.size(), l.size()));
        for (std::size_t i = 0; i < l.size(); ++i) {
            width[i] = std::max(width[i], displayWidth(l[i]));
        }
    }
    std::string out;
    for (const auto& l : lines) {
        std::string line;
        for (std::size_t i = 0; i < l.size(); ++i) {
            line += l[i];
            if (i + 1 < l.size()) {
                line += std::string(width[i] + 2 - displayWidth(l[i]), ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out;
}

} // namespace fw::cli
