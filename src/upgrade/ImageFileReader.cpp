// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/ImageFileReader.h"

#include <QFile>
#include <QFileInfo>

namespace fw {

ImageFile readImageFile(const std::string& path, std::size_t limit) {
    ImageFile out;
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    if (!info.exists()) {
        return out; // Missing
    }
    out.state = ImageFile::State::Unreadable;
    if (!info.isFile()) {
        return out;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return out;
    }
    const std::size_t wanted = limit + 1;
    std::vector<std::uint8_t> bytes(std::min<std::size_t>(wanted, static_cast<std::size_t>(info.size())));
    std::size_t got = 0;
    // The file may grow or shrink while it is read; what was read is what is sent.
    while (got < wanted) {
        if (got == bytes.size()) {
            bytes.resize(std::min(wanted, bytes.size() + 65536));
        }
        const qint64 n =
            file.read(reinterpret_cast<char*>(bytes.data() + got), static_cast<qint64>(bytes.size() - got));
        if (n < 0) {
            return out;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    out.bytes = std::move(bytes);
    out.state = ImageFile::State::Read;
    return out;
}

} // namespace fw
