#include "upgrade/ImageFileReader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace fw {
namespace {

class Reader : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    std::string write(const char* name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
};

TEST_F(Reader, ReadsARegularFileWhole) {
    const auto p = write("fw.bin", QByteArray("\x00\x01"
                                              "AP Config"
                                              "\xff",
                                              12));
    const ImageFile f = readImageFile(p, 100);
    EXPECT_EQ(f.state, ImageFile::State::Read);
    EXPECT_EQ(f.bytes, (std::vector<std::uint8_t>{0, 1, 'A', 'P', ' ', 'C', 'o', 'n', 'f', 'i', 'g', 0xFF}));
    EXPECT_EQ(readImageFile(write("empty.bin", {}), 100).state, ImageFile::State::Read);
}

TEST_F(Reader, StopsOneByteOverTheLimit) {
    const auto p = write("big.bin", QByteArray(200000, 'x'));
    EXPECT_EQ(readImageFile(p, 10).bytes.size(), 11u);
    EXPECT_EQ(readImageFile(p, 150000).bytes.size(), 150001u);
    EXPECT_EQ(readImageFile(p, 200000).bytes.size(), 200000u);
}

TEST_F(Reader, TellsMissingFromUnreadable) {
    struct Row {
        std::string path;
        ImageFile::State state;
    };
    const auto target = write("real.bin", "abc");
    ASSERT_EQ(::symlink(target.c_str(), path("link.bin").c_str()), 0);
    ASSERT_EQ(::symlink(path("gone.bin").c_str(), path("dangling.bin").c_str()), 0);
    QDir(dir.path()).mkdir("folder.bin");
    for (const Row& r :
         {Row{path("nothing.bin"), ImageFile::State::Missing},
          Row{path("dangling.bin"), ImageFile::State::Missing},
          Row{path("folder.bin"), ImageFile::State::Unreadable},
          Row{"/dev/zero", ImageFile::State::Unreadable}, Row{path("link.bin"), ImageFile::State::Read}}) {
        const ImageFile f = readImageFile(r.path, 1000);
        EXPECT_EQ(f.state, r.state) << r.path;
        if (r.state != ImageFile::State::Read) {
            EXPECT_TRUE(f.bytes.empty());
        }
    }
}

TEST_F(Reader, FileWithoutReadPermissionIsUnreadable) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    const auto p = write("locked.bin", "abc");
    QFile::setPermissions(QString::fromStdString(p), QFileDevice::WriteOwner);
    EXPECT_EQ(readImageFile(p, 1000).state, ImageFile::State::Unreadable);
}

} // namespace
} // namespace fw
