#include "ipcontrol/ZavikIPAddress.h"
#include "support/Fakes.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace fw {
namespace {

class ZavikIPAddressTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&host);
        ip = new ZavikIPAddress;
        layout->addWidget(ip);
        other = new QLineEdit;
        layout->addWidget(other);
        ip->setMessageBoxes(&messages);
        ip->setBeeper([this] { ++beeps; });
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    QLineEdit* box(int i) const { return ip->findChild<QLineEdit*>(QStringLiteral("txtIP%1").arg(i)); }

    int focusedBox() const {
        for (int i = 0; i < 4; ++i) {
            if (QApplication::focusWidget() == box(i)) {
                return i;
            }
        }
        return -1;
    }

    void focus(int i) { box(i)->setFocus(Qt::OtherFocusReason); }

    // Each key goes to whatever has the focus at that moment, as the keyboard does.
    void type(const QString& keys) {
        for (const QChar c : keys) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    }

    QWidget host;
    ZavikIPAddress* ip = nullptr;
    QLineEdit* other = nullptr;
    test::FakeMessageBoxes messages;
    int beeps = 0;
};

TEST_F(ZavikIPAddressTest, ThreeDigitsMoveOnButNotFromTheLastBox) {
    focus(0);
    type("192");
    EXPECT_EQ(box(0)->text(), "192");
    EXPECT_EQ(focusedBox(), 1);
    EXPECT_EQ(box(1)->selectedText(), "0"); // arriving selects the whole box

    type("168");
    type("1.");
    EXPECT_EQ(focusedBox(), 3);
    type("192");
    EXPECT_EQ(focusedBox(), 3);
    EXPECT_EQ(ip->ipAddress(), "192.168.1.192");
    EXPECT_EQ(beeps, 0);
}

TEST_F(ZavikIPAddressTest, DigitsThatWouldPassTwoHundredFiftyFiveAreRefused) {
    struct Case {
        const char* start;
        Qt::Key caret; // End: caret after the text, Home: before it
        char key;
        const char* after;
        bool beep;
    };
    const std::vector<Case> cases{
        {"25", Qt::Key_End, '6', "25", true},
        {"99", Qt::Key_Home, '1', "99", true}, // judged as 991
        {"1", Qt::Key_Home, '9', "91", false},
    };
    for (const auto& c : cases) {
        beeps = 0;
        ip->setIpAddress(QStringLiteral("%1.0.0.0").arg(c.start));
        focus(0);
        press(c.caret);
        QTest::keyClick(box(0), c.key);
        EXPECT_EQ(box(0)->text(), c.after) << c.start << " + " << c.key;
        EXPECT_EQ(beeps, c.beep ? 1 : 0) << c.start << " + " << c.key;
    }

    // 25 then 5 is 255, which fills the box and moves on.
    ip->setIpAddress("25.0.0.0");
    focus(0);
    press(Qt::Key_End);
    type("5");
    EXPECT_EQ(box(0)->text(), "255");
    EXPECT_EQ(focusedBox(), 1);
}

TEST_F(ZavikIPAddressTest, CaretAtStartCanMakeTooLargeANumberWhichLeavingCatches) {
    ip->setIpAddress("25.0.0.0");
    focus(0);
    press(Qt::Key_Home);
    type("3");
    EXPECT_EQ(box(0)->text(), "325");
    EXPECT_EQ(focusedBox(), 1);
    // The range message comes once the focus change is over, then the focus goes back.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 2000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Value must be between 0 and 255");
    EXPECT_EQ(messages.shown[0].title, "Fernwick");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(focusedBox(), 0);
    EXPECT_EQ(box(0)->selectedText(), "325");
    EXPECT_FALSE(ip->IsValidIP());
}

TEST_F(ZavikIPAddressTest, DotMovesOnAndWraps) {
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {3, 0}}) {
        focus(from);
        type(".");
        EXPECT_EQ(focusedBox(), to) << from;
    }
    EXPECT_EQ(ip->ipAddress(), "0.0.0.0"); // the dot itself never lands in a box
}

TEST_F(ZavikIPAddressTest, ArrowsCrossAtTheEdges) {
    ip->setIpAddress("1.22.133.4");
    focus(2);
    press(Qt::Key_Home);
    press(Qt::Key_Left);
    EXPECT_EQ(focusedBox(), 1);
    EXPECT_EQ(box(1)->cursorPosition(), 2);
    EXPECT_FALSE(box(1)->hasSelectedText());

    press(Qt::Key_Right); // at the end of "22"
    EXPECT_EQ(focusedBox(), 2);
    EXPECT_EQ(box(2)->cursorPosition(), 0);
    EXPECT_FALSE(box(2)->hasSelectedText());

    press(Qt::Key_Right); // inside "133": stays, caret moves
    EXPECT_EQ(focusedBox(), 2);
    EXPECT_EQ(box(2)->cursorPosition(), 1);

    focus(0); // whole text selected, selection starts at 0
    press(Qt::Key_Left);
    EXPECT_EQ(focusedBox(), 0);
    focus(3);
    press(Qt::Key_End);
    press(Qt::Key_Right);
    EXPECT_EQ(focusedBox(), 3);
}

