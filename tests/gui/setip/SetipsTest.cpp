#include "setip/Setips.h"
#include "common/ProcessValues.h"
#include "ipcontrol/ZavikIPAddress.h"
#include "setip/core/SetIpExchange.h"
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

constexpr MacAddress kDevice{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr MacAddress kEth0{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr MacAddress kEth1{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};

Bytes reply(std::uint16_t sequence, std::uint8_t result) {
    Bytes b(24, 0);
    b[0] = 0x87;
    b[1] = 0x65;
    b[2] = 0x43;
    b[3] = 0x21;
    b[6] = static_cast<std::uint8_t>(sequence >> 8);
    b[7] = static_cast<std::uint8_t>(sequence);
    b[21] = result;
    return b;
}

class SetipsTest : public ::testing::Test {
protected:
    SetipsTest() {
        values.adapterTable = {
            AdapterEntry{"192.168.1.20", "255.255.255.0", "192.168.1.1", kEth0, "eth0", 2}};
        values.localAdapterIp = "192.168.1.20";
        values.selectedDeviceMac = kDevice;
    }

    void open() {
        dialog = std::make_unique<Setips>(platform, values, exchange);
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <typename T> T* child(const char* name) const {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    ZavikIPAddress* entry(int i) const {
        return child<ZavikIPAddress>(i == 1   ? "ZavikIPAddress1"
                                     : i == 2 ? "ZavikIPAddress2"
                                              : "ZavikIPAddress3");
    }
    test::FakeEndpoint* sock1() const { return fake.network.last(); }
    void ok() { QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton); }
    void chooseStatic() { QTest::mouseClick(child<QRadioButton>("Option1"), Qt::LeftButton); }
    void chooseDhcp() { QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton); }

    test::FakePlatform fake;
    Platform platform = fake.platform();
    ProcessValues values;
    SetIpExchange exchange;
    std::unique_ptr<Setips> dialog;
};

TEST_F(SetipsTest, OpensWithDhcpSelectedEntriesDisabledAndFocusOnExit) {
    open();
    EXPECT_EQ(dialog->windowTitle(), "Set IP");
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), "Set IP");
    const std::vector<std::pair<const char*, const char*>> captions{{"Label3", "Set IP"},
                                                                    {"Label2", "IP"},
                                                                    {"Label4", "Mask"},
                                                                    {"Label5", "Gateway"},
                                                                    {"Label1", "Enable DHCP"}};
    for (const auto& [name, text] : captions) {
        EXPECT_EQ(child<QLabel>(name)->text(), text) << name;
    }
    EXPECT_EQ(child<QPushButton>("Command1")->text(), "Exit");
    EXPECT_EQ(child<QPushButton>("Command2")->text(), "OK");
    EXPECT_TRUE(child<QRadioButton>("Option1")->text().isEmpty());
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("Option1")->isChecked());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(entry(i)->isEnabled()) << i;
        EXPECT_EQ(entry(i)->ipAddress(), "0.0.0.0") << i;
    }
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("Command1"));
    for (const char* b : {"Command1", "Command2"}) {
        EXPECT_FALSE(child<QPushButton>(b)->autoDefault()) << b;
        EXPECT_FALSE(child<QPushButton>(b)->isDefault()) << b;
    }

    // sock1: port 4001 on the adapter the device was found on; nothing sent or shown yet.
    ASSERT_NE(sock1(), nullptr);
    EXPECT_TRUE(sock1()->isOpen());
    EXPECT_EQ(sock1()->localPort(), 4001);
    EXPECT_EQ(sock1()->boundInterface, "eth0");
    EXPECT_TRUE(sock1()->sent.empty());
    EXPECT_TRUE(fake.messages.shown.empty());

    // Escape is nobody's key here: the dialog stays.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SetipsTest, TabOrderRunsExitOkOptionsEntries) {
    open();
    std::vector<QString> order;
    QWidget* const start = child<QPushButton>("Command1");
    QWidget* w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == dialog.get()) {
            // The four boxes of an entry count as the entry.
            const QString name =
                w->objectName().startsWith("txtIP") ? w->parentWidget()->objectName() : w->objectName();
            if (order.empty() || order.back() != name) {
                order.push_back(name);
            }
        }
        w = w->nextInFocusChain();
    } while (w != start && order.size() < 20);
    const std::vector<QString> expected{"Command1",        "Command2",        "Option1",        "Option2",
                                        "ZavikIPAddress1", "ZavikIPAddress2", "ZavikIPAddress3"};
    ASSERT_GE(order.size(), expected.size());
    EXPECT_EQ(std::vector<QString>(order.begin(), order.begin() + 7), expected);
}

