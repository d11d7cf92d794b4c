// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ImageFileReader.h"

#include "platform/FilePath.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fw {

ImageFile readImageFile(const std::string& utf8Path, std::size_t limit) {
    const std::filesystem::path path = filePath(utf8Path);
    ImageFile out;
    std::error_code error;
    const auto status = std::filesystem::status(path, error); // follows a link, as the file is read
    if (!std::filesystem::exists(status) && error != std::errc::permission_denied) {
        return out; // Missing
    }
    out.state = ImageFile::State::Unreadable;
    if (error == std::errc::permission_denied) {
        out.reason = error.message(); // a folder on the way that cannot be entered
        return out;
    }
    if (std::filesystem::is_directory(status)) {
        out.reason = std::make_error_code(std::errc::is_a_directory).message();
        return out;
    }
    if (!std::filesystem::is_regular_file(status)) {
        out.reason = "not a regular file"; // a FIFO would block, a device never ends
        return out;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        out.reason = errno != 0 ? std::strerror(errno) : "cannot be opened";
        return out;
    }
    const std::size_t wanted = limit + 1;
    std::vector<std::uint8_t> bytes;
    // The file may grow or shrink while it is read; what was read is what is sent.
    while (bytes.size() < wanted && file) {
        const std::size_t got = bytes.size();
        bytes.resize(std::min(wanted, got + 65536));
        file.read(reinterpret_cast<char*>(bytes.data() + got),
                  static_cast<std::streamsize>(bytes.size() - got));
        bytes.resize(got + static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        out.reason = errno != 0 ? std::strerror(errno) : "read error";
        return out;
    }
    out.bytes = std::move(bytes);
    out.state = ImageFile::State::Read;
    return out;
}

} // namespace fw
