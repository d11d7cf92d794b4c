// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Setips.h"

#include "qt/ZavikIPAddress.h"
#include "setip/SetIpExchange.h"
#include "support/Fakes.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace fw {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SetipsTest : public ::testing::Test {
protected:
    void open(const char* adapterIp = "192.168.1.20") {
        values.adapters = {test::adapterOn24(adapterIp, "192.168.1.1", {2, 0, 0, 0, 0, 1}, "eth0", 2)};
        values.localAdapterIp = Ipv4::parse(adapterIp);
        dialog = std::make_unique<Setips>(platform, fake.link(), values, exchange);
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    template <typename T = QWidget> T* child(const QString& name) const {
        return dialog->findChild<T*>(name);
    }
    ZavikIPAddress* entry(int i) const {
        return child<ZavikIPAddress>(QStringLiteral("ZavikIPAddress%1").arg(i));
    }
    void click(const char* name) { QTest::mouseClick(child(name), Qt::LeftButton); }

    test::FakePlatform fake;
    Platform platform = fake.platform();
    SetIpDialog::Opening values;
    SetIpExchange exchange;
    std::unique_ptr<Setips> dialog;
};

TEST_F(SetipsTest, StaticProposesTheNextAddressAndDhcpKeepsWhatWasTyped) {
    for (const auto& [adapter, proposed] : std::vector<std::pair<const char*, const char*>>{
             {"192.168.1.20", "192.168.1.21"}, {"192.168.1.255", "192.168.1.255"}}) {
        open(adapter);
        click("Option1");
        EXPECT_TRUE(entry(1)->isEnabled());
        EXPECT_EQ(entry(1)->ipAddress(), proposed);
        EXPECT_EQ(entry(2)->ipAddress(), "255.255.255.0");
        EXPECT_EQ(entry(3)->ipAddress(), "192.168.1.1");
    }
    entry(1)->setIpAddress("192.168.1.77");
    click("Option2");
    EXPECT_FALSE(entry(1)->isEnabled());
    EXPECT_EQ(entry(1)->ipAddress(), "192.168.1.77");
    click("Option1");
    EXPECT_EQ(entry(1)->ipAddress(), "192.168.1.255");
}

TEST_F(SetipsTest, RefusedAddressesSendNothingButUseUpANumber) {
    open();
    click("Option1");
    entry(1)->setIpAddress("192.168.1.20"); // the adapter's own: the device would be cut off
    click("Command2");
    EXPECT_TRUE(fake.messages.shown.back().text.ends_with("could not be reached. Adapter: eth0"));
    // Typed leading zeros: refused as typed when the value is 0, read as decimal otherwise.
    auto* first = entry(1)->findChild<QLineEdit*>("txtIP0");
    for (const char* keys : {"00.1.2.3", "010"}) {
        first->setFocus(Qt::OtherFocusReason);
        for (const char* k = keys; *k != 0; ++k) {
            QTest::keyClick(QApplication::focusWidget(), *k);
        }
        click("Command2");
    }
    EXPECT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_EQ(fake.messages.shown.back(),
              (Message{"00.1.2.3is not a valid IP address", "Fernwick", MessageIcon::Exclamation}));
    const auto sent = fake.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, (UdpAddress{Ipv4::broadcast(), 4000}));
    EXPECT_EQ(Bytes(sent[0].bytes.begin() + 4, sent[0].bytes.begin() + 8), (Bytes{0x20, 0x10, 0x00, 0x03}));
    EXPECT_EQ(Bytes(sent[0].bytes.begin() + 20, sent[0].bytes.begin() + 24), (Bytes{10, 1, 2, 3}));
}

TEST_F(SetipsTest, AnAddressTypedAsUsualIsTheOneSent) {
    open();
    click("Option1");
    entry(1)->findChild<QLineEdit*>("txtIP0")->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(nullptr, "192.168.1.254");
    click("Command2");
    const auto sent = fake.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0].bytes.begin() + 20, sent[0].bytes.begin() + 24), (Bytes{192, 168, 1, 254}));
}

// The device's "done" is acknowledged only once its box is closed, as the operator saw it.
TEST_F(SetipsTest, TheAcknowledgementLeavesAfterTheAnswersBoxIsClosed) {
    open();
    click("Command2"); // DHCP, request 1
    std::vector<std::size_t> sentWhileShown;
    fake.messages.onShow = [&](const Message&) {
        sentWhileShown.push_back(fake.sent().size());
    };
    Bytes done(32, 0); // the head of the request (its number and the device's MAC), result 0
    const auto request = fake.sent().at(0).bytes;
    std::copy_n(request.begin(), 20, done.begin());
    done[4] = 0x21;
    ASSERT_TRUE(
        fake.deliver({*Ipv4::parse("192.168.1.20"), 4001}, {*Ipv4::parse("192.168.1.50"), 4000}, done));
    EXPECT_EQ(fake.messages.texts(), std::vector<std::string>{"Set DHCP OK"});
    EXPECT_EQ(sentWhileShown, std::vector<std::size_t>{1});
    const auto sent = fake.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[1].bytes.begin() + 4, sent[1].bytes.begin() + 6), (Bytes{0xA0, 0x99}));
}

// Only EADDRINUSE means another program; any other bind failure gets the neutral text.
TEST_F(SetipsTest, AFailedBindIsSaidOnceWithWhatHappened) {
    const std::pair<std::errc, const char*> cases[]{
        {std::errc::address_in_use,
         "Local port 4001 is in use by another program, so no request can be sent: Address already in use"},
        {std::errc::no_such_device, "Cannot use UDP port 4001 on this adapter: No such device"},
    };
    for (const auto& [error, text] : cases) {
        fake.messages.shown.clear();
        fake.refuse("eth0", 4001, error);
        open();
        click("Command2");
        fake.settle();
        ASSERT_EQ(fake.messages.shown.size(), 1u) << text;
        EXPECT_EQ(fake.messages.shown[0].title, "Fernwick");
        EXPECT_EQ(fake.messages.shown[0].text, text);
    }
}

} // namespace
} // namespace fw
