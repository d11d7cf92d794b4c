// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/UpgradeDialog.h"

#include "support/CoreFakes.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// Records what the logic asks of its view and its job; the job's answers are called by hand.
struct Recorder final : UpgradeDialog::View {
    std::vector<std::string> shown, messages;
    std::vector<Message> boxes;
    std::vector<MessageAnswer> answers; // given in turn, then Ok
    std::optional<bool> closedAs;
    test::FakeJob<UpgradeJob> job;

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

    std::vector<std::string> handed() const { // what the job was given
        std::vector<std::string> h;
        for (const auto& r : job.requests) {
            const auto& at = std::get<UpgradeJob::ImageAt>(r.image);
            h.push_back(toText(r.device) + " from " + toText(r.local) + ": " + at.path +
                        (at.kind == DeviceKind::AccessPoint ? " for AP" : " for bridge"));
        }
        return h;
    }
    void checked(ImageDecision::Kind kind, bool focusPathBox = false) {
        job.handlers.events({UpgradeJob::Checked{{kind, {}, focusPathBox}, 3}});
    }
    void progressed(int bar, std::int16_t percent) {
        job.handlers.events({TftpUpload::Progress{bar, percent, false, {}}});
    }
};

const UpgradeDialog::Opening kValues{
    {"", Ipv4{{10, 0, 0, 20}}, {}}, DeviceKind::AccessPoint, Ipv4{{10, 0, 0, 1}}};

// Each end says its words once and closes the dialog, accepted only when the image went whole. The
// upgrade goes to the device picked when the dialog opened, not to one listed after.
TEST(UpgradeDialog, EachEndSaysItsTextAndCloses) {
    using O = TftpUpload::Outcome;
    const struct {
        TftpUpload::Result result;
        std::optional<SocketError> fault;
        std::vector<std::string> messages;
        bool accepted;
    } cases[] = {
        {{O::Completed, {}, {}}, {}, {"Data transmit finish"}, true},
        {{O::TimedOut, {}, {}}, {}, {"Time Out"}, false},
        {{O::DeviceError, 0, "disk full"}, {}, {"disk full"}, false},
        {{O::PortUnavailable, {}, {}},
         SocketError{SocketError::Kind::System, std::make_error_code(std::errc::permission_denied)},
         {"Cannot use UDP port 14321 for the firmware upload from 10.0.0.1: Permission denied"},
         false},
    };
    for (const auto& c : cases) {
        Recorder r;
        UpgradeDialog::Opening values = kValues;
        UpgradeDialog logic(r, r.job, values);
        values = {
            {"", Ipv4{{10, 0, 1, 30}}, {}}, DeviceKind::Bridge, Ipv4{{10, 0, 1, 1}}}; // listed meanwhile
        logic.ok();
        r.checked(ImageDecision::Kind::Accept);
        EXPECT_EQ(r.handed(), (std::vector<std::string>{"10.0.0.20 from 10.0.0.1: /fw.bin for AP"}));
        r.progressed(40, 37);
        r.progressed(40, 37); // the counters moved on: nothing new to show
        r.job.handlers.ended({c.result, {}, c.fault});
        EXPECT_EQ(r.messages, c.messages);
        EXPECT_EQ(r.closedAs, c.accepted);
        EXPECT_EQ(r.shown,
                  (std::vector<std::string>{"progress view", "bar 0", "label 0%", "bar 40", "label 37%"}));
    }
}

// Closed while the engine still reads the image: its answer finds nothing to do, and the job stops.
TEST(UpgradeDialog, AnAnswerAfterClosingIsDropped) {
    Recorder r;
    {
        UpgradeDialog logic(r, r.job, kValues);
        logic.ok();
        logic.cancel();
        logic.closing();
        EXPECT_EQ(r.closedAs, false);
        r.checked(ImageDecision::Kind::Refuse, true);
        r.job.handlers.ended({});
        logic.ok();
        logic.browse();
        EXPECT_TRUE(r.messages.empty() && r.shown.empty());
        EXPECT_EQ(r.job.requests.size(), 1U);
    }
    EXPECT_GE(r.job.cancels, 1);
}

// The dialog names the device it was opened for, its name's 8-bit text in UTF-8.
TEST(UpgradeDialog, NamesTheDeviceItActsOn) {
    UpgradeDialog::Opening values = kValues;
    values.device = {"Lobby\xb5", Ipv4{{10, 77, 1, 10}}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    Recorder r;
    const UpgradeDialog logic(r, r.job, values);
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
        UpgradeDialog logic(r, r.job, kValues);
        logic.ok();
        r.checked(ImageDecision::Kind::Accept);
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
        r.progressed(50, 50); // the upload goes on
        EXPECT_EQ(r.shown.back(), "label 50%");
        r.job.handlers.ended({{TftpUpload::Outcome::TimedOut, {}, {}}, {}, {}});
        EXPECT_FALSE(logic.transferRunning());
        EXPECT_EQ(r.boxes.size(), 2u); // Time Out, and no question
    }
    Recorder r;
    UpgradeDialog logic(r, r.job, kValues);
    EXPECT_FALSE(logic.transferRunning());
    logic.cancel(); // the selection view closes without a word
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.closedAs, false);
}

} // namespace
} // namespace fw
