// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ZavikIPAddress.h"

#include "support/Fakes.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <string_view>
#include <tuple>

namespace fw {
namespace {

class ZavikIPAddressTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(ip = new ZavikIPAddress);
        layout->addWidget(other = new QLineEdit);
        ip->setMessageBoxes(&messages);
        ip->setBeeper([this] { ++beeps; });
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }
    QLineEdit* box(int i) const { return ip->findChild<QLineEdit*>(QStringLiteral("txtIP%1").arg(i)); }
    int focused() const { // the box with the focus, -1 for none
        const QWidget* w = QApplication::focusWidget();
        return w != nullptr && w->parent() == ip ? w->objectName().mid(5).toInt() : -1;
    }
    // Enters box `start` (which selects it), then sends each key to whatever has the focus at that
    // moment, as the keyboard does. ^ $ < > ~ are Home, End, Left, Right, Backspace; ! leaves the control.
    void type(int start, const char* keys) {
        other->setFocus(Qt::OtherFocusReason);
        box(start)->setFocus(Qt::OtherFocusReason);
        const std::string_view named = "^$<>~";
        const Qt::Key namedKeys[] = {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right,
                                     Qt::Key_Backspace};
        for (const char* k = keys; *k != 0; ++k) {
            if (*k == '!') {
                other->setFocus(Qt::OtherFocusReason);
            } else if (const auto at = named.find(*k); at != named.npos) {
                QTest::keyClick(QApplication::focusWidget(), namedKeys[at]);
            } else {
                QTest::keyClick(QApplication::focusWidget(), *k);
            }
        }
    }

    QWidget host;
    ZavikIPAddress* ip = nullptr;
    QLineEdit* other = nullptr;
    test::FakeMessageBoxes messages;
    int beeps = 0;
};

TEST_F(ZavikIPAddressTest, TypingSequences) {
    // start, box entered, keys, after, focused box, beeps
    const std::tuple<const char*, int, const char*, const char*, int, int> cases[] = {
        {"0.0.0.0", 0, "192", "192.0.0.0", 1, 0},      // three digits move on
        {"0.0.0.0", 3, "192", "0.0.0.192", 3, 0},      // but not from the last box
        {"0.0.0.0", 0, "10.1.2.3", "10.1.2.3", 3, 0},  // "." moves on
        {"1.2.3.4", 3, ".", "1.2.3.4", 0, 0},          // and wraps
        {"25.0.0.0", 0, "$6", "25.0.0.0", 0, 1},       // 256 refused
        {"25.0.0.0", 0, "$5", "255.0.0.0", 1, 0},      //
        {"99.0.0.0", 0, "^1", "99.0.0.0", 0, 1},       // judged as 991
        {"1.22.133.4", 2, "^<9", "1.229.133.4", 2, 0}, // Left at the start: end of box 1, nothing selected
        {"1.22.133.4", 1, "$>1", "1.22.133.4", 2, 1},  // Right at the end: start of box 2 (1331 refused)
        {"1.22.133.4", 2, "^>>", "1.22.133.4", 2, 0},  // Right inside the text stays
        {"1.2.3.4", 3, "$>", "1.2.3.4", 3, 0},         //
        {"1.2.3.4", 0, "<", "1.2.3.4", 0, 0},          // selection starts at 0 but there is no box 0 - 1
        {"10.5.0.1", 1, "~!", "10.0.0.1", -1, 0},      // an empty box left becomes 0
    };
    for (const auto& [start, inBox, keys, after, focus, beepCount] : cases) {
        beeps = 0;
        ip->setIpAddress(start);
        type(inBox, keys);
        EXPECT_EQ(std::tuple(ip->ipAddress().toStdString(), focused(), beeps),
                  std::tuple(std::string(after), focus, beepCount))
            << start << " " << keys;
    }
    EXPECT_TRUE(messages.shown.empty());
}

// Typed as usual, a dotted address lands in its boxes: the "." after three digits is not a second move.
TEST_F(ZavikIPAddressTest, TypingWholeAddresses) {
    for (const char* address :
         {"10.200.192.50", "255.255.255.0", "10.88.1.254", "192.168.1.1", "1.2.3.4", "0.0.0.0"}) {
        ip->setIpAddress("9.9.9.9");
        type(0, "");
        QTest::keyClicks(nullptr, address); // each key to the focus widget of the moment
        EXPECT_EQ(ip->ipAddress().toStdString(), address);
        EXPECT_EQ(focused(), 3) << address;
    }
    EXPECT_EQ(beeps, 0);
}

TEST_F(ZavikIPAddressTest, TextArrivingWithoutKeysObeysTheKeyRule) {
    QApplication::clipboard()->setText("999");
    QApplication::clipboard()->setText("999", QClipboard::Selection); // X11's middle-click paste
    QMimeData dragged;
    dragged.setText("999");
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QInputMethodEvent commit; // typed digit by digit: the third would make 999
    commit.setCommitString("999");
    const std::tuple<const char*, std::function<void()>, const char*, int> cases[] = {
        {"Ctrl+V", [&] { QTest::keyClick(box(0), Qt::Key_V, Qt::ControlModifier); }, "0.0.0.0", 1},
        {"middle click", [&] { QTest::mouseClick(box(0), Qt::MiddleButton); }, "0.0.0.0", 1},
        {"drop", [&] { QApplication::sendEvent(box(0), &drop); }, "0.0.0.0", 0},
        {"input method", [&] { QApplication::sendEvent(box(0), &commit); }, "99.0.0.0", 1},
    };
    for (const auto& [path, send, after, beepCount] : cases) {
        beeps = 0;
        ip->setIpAddress("0.0.0.0");
        type(0, "");
        send();
        EXPECT_EQ(ip->ipAddress(), after) << path;
        EXPECT_EQ(beeps, beepCount) << path;
    }
}

TEST_F(ZavikIPAddressTest, CaretAtStartMakesTooLargeANumberWhichLeavingCatches) {
    ip->setIpAddress("25.0.0.0");
    type(0, "^3");
    EXPECT_EQ(box(0)->text(), "325");
    EXPECT_EQ(focused(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 2000));
    EXPECT_EQ(messages.shown[0],
              (Message{"Value must be between 0 and 255", "Fernwick", MessageIcon::Exclamation}));
    EXPECT_EQ(focused(), 0);
    EXPECT_EQ(box(0)->selectedText(), "325");
}

} // namespace
} // namespace fw
