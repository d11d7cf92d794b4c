// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemHost.h"
#include "qt/DeviceListModel.h"
#include "qt/DeviceListView.h"
#include "qt/MainWindow.h"
#include "qt/ModalRowDialogs.h"
#include "support/CliProcess.h"
#include "support/Fakes.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

namespace fw::test {
namespace {

// The Qt main window on the lab workstation's real adapters and sockets (fake message boxes, shell
// and file chooser): its list, sorted by a header click, exports the bytes fernwick-cli prints for
// the same devices, and a folder's path is refused with its reason.
TEST(WindowListNet, SortedListCopiesAndExportsWhatTheCommandLineLists) {
    NetLab lab;
    startListLab(lab);
    // Before the window: it keeps port 4001 open from its first search on.
    const NetLab::Outcome csv = cli(lab, {"search", "--format", "csv"});
    const NetLab::Outcome json = cli(lab, {"search", "--format", "json"});
    ASSERT_EQ(csv.out.count('\n'), 4) << csv.out.toStdString() << csv.err.toStdString();

    lab.enterWorkstation();
    FakeMessageBoxes messages;
    CallLog calls;
    FakeShell shell{calls};
    SystemHost host;
    FakeFileChooser files;
    Platform platform{messages, shell, host, files};
    engine::Engine engine;
    engine.startThread();
    const EngineLink link{engine, engine.endpoints()};
    ModalRowDialogs dialogs{platform, link};
    MainWindow window(platform, link, dialogs);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.deviceList().rowCount() == 3 && !window.searches().countdownRunning(); }, 10000));

    auto* list = window.findChild<DeviceListView*>("ListView1");
    QHeaderView* header = list->header();
    const auto clickIpHeader = [&] {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            {header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2});
        QStringList ips;
        for (int row = 0; row < window.deviceList().rowCount(); ++row) {
            ips << window.deviceList().index(row, 1).data().toString();
        }
        return ips.join(' ').toStdString();
    };
    EXPECT_EQ(clickIpHeader(), "10.77.1.9 10.77.1.10 10.77.2.20");
    // The first row after the sort is the one copied.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(
        QGuiApplication::clipboard()->text().section('\n', 1).startsWith("Hall, \"east\"\t10.77.1.9\t"))
        << QGuiApplication::clipboard()->text().toStdString();

    const auto exported = [&](const QString& path) {
        files.exportAnswer = path.toStdString();
        window.findChild<QAction*>("exportlist")->trigger();
        const auto b = fileBytes(path).value_or(std::vector<std::uint8_t>{});
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(exported(lab.dir() + "/list.csv"), rowsInIpOrder(csv.out).toStdString());
    EXPECT_EQ(exported(lab.dir() + "/list.json"), rowsInIpOrder(json.out).toStdString());
    EXPECT_TRUE(messages.shown.empty());

    // A folder's path: the box says why, the folder stays as it was and nothing is left beside it.
    const QString folder = lab.dir() + "/folder.csv";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string before = folderEntries(lab.dir());
    exported(folder);
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0],
              "The list could not be saved to " + folder.toStdString() + ":\nIs a directory.");
    EXPECT_EQ(folderEntries(lab.dir()), before);
    EXPECT_TRUE(QDir(folder).isEmpty());

    EXPECT_EQ(clickIpHeader(), "10.77.2.20 10.77.1.10 10.77.1.9") << "a second click reverses";
}

} // namespace
} // namespace fw::test
