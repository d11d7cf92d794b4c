#include "upgrade/Download.h"
#include "support/Fakes.h"
#include "upgrade/PathBox.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace fw::test {
namespace {

const Ipv4 kDevice{{10, 0, 0, 20}};
const Ipv4 kLocal{{10, 0, 0, 1}};

class DownloadDialog : public ::testing::Test {
protected:
    FakePlatform fakes;
    Platform platform = fakes.platform();
    ProcessValues values;
    UploadCarryOver carry;
    QTemporaryDir dir;
    std::unique_ptr<Download> dlg;

    void SetUp() override {
        values.selectedDeviceIp = kDevice.toString();
        values.localAdapterIp = kLocal.toString();
        values.selectedDeviceIsAp = true;
        dlg = std::make_unique<Download>(platform, values, carry);
        dlg->show();
    }

    template <typename T> T* child(const char* name) const {
        T* w = dlg->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    PathBox* pathBox() const { return child<PathBox>("Combo1"); }
    QPushButton* ok() const { return child<QPushButton>("Command1"); }
    QPushButton* cancel() const { return child<QPushButton>("Command2"); }

    std::string image(const char* name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name).toStdString();
    }
    void typePath(const std::string& path) const { pathBox()->setEditText(QString::fromStdString(path)); }
    bool inSelectionView() const {
        return pathBox()->isVisible() && ok()->isVisible() &&
               !child<QProgressBar>("ProgressBar1")->isVisible();
    }
    std::vector<std::string> shownTexts() const {
        std::vector<std::string> out;
        for (const auto& m : fakes.messages.shown) {
            out.push_back(m.text);
        }
        return out;
    }
    FakeEndpoint* transferSocket() const {
        for (auto* e : fakes.network.alive()) {
            if (e->localPort() == 14321) {
                return e;
            }
        }
        return nullptr;
    }
};

TEST_F(DownloadDialog, OpensInTheSelectionView) {
    EXPECT_EQ(dlg->windowTitle(), "Downloading...");
    EXPECT_EQ(child<QLabel>("Label2")->text(), "Download file(*.bin)");
    EXPECT_EQ(ok()->text(), "OK");
    EXPECT_EQ(cancel()->text(), "Cancel");
    EXPECT_TRUE(inSelectionView());
    EXPECT_FALSE(child<QLabel>("Label1")->isVisible());
    EXPECT_TRUE(pathBox()->isEditable());
    EXPECT_EQ(pathBox()->currentText(), "");
    EXPECT_EQ(pathBox()->count(), 0);
    EXPECT_EQ(dlg->size(), QSize(305, 127)); // 4575 x 1905 twips
    EXPECT_EQ(pathBox()->geometry(), QRect(8, 40, 289, 19));
    EXPECT_EQ(dlg->focusWidget(), ok());
    EXPECT_EQ(ok()->nextInFocusChain(), cancel());
    EXPECT_EQ(fakes.network.created(), 0u);
}

TEST_F(DownloadDialog, EnterInAnEmptyPathBoxAsksForAPath) {
    QTest::keyClick(pathBox()->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    const Message& m = fakes.messages.shown[0];
    EXPECT_EQ(m.text, "Please keyin Path.");
    EXPECT_EQ(m.title, "Fernwick");
    EXPECT_EQ(m.icon, MessageIcon::Information);
    EXPECT_EQ(dlg->focusWidget(), pathBox());
    EXPECT_TRUE(inSelectionView());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(fakes.network.created(), 0u);
    EXPECT_TRUE(fakes.shell.calls.empty());
}

TEST_F(DownloadDialog, DropDownOpensTheFileDialog) {
    typePath("/typed/by/hand.bin");
    pathBox()->showPopup();
    EXPECT_EQ(fakes.files.calls, 1);
    EXPECT_EQ(pathBox()->currentText(), "/typed/by/hand.bin"); // cancelled: the text stays
    EXPECT_EQ(dlg->focusWidget(), ok());

    fakes.files.answer = "/chosen/fw.bin";
    pathBox()->showPopup();
    EXPECT_EQ(pathBox()->currentText(), "/chosen/fw.bin");
    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"This file not exist."}); // OK checks the chosen path
    EXPECT_EQ(pathBox()->count(), 0);                                          // no history
}

TEST_F(DownloadDialog, RefusalsKeepTheSelectionView) {
    struct Row {
        std::string path;
        bool isAp;
        MessageAnswer answer;
        std::string text;
    };
    QDir(dir.path()).mkdir("folder.bin");
    QFile big(dir.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(16776704));
    big.close();
    const auto bridge = image("bridge.bin", "...Bridge Config...");
    for (const Row& r :
         {Row{dir.filePath("none.bin").toStdString(), true, MessageAnswer::Ok, "This file not exist."},
          Row{dir.filePath("folder.bin").toStdString(), true, MessageAnswer::Ok, "This file not exist."},
          Row{dir.filePath("big.bin").toStdString(), true, MessageAnswer::Ok,
              "The image is too large for a TFTP transfer. The largest image is 16776703 bytes."},
          Row{bridge, true, MessageAnswer::Cancel,
              "This is a ethernet adapter Firmware, do you really want to update?"},
          Row{image("ap.bin", "AP Config"), false, MessageAnswer::Cancel,
              "This is a AP Firmware, do you really want to update?"}}) {
        fakes.messages.shown.clear();
        fakes.messages.answers = {r.answer};
        values.selectedDeviceIsAp = r.isAp;
        typePath(r.path);
        QTest::mouseClick(ok(), Qt::LeftButton);
        EXPECT_EQ(shownTexts(), std::vector<std::string>{r.text}) << r.path;
        EXPECT_TRUE(inSelectionView()) << r.path;
    }
    EXPECT_EQ(fakes.network.created(), 0u);
    EXPECT_TRUE(fakes.shell.calls.empty());
}

