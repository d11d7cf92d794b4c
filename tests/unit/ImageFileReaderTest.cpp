// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ImageFileReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

TEST(ImageFileReader, ReadsRegularFilesOnlyAndStopsOneByteOverTheLimit) {
    QTemporaryDir dir;
    auto path = [&](const char* name) {
        return dir.filePath(name).toStdString();
    };
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    };
    const auto small = write("fw.bin", QByteArray::fromHex("00014150ff"));
    EXPECT_EQ(readImageFile(small, 100).bytes, (std::vector<std::uint8_t>{0, 1, 'A', 'P', 0xFF}));
    const auto big = write("big.bin", QByteArray(200000, 'x'));
    EXPECT_EQ(readImageFile(big, 10).bytes.size(), 11u);
    EXPECT_EQ(readImageFile(big, 200000).bytes.size(), 200000u);

    ASSERT_EQ(::symlink(small.c_str(), path("link.bin").c_str()), 0);
    QDir(dir.path()).mkdir("folder.bin");
    ASSERT_EQ(::mkfifo(path("fifo.bin").c_str(), 0600), 0); // must be refused, not block the window
    using S = ImageFile::State;
    for (const auto& [p, state] :
         {std::pair{write("empty.bin", {}), S::Read}, std::pair{path("link.bin"), S::Read},
          std::pair{path("none.bin"), S::Missing}, std::pair{path("folder.bin"), S::Unreadable},
          std::pair{path("fifo.bin"), S::Unreadable}}) {
        const ImageFile read = readImageFile(p, 1000);
        EXPECT_EQ(read.state, state) << p;
        EXPECT_EQ(read.reason.empty(), state != S::Unreadable) << p; // the operator is told why
    }
    if (geteuid() != 0) { // root reads every file
        const auto locked = write("locked.bin", "abc");
        QFile::setPermissions(QString::fromStdString(locked), QFileDevice::WriteOwner);
        EXPECT_EQ(readImageFile(locked, 1000).reason, std::strerror(EACCES));
    }
}

} // namespace
} // namespace fw