TEST_F(ZavikIPAddressTest, OnlyDigitsDotAndBackspaceAreTyped) {
    ip->setIpAddress("1.2.3.4");
    focus(1);
    press(Qt::Key_End);
    type("a- ");
    press(Qt::Key_V, Qt::ControlModifier);
    press(Qt::Key_Return);
    EXPECT_EQ(box(1)->text(), "2");
    EXPECT_EQ(beeps, 5);

    press(Qt::Key_Backspace);
    EXPECT_EQ(box(1)->text(), "");
    press(Qt::Key_Tab); // Tab moves the focus without a beep
    EXPECT_EQ(beeps, 5);
}

TEST_F(ZavikIPAddressTest, LeavingAnEmptyBoxFillsZeroAndRaisesChange) {
    ip->setIpAddress("10.5.0.1");
    QSignalSpy changes(ip, &ZavikIPAddress::Change);
    focus(1);
    press(Qt::Key_Backspace); // clears the selected "5"
    EXPECT_EQ(ip->ipAddress(), "10..0.1");
    other->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(box(1)->text(), "0");
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_EQ(changes.last().at(0).toString(), "10.0.0.1");
    QTest::qWait(20);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ZavikIPAddressTest, FocusInSelectsTheWholeBox) {
    ip->setIpAddress("1.22.133.4");
    box(2)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(box(2)->selectedText(), "133");
    box(1)->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(box(1)->selectedText(), "22");
}

TEST_F(ZavikIPAddressTest, ClicksOnDotsAndMarginsFocusByColumn) {
    for (int i = 0; i < 3; ++i) {
        const QRect b = box(i)->geometry();
        const QPoint dot(b.right() + 3, b.bottom() - 1);
        QTest::mouseClick(ip, Qt::LeftButton, Qt::NoModifier, dot);
        EXPECT_EQ(focusedBox(), i) << "dot " << i;
    }
    QTest::mouseClick(ip, Qt::LeftButton, Qt::NoModifier, QPoint(ip->width() - 2, ip->height() / 2));
    EXPECT_EQ(focusedBox(), 3);
    QTest::mouseClick(ip, Qt::RightButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(focusedBox(), 0);
}

TEST_F(ZavikIPAddressTest, SizeHasAFontBasedMinimum) {
    const QFontMetrics fm(ip->font());
    const QSize minimum(4 * (fm.horizontalAdvance("XXX") + 10) + 10, fm.height() + 6);
    EXPECT_EQ(ip->minimumSize(), minimum);
    QWidget loose;
    auto* lone = new ZavikIPAddress(&loose);
    lone->resize(10, 5);
    EXPECT_EQ(lone->size(), minimum);

    QFont big = ip->font();
    big.setPointSize(big.pointSize() * 2);
    ip->setProperty("Font", big);
    EXPECT_GT(ip->minimumWidth(), minimum.width());
    EXPECT_GE(ip->width(), ip->minimumWidth());
    // Boxes stay inside with the 5-pixel margin at the left.
    EXPECT_EQ(box(0)->x(), 5);
    EXPECT_EQ(box(0)->height(), QFontMetrics(big).height());
}

TEST_F(ZavikIPAddressTest, DisabledColoursFollowUseDisabledBackColor) {
    const QColor buttonFace = ip->palette().color(QPalette::Button);
    const QColor red(Qt::red);
    ASSERT_TRUE(ip->setProperty("BackColor", red));
    auto shown = [&] {
        return box(0)->palette().color(QPalette::Disabled, QPalette::Base);
    };
    auto surface = [&] {
        return ip->palette().color(QPalette::Window);
    };
    EXPECT_EQ(shown(), red);

    ip->setProperty("Enabled", false);
    EXPECT_FALSE(box(2)->isEnabled());
    EXPECT_EQ(shown(), buttonFace);
    EXPECT_EQ(surface(), buttonFace);

    // A new back colour while disabled shows only once enabled again.
    ip->setBackColor(QColor(Qt::green));
    EXPECT_EQ(shown(), buttonFace);
    ip->setEnabled(true);
    EXPECT_EQ(shown(), QColor(Qt::green));
    EXPECT_EQ(surface(), QColor(Qt::green));

    ip->setProperty("UseDisabledBackColor", false);
    ip->setEnabled(false);
    EXPECT_EQ(shown(), QColor(Qt::green));

    ip->setProperty("TextColor", QColor(Qt::blue));
    EXPECT_EQ(box(3)->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::blue));
    ip->resetBackColor();
    EXPECT_EQ(ip->backColor(), ip->palette().color(QPalette::Base));
}

TEST_F(ZavikIPAddressTest, IndexMessageGoesThroughTheMessageBoxes) {
    EXPECT_EQ(ip->IPValue(-1), 0);
    ip->setIPValue(4, 1);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "Index must be between 0 and 3");
    ip->setIPValue(3, 256);
    EXPECT_EQ(ip->property("ipAddress").toString(), "0.0.0.255");
}

} // namespace
} // namespace fw