TEST_F(DownloadDialog, OkSendsTheHandshakeAndStartsTheSequence) {
    fakes.messages.answers = {MessageAnswer::Ok}; // the kind question: go ahead
    typePath(image("other.bin", "no marker here"));
    QTest::mouseClick(ok(), Qt::LeftButton);

    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_FALSE(inSelectionView());
    EXPECT_FALSE(pathBox()->isVisible());
    EXPECT_FALSE(ok()->isVisible());
    EXPECT_TRUE(child<QProgressBar>("ProgressBar1")->isVisible());
    EXPECT_EQ(child<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_EQ(child<QLabel>("Label1")->text(), "0%");
    EXPECT_EQ(dlg->windowTitle(), "Downloading...");

    const auto sockets = fakes.network.alive();
    ASSERT_EQ(sockets.size(), 2u);
    FakeEndpoint* handshake = sockets[0];
    EXPECT_EQ(handshake->localAddress(), kLocal);
    EXPECT_NE(handshake->localPort(), 14321);
    ASSERT_EQ(handshake->sent.size(), 1u);
    EXPECT_EQ(handshake->sent[0].to, kDevice);
    EXPECT_EQ(handshake->sent[0].port, 4000);
    EXPECT_EQ(handshake->sent[0].bytes.size(), 52u);
    EXPECT_EQ(transferSocket(), sockets[1]);
    EXPECT_EQ(transferSocket()->localAddress(), kLocal);
    EXPECT_TRUE(transferSocket()->sent.empty()); // the first request waits a second
    EXPECT_EQ(fakes.shell.calls.front(), "flush 10.0.0.20");

    // Enter or OK again does not start a second upgrade.
    QTest::keyClick(pathBox()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(fakes.network.created(), 2u);
}

TEST_F(DownloadDialog, CancelDuringTheStartSequenceClosesCleanly) {
    typePath(image("ap.bin", "AP Config"));
    QTest::mouseClick(ok(), Qt::LeftButton);
    FakeEndpoint* tftp = transferSocket();
    ASSERT_NE(tftp, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tftp->sent.empty(); }, 3000));
    EXPECT_EQ(tftp->sent[0].port, 69);
    EXPECT_FALSE(tftp->isOpen()); // closed between the two requests

    QTest::mouseClick(cancel(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    for (auto* e : fakes.network.alive()) {
        EXPECT_FALSE(e->isOpen());
    }
    const auto calls = fakes.shell.calls.size();
    QTest::qWait(1500);
    EXPECT_EQ(tftp->sent.size(), 1u);
    EXPECT_EQ(fakes.shell.calls.size(), calls);
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(DownloadDialog, DestroyedDuringTheStartSequenceLeavesNothingBehind) {
    typePath(image("ap.bin", "AP Config"));
    QTest::mouseClick(ok(), Qt::LeftButton);
    QTest::qWait(200);
    dlg.reset();
    EXPECT_TRUE(fakes.network.alive().empty());
    QTest::qWait(1200); // no timer may fire into the destroyed dialog
}

TEST_F(DownloadDialog, ClosedWhileTheQuestionIsOpenSendsNothing) {
    fakes.messages.onShow = [this](const Message&) {
        dlg->reject();
    };
    typePath(image("none.bin", "no marker"));
    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(fakes.network.created(), 0u);
    EXPECT_TRUE(fakes.shell.calls.empty());
}

// The one test that waits out the 13-second start sequence.
TEST_F(DownloadDialog, UploadRunsToItsEndAndClosesTheDialog) {
    QByteArray bytes(600, 'x');
    bytes.replace(0, 9, "AP Config");
    typePath(image("ap.bin", bytes));
    QTest::mouseClick(ok(), Qt::LeftButton);
    FakeEndpoint* tftp = transferSocket();
    ASSERT_NE(tftp, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tftp->sent.size() == 2; }, 16000));
    EXPECT_TRUE(tftp->isOpen());
    auto ack = [&](std::uint8_t block) {
        tftp->deliver({0, 4, 0, block}, kDevice, 40001);
        QCoreApplication::processEvents();
    };
    ack(0);
    ASSERT_EQ(tftp->sent.size(), 3u);
    EXPECT_EQ(tftp->sent[2].port, 40001);
    EXPECT_EQ(tftp->sent[2].bytes.size(), 516u);
    EXPECT_EQ(child<QLabel>("Label1")->text(), "0%");
    ack(1);
    ASSERT_EQ(tftp->sent.size(), 4u);
    EXPECT_EQ(tftp->sent[3].bytes.size(), 4u + 88u);
    EXPECT_EQ(child<QLabel>("Label1")->text(), "86%"); // byte 513 of 600, hundredth 6: 85.5 to even
    fakes.messages.onShow = [this](const Message&) {
        EXPECT_EQ(child<QLabel>("Label1")->text(), "100"); // while the message is up
        EXPECT_EQ(child<QProgressBar>("ProgressBar1")->value(), 100);
    };
    ack(2);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"Data transmit finish"});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(tftp->isOpen());
    EXPECT_EQ(carry.percent, 86);
}

} // namespace
} // namespace fw::test
