#include "platform/QtFileChooser.h"
#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace fw {
namespace {

// Runs act on the modal window once it is up (the call under test blocks in exec()).
template <typename Window> void whenShown(std::function<void(Window*)> act) {
    QTimer::singleShot(0, [act] {
        Window* w = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (w == nullptr) {
            whenShown<Window>(act);
            return;
        }
        act(w);
    });
}

struct BoxCase {
    const char* what;
    Message message;
    std::function<void(QMessageBox*)> answer;
    MessageAnswer expected;
};

void press(QMessageBox* box, int key) {
    QTest::keyClick(box, static_cast<Qt::Key>(key));
}

TEST(QtMessageBoxes, ShowsTheMessageAndReturnsTheAnswer) {
    const Message question{"Exit?", "Fernwick", MessageIcon::Exclamation, MessageButtons::OkCancel, false};
    Message cancelFirst = question;
    cancelFirst.cancelIsDefault = true;
    const Message notice{"Done", "Fernwick", MessageIcon::Information, MessageButtons::Ok, false};

    const std::vector<BoxCase> cases{
        {"Enter takes Ok by default", question, [](QMessageBox* b) { press(b, Qt::Key_Return); },
         MessageAnswer::Ok},
        {"Enter takes Cancel when it is the default", cancelFirst,
         [](QMessageBox* b) { press(b, Qt::Key_Return); }, MessageAnswer::Cancel},
        {"Escape is Cancel", question, [](QMessageBox* b) { press(b, Qt::Key_Escape); },
         MessageAnswer::Cancel},
        {"closing the window is Cancel", question, [](QMessageBox* b) { b->close(); }, MessageAnswer::Cancel},
        {"clicking Cancel", question, [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); },
         MessageAnswer::Cancel},
        {"Escape on an Ok box is Ok", notice, [](QMessageBox* b) { press(b, Qt::Key_Escape); },
         MessageAnswer::Ok},
    };
    for (const BoxCase& c : cases) {
        whenShown<QMessageBox>(c.answer);
        EXPECT_EQ(QtMessageBoxes{}.show(nullptr, c.message), c.expected) << c.what;
    }
}

TEST(QtMessageBoxes, TitleTextIconAndButtons) {
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool hasCancel = false;
    };
    const std::vector<std::pair<Message, QMessageBox::Icon>> cases{
        {{"a", "Fernwick", MessageIcon::None, MessageButtons::Ok, false}, QMessageBox::NoIcon},
        {{"b", "Fernwick", MessageIcon::Information, MessageButtons::OkCancel, false},
         QMessageBox::Information},
        {{"c", "Fernwick", MessageIcon::Exclamation, MessageButtons::Ok, false}, QMessageBox::Warning},
        {{"d", "Other", MessageIcon::Critical, MessageButtons::OkCancel, true}, QMessageBox::Critical},
    };
    for (const auto& [message, icon] : cases) {
        Seen seen;
        whenShown<QMessageBox>([&seen](QMessageBox* b) {
            seen = {b->windowTitle(), b->text(), b->icon(), b->button(QMessageBox::Cancel) != nullptr};
            b->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(QtMessageBoxes{}.show(nullptr, message), MessageAnswer::Ok);
        EXPECT_EQ(seen.title.toStdString(), message.title);
        EXPECT_EQ(seen.text.toStdString(), message.text);
        EXPECT_EQ(seen.icon, icon) << message.text;
        EXPECT_EQ(seen.hasCancel, message.buttons == MessageButtons::OkCancel) << message.text;
    }
}

TEST(QtFileChooser, OffersOnlyImagesAndReturnsThePick) {
    QTemporaryDir dir;
    const QString image = dir.filePath("ap.bin");
    QFile(image).open(QIODevice::WriteOnly);

    QStringList filters;
    whenShown<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        d->selectFile(image);
        static_cast<QDialog*>(d)->accept();
    });
    EXPECT_EQ(QtFileChooser{}.chooseImage(nullptr), image.toStdString());
    EXPECT_EQ(filters, QStringList{"IMG FILE(*.bin)"});

    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(QtFileChooser{}.chooseImage(nullptr), std::nullopt);
}

} // namespace
} // namespace fw
