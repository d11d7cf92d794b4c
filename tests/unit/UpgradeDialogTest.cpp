// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/UpgradeDialog.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// Records what the logic asks of its view and its port; the port's answers are called by hand.
struct Recorder final : UpgradeDialog::View, UpgradePort {
    std::vector<std::string> shown, messages, handed; // handed: what the port was given
    std::vector<Message> boxes;
    std::vector<MessageAnswer> answers; // given in turn, then Ok
    std::optional<bool> closedAs;
    UpgradePort::Checked checked;
    UpgradePort::Callbacks started;
    int stops = 0;

    std::string pathText() const override { return "/fw.bin"; }
    void setPathText(const std::string& path) override { shown.push_back("path " + path); }
    void focusPathBox() override { shown.emplace_back("focus path"); }
    void focusOk() override {}
    std::optional<std::string> chooseImage() override { return std::nullopt; }
    MessageAnswer showMessage(const Message& message) override {
        messages.push_back(message.text);
        boxes.push_back(message);
        return boxes.size() <= answers.size() ? answers[boxes.size() - 1] : MessageAnswer::Ok;
    }
    void showProgressView() override { shown.emplace_back("progress view"); }
    void setBar(int value) override { shown.push_back("bar " + std::to_string(value)); }
    void setPercent(const std::string& text) override { shown.push_back("label " + text); }
    void closeDialog(bool accepted) override { closedAs = accepted; }

    void checkImage(std::string path, DeviceKind kind, Checked done) override {
        handed.push_back("check " + path + (kind == DeviceKind::AccessPoint ? " for AP" : " for bridge"));
        checked = std::move(done);
    }
    void start(std::optional<Ipv4> device, std::optional<Ipv4> local, std::vector<std::uint8_t> image,
               Callbacks callbacks) override {
        handed.push_back("start " + toText(device) + " from " + toText(local) + ", " +
                         std::to_string(image.size()) + " bytes");
        started = std::move(callbacks);
    }
    void stop() override { ++stops; }
};

const ProcessValues kValues{{}, Ipv4{{10, 0, 0, 20}}, DeviceKind::AccessPoint, {}, Ipv4{{10, 0, 0, 1}}, 0};

// Each end says its words once and closes the dialog, accepted only when the image went whole. The
// upgrade goes to the device picked when the dialog opened, not to one listed after.
TEST(UpgradeDialog, EachEndSaysItsTextAndCloses) {
    using O = TftpUpload::Outcome;
    const struct {
        TftpUpload::Result result;
        std::optional<UpgradePort::PortFault> fault;
        std::vector<std::string> messages;
        bool accepted;
    } cases[] = {
        {{O::Completed, {}, {}}, {}, {"Data transmit finish"}, true},
        {{O::TimedOut, {}, {}}, {}, {"Time Out"}, false},
        {{O::DeviceError, 0, "disk full"}, {}, {"disk full"}, false},
        {{O::PortUnavailable, {}, {}},
         UpgradePort::PortFault{false, "Permission denied"},
         {"Cannot use UDP port 14321 for the firmware upload from 10.0.0.1: Permission denied"},
         false},
    };
    for (const auto& c : cases) {
        Recorder r;
        ProcessValues values = kValues;
        UpgradeDialog logic(r, r, values);
        values = {{}, Ipv4{{10, 0, 1, 30}}, DeviceKind::Bridge,
                  {}, Ipv4{{10, 0, 1, 1}},  0}; // listed meanwhile
        logic.ok();
        r.checked(ImageDecision{ImageDecision::Kind::Accept, {}, false}, {1, 2, 3});
        EXPECT_EQ(r.handed, (std::vector<std::string>{"check /fw.bin for AP",
                                                      "start 10.0.0.20 from 10.0.0.1, 3 bytes"}));
        r.started.progressed({40, "37%"});
        r.started.ended(c.result, c.fault);
        EXPECT_EQ(r.messages, c.messages);
        EXPECT_EQ(r.closedAs, c.accepted);
        EXPECT_EQ(r.shown,
                  (std::vector<std::string>{"progress view", "bar 0", "label 0%", "bar 40", "label 37%"}));
    }
}

// Closed while the engine still reads the image: its answer finds nothing to do, and the port stops.
TEST(UpgradeDialog, AnAnswerAfterClosingIsDropped) {
    Recorder r;
    {
        UpgradeDialog logic(r, r, kValues);
        logic.ok();
        logic.cancel();
        logic.closing();
        EXPECT_EQ(r.closedAs, false);
        r.checked(ImageDecision{ImageDecision::Kind::Refuse, {}, true}, {});
        logic.ok();
        logic.browse();
        EXPECT_TRUE(r.messages.empty() && r.shown.empty());
        EXPECT_FALSE(r.started.ended);
    }
    EXPECT_GE(r.stops, 1);
}

// The dialog names the device it was opened for, its name's 8-bit text in UTF-8.
TEST(UpgradeDialog, NamesTheDeviceItActsOn) {
    ProcessValues values = kValues;
    values.pickedDevice = {"Lobby\xb5", Ipv4{{10, 77, 1, 10}}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    Recorder r;
    const UpgradeDialog logic(r, r, values);
    EXPECT_EQ(logic.deviceLine(), "Lobby\u00b5 \u00b7 10.77.1.10 \u00b7 00-11-22-33-44-55");
}

// While bytes go out, Enter never stops them, and Cancel (the close box too) asks first, Cancel
// being the default answer; only OK stops. Outside a transfer nothing asks.
TEST(UpgradeDialog, StoppingATransferAsksFirst) {
    const Message question{"Stop the upgrade? The device may be left without working firmware.", "Fernwick",
                           MessageIcon::Exclamation, MessageButtons::OkCancel, true};
    for (const MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
        Recorder r;
        r.answers = {answer};
        UpgradeDialog logic(r, r, kValues);
        logic.ok();
        r.checked(ImageDecision{ImageDecision::Kind::Accept, {}, false}, {1, 2, 3});
        EXPECT_TRUE(logic.transferRunning());
        logic.enterPressed(true);
        logic.enterPressed(false);
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_FALSE(r.closedAs);
        logic.cancel();
        EXPECT_EQ(r.boxes, std::vector<Message>{question});
        if (answer == MessageAnswer::Ok) {
            EXPECT_EQ(r.closedAs, false);
            continue;
        }
        EXPECT_FALSE(r.closedAs);
        r.started.progressed({50, "50%"}); // the upload goes on
        EXPECT_EQ(r.shown.back(), "label 50%");
        r.started.ended({TftpUpload::Outcome::TimedOut, {}, {}}, {});
        EXPECT_FALSE(logic.transferRunning());
        EXPECT_EQ(r.boxes.size(), 2u); // Time Out, and no question
    }
    Recorder r;
    UpgradeDialog logic(r, r, kValues);
    EXPECT_FALSE(logic.transferRunning());
    logic.cancel(); // the selection view closes without a word
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.closedAs, false);
}

} // namespace
} // namespace fw