TEST_F(SetipsTest, StaticOptionProposesTheAdaptersNextAddress) {
    const std::vector<std::pair<const char*, const char*>> cases{{"192.168.1.20", "192.168.1.21"},
                                                                 {"192.168.1.255", "192.168.1.255"}};
    for (const auto& [adapter, proposed] : cases) {
        values.adapterTable[0].ip = adapter;
        values.localAdapterIp = adapter;
        open();
        chooseStatic();
        for (int i = 1; i <= 3; ++i) {
            EXPECT_TRUE(entry(i)->isEnabled());
        }
        EXPECT_EQ(entry(1)->ipAddress(), proposed);
        EXPECT_EQ(entry(2)->ipAddress(), "255.255.255.0");
        EXPECT_EQ(entry(3)->ipAddress(), "192.168.1.1");
    }
}

TEST_F(SetipsTest, AdapterIsTheOneWhoseAddressMatchesExactly) {
    values.adapterTable = {AdapterEntry{"10.0.0.1", "255.0.0.0", "10.0.0.254", kEth0, "eth0", 2},
                           AdapterEntry{"10.0.0.12", "255.255.0.0", "10.0.255.254", kEth1, "eth1", 3}};
    values.localAdapterIp = "10.0.0.1";
    values.setIpAdapterIndex = 1;
    open();
    EXPECT_EQ(values.setIpAdapterIndex, 0);
    EXPECT_EQ(sock1()->boundInterface, "eth0");
    chooseStatic();
    EXPECT_EQ(entry(1)->ipAddress(), "10.0.0.2");
    EXPECT_EQ(entry(2)->ipAddress(), "255.0.0.0");
    ok();
    ASSERT_EQ(sock1()->sent.size(), 1u);
    EXPECT_EQ(Bytes(sock1()->sent[0].bytes.begin() + 14, sock1()->sent[0].bytes.begin() + 20),
              Bytes(kEth0.begin(), kEth0.end()));
}

TEST_F(SetipsTest, OkRightAfterOpeningSendsDhcpAndWaits) {
    open();
    ok();
    ASSERT_EQ(sock1()->sent.size(), 1u);
    const auto& d = sock1()->sent[0];
    EXPECT_EQ(d.to, Ipv4::broadcast());
    EXPECT_EQ(d.port, 4000);
    ASSERT_EQ(d.bytes.size(), 32u);
    EXPECT_EQ(Bytes(d.bytes.begin(), d.bytes.begin() + 8),
              (Bytes{0x87, 0x65, 0x43, 0x21, 0x20, 0x11, 0x00, 0x01}));
    EXPECT_EQ(Bytes(d.bytes.begin() + 8, d.bytes.begin() + 14), Bytes(kDevice.begin(), kDevice.end()));
    EXPECT_TRUE(fake.messages.shown.empty());

    // The answer: success message, then the acknowledgement; the dialog stays open.
    std::size_t sentWhileShown = 0;
    fake.messages.onShow = [&](const Message&) {
        sentWhileShown = sock1()->sent.size();
    };
    sock1()->deliver(reply(1, 0), Ipv4{{192, 168, 1, 50}}, 4000);
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].text, "Set DHCP OK");
    EXPECT_EQ(sentWhileShown, 1u);
    ASSERT_EQ(sock1()->sent.size(), 2u);
    EXPECT_EQ(sock1()->sent[1].bytes[4], 0xA0);
    EXPECT_EQ(sock1()->sent[1].bytes[5], 0x99);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SetipsTest, UnacceptableAddressesAreRefusedAndUseUpANumber) {
    open();
    chooseStatic();
    const char* refused[] = {"0.0.0.0", "255.255.255.255", "0.1.2.3", "10.0.0.0", "10.0.0.255"};
    for (const char* address : refused) {
        entry(1)->setIpAddress(address);
        ok();
        ASSERT_FALSE(fake.messages.shown.empty());
        EXPECT_EQ(fake.messages.shown.back().text, std::string(address) + "is not a valid IP address");
        EXPECT_EQ(fake.messages.shown.back().icon, MessageIcon::Exclamation);
        EXPECT_EQ(fake.messages.shown.back().title, "Fernwick");
    }
    EXPECT_EQ(fake.messages.shown.size(), 5u);
    EXPECT_TRUE(sock1()->sent.empty());

    // A mask of 0.0.0.0 and a gateway elsewhere go out as they are, as request number 6.
    entry(1)->setIpAddress("10.0.0.1");
    entry(2)->setIpAddress("0.0.0.0");
    entry(3)->setIpAddress("172.16.0.1");
    ok();
    ASSERT_EQ(sock1()->sent.size(), 1u);
    const Bytes& b = sock1()->sent[0].bytes;
    EXPECT_EQ(b[5], 0x10);
    EXPECT_EQ(b[7], 6);
    EXPECT_EQ(Bytes(b.begin() + 20, b.end()), (Bytes{10, 0, 0, 1, 0, 0, 0, 0, 172, 16, 0, 1}));
}

