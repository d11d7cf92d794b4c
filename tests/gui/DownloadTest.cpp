// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Download.h"

#include "qt/PathBox.h"
#include "support/Fakes.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace fw::test {
namespace {

const Ipv4 kDevice{{10, 0, 0, 20}}, kAdapter{{10, 0, 0, 1}};

class DownloadDialog : public ::testing::Test {
protected:
    FakePlatform fakes;
    Platform platform = fakes.platform();
    UpgradeDialog::Opening values{
        {"", kDevice, {}}, DeviceKind::AccessPoint, kAdapter}; // the picked device, an AP
    UploadCarryOver carry;
    QTemporaryDir dir;
    std::unique_ptr<Download> dlg = std::make_unique<Download>(platform, fakes.link(), values, carry);

    void SetUp() override { dlg->show(); }

    template <typename T = QWidget> T* child(const char* name) const { return dlg->findChild<T*>(name); }
    PathBox* pathBox() const { return child<PathBox>("Combo1"); }
    QPushButton* ok() const { return child<QPushButton>("Command1"); }
    QString percent() const { return child<QLabel>("Label1")->text(); }
    bool selectionView() const {
        return pathBox()->isVisible() && ok()->isVisible() && !child("ProgressBar1")->isVisible();
    }
    std::string image(const char* name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return dir.filePath(name).toStdString();
    }
    void okWith(const std::string& path) {
        pathBox()->setEditText(QString::fromStdString(path));
        QTest::mouseClick(ok(), Qt::LeftButton);
        fakes.settle(); // the engine's thread reads and checks the image
    }
};

TEST_F(DownloadDialog, DropDownOpensTheFileDialogAndCancelKeepsTheText) {
    pathBox()->setEditText("/typed/by/hand.bin");
    pathBox()->showPopup();
    EXPECT_EQ(fakes.files.calls, 1);
    EXPECT_EQ(pathBox()->currentText(), "/typed/by/hand.bin");
    fakes.files.answer = "/chosen/fw.bin";
    pathBox()->showPopup();
    EXPECT_EQ(pathBox()->currentText(), "/chosen/fw.bin");
    QTest::mouseClick(ok(), Qt::LeftButton);
    fakes.settle();
    EXPECT_EQ(fakes.messages.texts(),
              std::vector<std::string>{"This file not exist."}); // OK checks the chosen path
    EXPECT_EQ(pathBox()->count(), 0);                            // no history
}

TEST_F(DownloadDialog, RefusalsKeepTheSelectionViewAndSendNothing) {
    QFile::resize(QString::fromStdString(image("big.bin", "")), 16776704);
    fakes.messages.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Cancel};
    for (const auto& path : {dir.filePath("none.bin").toStdString(), dir.filePath("big.bin").toStdString(),
                             image("bridge.bin", "Bridge Config")}) {
        okWith(path);
        EXPECT_TRUE(selectionView()) << path;
    }
    EXPECT_EQ(fakes.messages.texts(),
              (std::vector<std::string>{
                  "This file not exist.",
                  "The image is too large for a TFTP transfer. The largest image is 16776703 bytes.",
                  "This is a ethernet adapter Firmware, do you really want to update?"}));
    EXPECT_EQ(fakes.bindCount(), 0);
    EXPECT_TRUE(fakes.calls.list().empty());
}

TEST_F(DownloadDialog, OkSendsTheHandshakeAndStartsTheSequenceOnce) {
    okWith(image("other.bin", "no marker here")); // the question is answered OK
    EXPECT_TRUE(!pathBox()->isVisible() && !ok()->isVisible() && child("ProgressBar1")->isVisible());
    EXPECT_EQ(percent(), "0%");
    fakes.settle();
    EXPECT_EQ(fakes.openCount(), 2u); // port 14321, and the handshake's
    const auto sent = fakes.sent();
    ASSERT_EQ(sent.size(), 1u); // the handshake, from a free port
    EXPECT_NE(sent[0].from.port, 14321);
    EXPECT_EQ(sent[0].to, (UdpAddress{kDevice, 4000}));
    EXPECT_EQ(sent[0].bytes.size(), 52u);
    EXPECT_EQ(fakes.calls.list().front(), "flush 10.0.0.20");
    QTest::keyClick(pathBox()->lineEdit(), Qt::Key_Return); // no second upgrade
    fakes.settle();
    EXPECT_EQ(fakes.bindCount(), 2);
}

TEST_F(DownloadDialog, EscapeLeavesTheUpgradeRunningAndTheCloseButtonStopsIt) {
    okWith(image("ap.bin", "AP Config"));
    QTest::keyClick(dlg->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(fakes.openCount(), 2u);
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(fakes.openCount(), 0u);
}

// Enter, wherever the progress view's focus is, neither stops the upload nor asks.
TEST_F(DownloadDialog, EnterInTheProgressViewLeavesTheUploadRunning) {
    okWith(image("ap.bin", "AP Config"));
    QTest::keyClick(dlg->focusWidget() != nullptr ? dlg->focusWidget() : dlg.get(), Qt::Key_Return);
    QTest::keyClick(child("Command2"), Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(fakes.openCount(), 2u);
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(DownloadDialog, ClosedWhileAQuestionIsOpenOrDestroyedMidSequenceLeavesNothing) {
    fakes.messages.onShow = [this](const Message&) {
        dlg->reject();
    };
    okWith(image("none.bin", "no marker"));
    EXPECT_EQ(fakes.bindCount(), 0);

    dlg = std::make_unique<Download>(platform, fakes.link(), values, carry);
    okWith(image("ap.bin", "AP Config"));
    dlg.reset();
    EXPECT_EQ(fakes.openCount(), 0u);
    QTest::qWait(1200); // no timer may fire into the destroyed dialog
    EXPECT_EQ(fakes.sent().size(), 1u) << "only the handshake: no write request after Cancel";
}

// Another program on port 14321: said at once, not "Time Out" after half a minute, and no handshake.
TEST_F(DownloadDialog, PortHeldByAnotherProgramIsSaidAtOnceAndNothingIsSent) {
    fakes.refuse("10.0.0.1", 14321, std::errc::address_in_use);
    okWith(image("ap.bin", "AP Config"));
    fakes.settle();
    EXPECT_EQ(
        fakes.messages.texts(),
        std::vector<std::string>{
            "Local port 14321 is in use by another program, so no firmware can be sent from 10.0.0.1."});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(fakes.sent().empty());
}

// The one test that waits out the 13-second start sequence.
TEST_F(DownloadDialog, UploadRunsToItsEndAndClosesTheDialog) {
    QByteArray bytes(600, 'x');
    bytes.replace(0, 9, "AP Config");
    okWith(image("ap.bin", bytes));
    // The handshake, then the two write requests.
    ASSERT_TRUE(QTest::qWaitFor([&] { return fakes.sent().size() == 3; }, 16000));
    auto ack = [&](std::uint8_t block) {
        fakes.deliver({kAdapter, 14321}, {kDevice, 40001}, {0, 4, 0, block});
    };
    ack(0);
    ack(1);
    ASSERT_EQ(fakes.sent().size(), 5u);
    EXPECT_EQ(percent(), "86%"); // byte 513 of 600, hundredth 6: 85.5 to even
    fakes.messages.onShow = [this](const Message&) {
        EXPECT_EQ(percent(), "100");
    };
    ack(2);
    EXPECT_EQ(fakes.messages.texts(), std::vector<std::string>{"Data transmit finish"});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(fakes.openCount(), 0u);
}

} // namespace
} // namespace fw::test
