// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace fw {
namespace {

// Runs act on the modal window once it is up (the call under test blocks in exec()).
template <typename Window> void whenShown(std::function<void(Window*)> act) {
    QTimer::singleShot(0, [act] {
        if (auto* w = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            act(w);
        } else {
            whenShown<Window>(act);
        }
    });
}

TEST(QtMessageBoxes, ShowsTheMessageAndReturnsTheAnswer) {
    using B = QMessageBox*;
    const auto key = [](Qt::Key k) {
        return [k](B b) {
            QTest::keyClick(b, k);
        };
    };
    const Message okCancel{"Exit?", "Fernwick", MessageIcon::Exclamation, MessageButtons::OkCancel, false};
    const Message cancelDefault{"Sure?", "Other", MessageIcon::Critical, MessageButtons::OkCancel, true};
    const Message ok{"Done", "", MessageIcon::Information, MessageButtons::Ok, false};
    const Message plain{"Note", "Fernwick", MessageIcon::None, MessageButtons::Ok, false};
    const struct {
        Message message;
        std::function<void(B)> act;
        MessageAnswer answer;
        QMessageBox::Icon icon;
    } cases[] = {
        {okCancel, key(Qt::Key_Return), MessageAnswer::Ok, QMessageBox::Warning},
        {okCancel, key(Qt::Key_Escape), MessageAnswer::Cancel, QMessageBox::Warning},
        {cancelDefault, key(Qt::Key_Return), MessageAnswer::Cancel, QMessageBox::Critical},
        {cancelDefault, [](B b) { b->button(QMessageBox::Ok)->click(); }, MessageAnswer::Ok,
         QMessageBox::Critical},
        {ok, key(Qt::Key_Escape), MessageAnswer::Ok, QMessageBox::Information},
        {plain, key(Qt::Key_Return), MessageAnswer::Ok, QMessageBox::NoIcon},
    };
    QApplication::setApplicationDisplayName("Fernwick");
    for (const auto& c : cases) {
        QString title, text;
        QMessageBox::Icon icon{};
        bool hasCancel = false;
        whenShown<QMessageBox>([&, act = c.act](B b) {
            title = b->windowTitle();
            text = b->text();
            icon = b->icon();
            hasCancel = b->button(QMessageBox::Cancel) != nullptr;
            act(b);
        });
        const std::string what = c.message.text + " answered " + std::to_string(int(c.answer));
        EXPECT_EQ(QtMessageBoxes{}.show(nullptr, c.message), c.answer) << what;
        EXPECT_EQ(title.toStdString(), c.message.title.empty() ? "Fernwick" : c.message.title) << what;
        EXPECT_EQ(text.toStdString(), c.message.text) << what;
        EXPECT_EQ(icon, c.icon) << what;
        EXPECT_EQ(hasCancel, c.message.buttons == MessageButtons::OkCancel) << what;
    }
}

} // namespace
} // namespace fw