TEST_F(SetipsTest, TypedLeadingZerosAreReadAsDecimal) {
    open();
    chooseStatic();
    auto* first = entry(1)->findChild<QLineEdit*>("txtIP0");
    first->setFocus(Qt::OtherFocusReason);
    for (const char c : std::string("00.1.2.3")) {
        QTest::keyClick(QApplication::focusWidget(), c);
    }
    EXPECT_EQ(entry(1)->ipAddress(), "00.1.2.3");
    ok();
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].text, "00.1.2.3is not a valid IP address"); // as typed
    EXPECT_TRUE(sock1()->sent.empty());

    first->setFocus(Qt::OtherFocusReason);
    for (const char c : std::string("010")) {
        QTest::keyClick(QApplication::focusWidget(), c);
    }
    EXPECT_EQ(entry(1)->ipAddress(), "010.1.2.3");
    ok();
    ASSERT_EQ(sock1()->sent.size(), 1u);
    EXPECT_EQ(Bytes(sock1()->sent[0].bytes.begin() + 20, sock1()->sent[0].bytes.begin() + 24),
              (Bytes{10, 1, 2, 3}));
}

TEST_F(SetipsTest, SwitchingToDhcpKeepsTheValuesAndStaticRefillsThem) {
    open();
    chooseStatic();
    entry(1)->setIpAddress("192.168.1.77");
    entry(3)->setIpAddress("192.168.1.99");
    chooseDhcp();
    EXPECT_FALSE(entry(1)->isEnabled());
    EXPECT_EQ(entry(1)->ipAddress(), "192.168.1.77");
    EXPECT_EQ(entry(3)->ipAddress(), "192.168.1.99");
    ok();
    EXPECT_EQ(sock1()->sent.back().bytes[5], 0x11);
    chooseStatic();
    EXPECT_TRUE(entry(1)->isEnabled());
    EXPECT_EQ(entry(1)->ipAddress(), "192.168.1.21");
    EXPECT_EQ(entry(3)->ipAddress(), "192.168.1.1");
}

TEST_F(SetipsTest, RefusalByTheDeviceIsReported) {
    open();
    chooseStatic();
    ok();
    sock1()->deliver(reply(1, 1), Ipv4{{192, 168, 1, 50}}, 4000);
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].text, "Set IP Failure");
    EXPECT_EQ(fake.messages.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(sock1()->sent.size(), 1u); // no acknowledgement
}

TEST_F(SetipsTest, PortInUseIsSaidOnce) {
    fake.network.failBinds = true;
    open();
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    const Message& m = fake.messages.shown[0];
    EXPECT_EQ(m.title, "Fernwick");
    EXPECT_NE(m.text.find("4001"), std::string::npos);
    EXPECT_NE(m.text.find("Address already in use"), std::string::npos);
    ok();
    ok();
    EXPECT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_TRUE(sock1()->sent.empty());
}

TEST_F(SetipsTest, ExitClosesSock1AndTheExchangeOutlivesTheDialog) {
    open();
    chooseStatic();
    ok(); // 192.168.1.21
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(sock1()->isOpen());
    dialog.reset();

    // Next opening: numbering restarts, a DHCP request repeats the fixed values, and a late reply
    // to the old request number is no answer.
    open();
    ok();
    const Bytes& b = sock1()->sent.back().bytes;
    EXPECT_EQ(b[7], 1);
    EXPECT_EQ(b[5], 0x11);
    EXPECT_EQ(Bytes(b.begin() + 20, b.end()), (Bytes{192, 168, 1, 21, 255, 255, 255, 0, 192, 168, 1, 1}));
    sock1()->deliver(reply(2, 0), Ipv4{{192, 168, 1, 50}}, 4000);
    EXPECT_TRUE(fake.messages.shown.empty());
}

} // namespace
} // namespace fw
