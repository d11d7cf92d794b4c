// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/NetLab.h"
#include "support/WinePrefix.h"
#include "upgrade/TftpPackets.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

// fernwick.exe (the windows preset's build, named by FERNWICK_WINDOWS_GUI; skipped without) under
// wine in the lab's workstation namespace, on an Xvfb display of its own, driven by fwdrive.exe
// (FERNWICK_WINDOWS_DRIVER, tools/windrive) through the same wineserver. Keys are typed through the
// X server by xdotool, as an operator's keyboard would; openbox runs so that they reach the window
// wine's focus is on (without a window manager wine's windows never get the X focus). The list's
// exports are compared with what fernwick-cli.exe (FERNWICK_WINDOWS_CLI) prints in the same lab.

namespace fw {
namespace {

using namespace test;

class Wine {
public:
    explicit Wine(NetLab& lab) : lab_(lab) {
        // Xvfb picks a display number nobody holds and says which.
        const QString file = QDir(lab.dir()).filePath("display");
        lab.spawn("ws", {"sh", "-c", "exec Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>" + file});
        waitUntil(
            [&] {
                QFile f(file);
                return f.open(QIODevice::ReadOnly) && f.readAll().endsWith('\n');
            },
            15000);
        QFile f(file);
        (void)f.open(QIODevice::ReadOnly);
        display_ = ":" + QString::fromUtf8(f.readAll().trimmed());
        lab.spawn("ws", {"env", "DISPLAY=" + display_, "openbox"});
        // The window manager is up once it names the current desktop.
        for (int i = 0; i < 50 && xdotool({"get_desktop"}) != 0; ++i) {
            QThread::msleep(100);
        }
        if (!QFile::exists(env("FERNWICK_WINEPREFIX") + "/.fernwick-win10")) {
            run({"winecfg", "-v", "win10"});
            QFile(env("FERNWICK_WINEPREFIX") + "/.fernwick-win10").open(QIODevice::WriteOnly);
        }
    }
    // A program's status and output. wine's helper processes outlive it and hold what it
    // inherited: its output goes through a file, never a pipe.
    NetLab::Outcome run(const QStringList& argv) const {
        const QString out = QDir(lab_.dir()).filePath("wine.out");
        NetLab::Outcome r =
            lab_.runApart("ws", QStringList{"sh", "-c", "exec \"$@\" >" + out + " 2>&1 </dev/null", "sh"} +
                                    command(QStringList{"wine"} + argv));
        QFile f(out);
        if (f.open(QIODevice::ReadOnly)) {
            r.out = f.readAll().replace("\r\n", "\n");
        }
        return r;
    }
    const QString& display() const { return display_; }
    int xdotool(const QStringList& args) const {
        return lab_.run("ws", QStringList{"env", "DISPLAY=" + display_, "timeout", "10", "xdotool"} + args);
    }
    // Keys pressed in turn on whatever window has the focus, e.g. {"alt+e", "s"}.
    void keys(const QStringList& names) const { xdotool(QStringList{"key", "--delay", "100"} + names); }
    void type(const QString& text) const { xdotool({"type", "--delay", "50", text}); }
    // The window manager activates the window of this title, as a click on it would.
    void activate(const QString& title) const {
        xdotool({"search", "--limit", "1", "--name", "^" + title + "$", "windowactivate", "--sync"});
    }
    // The list's picked row (-1: none), as the agent reads it.
    int picked() const { return drive({"focus"}).section('\t', 3, 3).trimmed().toInt(); }

    QStringList command(const QStringList& argv) const {
        return QStringList{"env",
                           "WINEPREFIX=" + env("FERNWICK_WINEPREFIX"),
                           "DISPLAY=" + display_,
                           "WINEDEBUG=-all",
                           "WINEDLLOVERRIDES=mscoree,mshtml=",
                           "LC_ALL=C.UTF-8"} +
               argv;
    }
    QProcess* start() const { return lab_.spawn("ws", command({"wine", env("FERNWICK_WINDOWS_GUI")})); }
    // fwdrive.exe's answer.
    QString drive(const QStringList& args) const {
        return QString::fromUtf8(run(QStringList{env("FERNWICK_WINDOWS_DRIVER")} + args).out);
    }
    // Asks until the answer holds `text`.
    QString until(const QString& text, const QStringList& args, int seconds = 20) const {
        return drive(QStringList{"--until", text, "--timeout", QString::number(seconds)} + args);
    }

private:
    NetLab& lab_;
    QString display_;
};

TEST(WindowsGuiNet, ListsTheLabSearchesAgainEndsASecondCopyAndAsksBeforeExit) {
    if (env("FERNWICK_WINDOWS_GUI").isEmpty() || !QFile::exists(env("FERNWICK_WINDOWS_GUI"))) {
        GTEST_SKIP() << "FERNWICK_WINDOWS_GUI does not name a built fernwick.exe";
    }
    NetLab lab;
    const WineServerStop stop;
    lab.addHost("ap", "a", "10.77.1.10/24");
    lab.addHost("br", "b", "10.77.2.20/24");
    lab.addHost("late", "b", "10.77.2.30/24");
    lab.startSimulator("ap",
                       R"({"devices": [{"mac": "00:0A:1B:00:00:10", "ip": "10.77.1.10", "kind": "AP"}]})");
    const QString brLog = lab.startSimulator("br", R"({"devices": [
      {"mac": "00:0A:1B:00:00:20", "ip": "10.77.2.20", "kind": "G"},
      {"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "kind": "AP", "reply": "broadcast"}]})");
    const Wine wine(lab);
    // The browser wine starts for an http:// address is a script that notes the address.
    const QString opened = QDir(lab.dir()).filePath("opened.txt");
    const QString browser =
        lab.writeFile("browser.sh", ("#!/bin/sh\necho \"$@\" >>" + opened + "\n").toUtf8());
    QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    wine.run({"reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers", "/d", browser, "/f"});
    QProcess* fernwick = wine.start();
    // Home picks the first row and Down the next, without a click: the list keeps the focus.
    const auto arrowsMovePick = [&](const char* after) {
        wine.keys({"Home"});
        EXPECT_EQ(wine.picked(), 0) << "Home " << after;
        wine.keys({"Down"});
        EXPECT_EQ(wine.picked(), 1) << "Down " << after;
    };

    // The start-up search lists both segments, the device on a foreign subnet too.
    QString rows = wine.until("192.168.99.7", {"list"}, 40);
    EXPECT_EQ(rows.count("row\t"), 3) << rows.toStdString();
    for (const char* ip : {"10.77.1.10", "10.77.2.20", "192.168.99.7"}) {
        EXPECT_TRUE(rows.contains(ip)) << ip << "\n" << rows.toStdString();
    }

    // Edit -> Search by its access keys builds the list anew: the device that came since joins, no
    // row twice. Then the arrow keys move the pick.
    lab.startSimulator("late",
                       R"({"devices": [{"mac": "00:0A:1B:00:00:30", "ip": "10.77.2.30", "kind": "AP"}]})");
    EXPECT_TRUE(wine.until("no window", {"show", "Searching..."}).contains("no window"));
    wine.activate("Fernwick");
    wine.keys({"alt+e", "s"});
    rows = wine.until("10.77.2.30", {"list"}, 40);
    EXPECT_EQ(rows.count("row\t"), 4) << rows.toStdString();
    EXPECT_TRUE(wine.until("no window", {"show", "Searching..."}).contains("no window"));
    arrowsMovePick("after a search");

    // Set IP from the foreign-subnet device's popup moves it: the answer is shown, and the next
    // search finds it at its new address.
    const qsizetype foreign = rows.left(rows.indexOf("192.168.99.7")).count("row\t") - 1;
    EXPECT_EQ(wine.drive({"popup", QString::number(foreign), "Set IP Address..."}).trimmed().toStdString(),
              "ok");
    {
        ASSERT_TRUE(wine.until("window\t", {"show", "Set IP"}, 10).startsWith("window\t"));
        wine.drive({"click", "Set IP", "#3"}); // the static address's option (Exit, OK, frame, Static, DHCP)
        const QStringList fields{"10", "77", "2", "77", "255", "255", "255", "0", "10", "77", "2", "254"};
        for (qsizetype i = 0; i < fields.size(); ++i) {
            wine.drive({"type", "Set IP", QString::number(i), fields[i]});
        }
        EXPECT_EQ(wine.drive({"click", "Set IP", "OK"}).trimmed().toStdString(), "ok");
        const QString answer = wine.until("Set IP OK", {"show", "Fernwick"});
        EXPECT_TRUE(answer.contains("Set IP OK")) << answer.toStdString();
        wine.drive({"click", "Fernwick", "OK"});
        wine.drive({"click", "Set IP", "Exit"});
        EXPECT_TRUE(wine.until("no window", {"show", "Set IP"}).contains("no window"));
        arrowsMovePick("after the Set IP dialog");
        EXPECT_EQ(wine.drive({"menu", "Edit/Search"}).trimmed().toStdString(), "ok");
        rows = wine.until("10.77.2.77", {"list"}, 40);
        EXPECT_TRUE(rows.contains("10.77.2.77") && !rows.contains("192.168.99.7")) << rows.toStdString();
    }

    // An upgrade from the first row's popup stores the image in tftpd-hpa byte for byte while the
    // progress bar moves.
    const QString root = startTftpd(lab, "ap");
    const QByteArray image = firmwareImage(2 << 20, "ap config", 5);
    const QString path = "Z:" + lab.writeFile("fw-1.bin", image).replace('/', '\\');
    const qsizetype apRow = rows.left(rows.indexOf("10.77.1.10")).count("row\t") - 1;
    EXPECT_EQ(wine.drive({"popup", QString::number(apRow), "Upgrade FW..."}).trimmed().toStdString(), "ok");
    {
        ASSERT_TRUE(wine.until("window\t", {"show", "Downloading..."}, 10).startsWith("window\t"));
        wine.drive({"type", "Downloading...", "0", path});
        EXPECT_EQ(wine.drive({"click", "Downloading...", "OK"}).trimmed().toStdString(), "ok");
        // The bar's positions while the answer has not come, read as the upload goes.
        QStringList positions;
        for (int i = 0; i < 200 && !wine.drive({"show", "Fernwick"}).contains("Data transmit finish"); ++i) {
            const QString shown = wine.drive({"show", "Downloading..."});
            positions
                << shown.mid(shown.indexOf("msctls_progress32\t")).section('\t', 2, 2).section('\n', 0, 0);
        }
        EXPECT_TRUE(std::any_of(positions.begin(), positions.end(),
                                [](const QString& p) { return p.toInt() > 0 && p.toInt() < 100; }))
            << "the progress bar did not move: " << positions.join(' ').toStdString();
        EXPECT_EQ(fileBytes(QDir(root).filePath("fw.bin")),
                  std::vector<std::uint8_t>(image.begin(), image.end()));
        wine.drive({"click", "Fernwick", "OK"});
        EXPECT_TRUE(wine.until("no window", {"show", "Downloading..."}).contains("no window"));
    }

    // During the transfer of the largest image Enter does not stop it, and Alt+F4 asks first (Cancel:
    // it goes on); Cancel, once confirmed, stops it: nothing goes to the device after it. The data
    // blocks start once the 13 s start sequence (first request, bar steps, second request) is over.
    {
        QFile::remove(QDir(root).filePath("fw.bin")); // tftpd-hpa replaces no file that is not world-writable
        const QString capture = QDir(lab.dir()).filePath("to-device.txt");
        lab.spawn("ws", {"sh", "-c",
                         "exec tcpdump -i any -n -tt -l -Q out udp and dst host 10.77.1.10 >" + capture});
        const QString longer =
            "Z:" +
            lab.writeFile("fw-2.bin", firmwareImage(kTftpMaxImageBytes, "ap config", 6)).replace('/', '\\');
        EXPECT_EQ(wine.drive({"popup", QString::number(apRow), "Upgrade FW..."}).trimmed().toStdString(),
                  "ok");
        ASSERT_TRUE(wine.until("window\t", {"show", "Downloading..."}, 10).startsWith("window\t"));
        wine.drive({"type", "Downloading...", "0", longer});
        wine.drive({"click", "Downloading...", "OK"});
        QThread::sleep(14);
        int position = 0;
        for (int i = 0; i < 100 && position < 5; ++i) {
            const QString shown = wine.drive({"show", "Downloading..."});
            position = shown.mid(shown.indexOf("msctls_progress32\t"))
                           .section('\t', 2, 2)
                           .section('\n', 0, 0)
                           .toInt();
        }
        EXPECT_GE(position, 5);
        const auto now = [] {
            return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
        };
        // The capture's datagrams sent after `since`, and all of them.
        const auto sentAfter = [&](double since) {
            QFile file(capture);
            (void)file.open(QIODevice::ReadOnly);
            const QList<QByteArray> sent = file.readAll().trimmed().split('\n');
            return std::pair{std::count_if(sent.begin(), sent.end(),
                                           [&](const QByteArray& line) {
                                               return line.split(' ').front().toDouble() > since;
                                           }),
                             sent.size()};
        };
        // The question before the upload stops, whichever title its box has; its window's title.
        const QString stopQuestion = "Stop the upgrade? The device may be left without working firmware.";
        const auto asked = [&] {
            for (int i = 0; i < 25; ++i) {
                for (const char* title : {"Fernwick", "Downloading..."}) {
                    const QString shown = wine.drive({"show", title});
                    if (shown.contains(stopQuestion) && shown.contains("Button\t1\tCancel")) {
                        return QString(title);
                    }
                }
                QThread::msleep(200);
            }
            return QString();
        };
        wine.activate("Downloading...");
        wine.keys({"Return"});
        const double entered = now();
        QThread::sleep(1);
        EXPECT_TRUE(wine.drive({"show", "Downloading..."}).startsWith("window\t"))
            << "Enter closed the dialog";
        EXPECT_GT(sentAfter(entered + 0.5).first, 20) << "Enter stopped the upload";
        wine.keys({"alt+F4"});
        QString box = asked();
        EXPECT_FALSE(box.isEmpty()) << "Alt+F4 did not ask";
        if (!box.isEmpty()) {
            EXPECT_EQ(wine.drive({"click", box, "Cancel"}).trimmed().toStdString(), "ok");
        }
        const double kept = now();
        QThread::sleep(1);
        EXPECT_GT(sentAfter(kept + 0.5).first, 20) << "the upload did not go on after Cancel in the question";
        // On a fast machine the whole image may be gone by now: then there is nothing left to stop.
        ASSERT_FALSE(wine.drive({"show", "Fernwick"}).contains("Data transmit finish"))
            << "the upload ended before the Cancel check: it needs a slower link or a larger image";
        EXPECT_EQ(wine.drive({"click", "Downloading...", "Cancel"}).trimmed().toStdString(), "ok");
        box = asked();
        EXPECT_FALSE(box.isEmpty()) << "Cancel did not ask";
        if (!box.isEmpty()) {
            EXPECT_EQ(wine.drive({"click", box, "OK"}).trimmed().toStdString(), "ok");
        }
        const double cancelled = now();
        QThread::sleep(3);
        EXPECT_TRUE(wine.until("no window", {"show", "Downloading..."}).contains("no window"));
        const auto [late, sent] = sentAfter(cancelled + 0.1);
        EXPECT_GT(sent, 1000) << "the transfer had not begun";
        EXPECT_EQ(late, 0) << "datagrams to the device after the upload was stopped";
    }

    // Rows worked from the keyboard: Shift+F10 opens the picked row's popup, Enter connects (the
    // browser is given the row's address), Delete deletes the row, F5 searches again.
    {
        rows = wine.drive({"list"});
        wine.drive({"pick", QString::number(rows.left(rows.indexOf("10.77.2.20")).count("row\t") - 1)});
        wine.activate("Fernwick");
        wine.keys({"shift+F10"});
        EXPECT_TRUE(wine.until("#32768", {"windows"}, 5).contains("#32768")) << "Shift+F10 opened no popup";
        if (!env("FERNWICK_WINDOWS_SCREENSHOT").isEmpty()) {
            lab.run("ws", {"import", "-display", wine.display(), "-window", "root", "-trim", "+repage",
                           env("FERNWICK_WINDOWS_SCREENSHOT")});
        }
        wine.keys({"Escape"});
        EXPECT_TRUE(waitUntil([&] { return !wine.drive({"windows"}).contains("#32768"); }, 3000));
        // Ctrl+C copies the picked row's visible cells under the column titles, in CR LF lines.
        wine.keys({"ctrl+c"});
        const QStringList cells = rows.split('\n').filter("\t10.77.2.20\t").value(0).split('\t').mid(1, 6);
        EXPECT_EQ(wine.drive({"clipboard"}).trimmed().toStdString(),
                  ("clipboard\tWireless Device\tIP Address\tESS-ID\tChannel No\tWEP\tMac Address\\r\\n" +
                   cells.join('\t') + "\\r\\n")
                      .toStdString());
        wine.keys({"Return"});
        EXPECT_TRUE(waitUntil([&] { return fileBytes(opened).has_value(); }, 10000))
            << "Enter did not connect";
        QFile urls(opened);
        (void)urls.open(QIODevice::ReadOnly);
        // wine's browser launcher adds the path's "/".
        EXPECT_EQ(urls.readAll().trimmed().toStdString(), "http://10.77.2.20/");
        wine.keys({"Delete"});
        waitUntil([&] { return !(rows = wine.drive({"list"})).contains("10.77.2.20"); }, 3000);
        EXPECT_FALSE(rows.contains("10.77.2.20")) << "Delete left the row\n" << rows.toStdString();
        EXPECT_EQ(rows.count("row\t"), 3) << rows.toStdString();
        wine.keys({"F5"});
        EXPECT_TRUE(wine.until("Searching...", {"windows"}, 5).contains("Searching..."))
            << "F5 did not search";
        rows = wine.until("10.77.2.20", {"list"}, 20);
        EXPECT_EQ(rows.count("row\t"), 4) << "F5 did not search\n" << rows.toStdString();
    }

    // Escape in the Searching window ends the search at once, not after its 15 steps of 0.2 s.
    {
        EXPECT_TRUE(wine.until("no window", {"show", "Searching..."}).contains("no window"));
        EXPECT_EQ(wine.drive({"menu", "Edit/Search"}).trimmed().toStdString(), "ok");
        const QString shown = wine.until("window\t", {"show", "Searching..."}, 10);
        QElapsedTimer escaped;
        escaped.start();
        wine.keys({"Escape"});
        EXPECT_TRUE(wine.until("no window", {"show", "Searching..."}, 10).contains("no window"));
        EXPECT_LT(escaped.elapsed(), 1200) << "Escape pressed at\n" << shown.toStdString();
    }

    // A second copy ends by itself, with no window of its own (the last search's window gone first).
    EXPECT_TRUE(wine.until("no window", {"show", "Searching..."}).contains("no window"));
    const NetLab::Outcome second = wine.run({env("FERNWICK_WINDOWS_GUI")});
    EXPECT_EQ(second.status, 0);
    const QString windows = wine.drive({"windows"});
    EXPECT_EQ(windows.count("window\t"), 1) << windows.toStdString();
    EXPECT_EQ(fernwick->state(), QProcess::Running);

    // File -> Exit asks first: Cancel keeps the window, OK ends the program.
    const auto askExit = [&] {
        EXPECT_EQ(wine.drive({"menu", "File/Exit"}).trimmed().toStdString(), "ok");
        EXPECT_TRUE(wine.until("Exit Fernwick?", {"show", "Exit"}).contains("Exit Fernwick?"));
    };
    askExit();
    EXPECT_EQ(wine.drive({"click", "Exit", "Cancel"}).trimmed().toStdString(), "ok");
    EXPECT_TRUE(wine.until("no window", {"show", "Exit"}).contains("no window"));
    EXPECT_EQ(fernwick->state(), QProcess::Running);
    askExit();
    EXPECT_EQ(wine.drive({"click", "Exit", "OK"}).trimmed().toStdString(), "ok");
    EXPECT_TRUE(fernwick->waitForFinished(20000));
}

// A click on the IP header sorts the rows as numbers and a second reverses them. File -> Export
// List..., its Save dialog worked by keys, writes the bytes fernwick-cli.exe prints in the same lab
// (its CR LF read as LF), in the list's order; a name that is a folder is refused with the reason.
TEST(WindowsGuiNet, SortsByTheIpHeaderAndExportsWhatTheCommandLineLists) {
    for (const char* program : {"FERNWICK_WINDOWS_GUI", "FERNWICK_WINDOWS_CLI"}) {
        if (!QFile::exists(env(program))) {
            GTEST_SKIP() << program << " does not name a built program";
        }
    }
    NetLab lab;
    const WineServerStop stop;
    startListLab(lab);
    const Wine wine(lab);
    // Before the window, which keeps port 4001 open.
    const NetLab::Outcome csv = wine.run({env("FERNWICK_WINDOWS_CLI"), "search", "--format", "csv"});
    const NetLab::Outcome json = wine.run({env("FERNWICK_WINDOWS_CLI"), "search", "--format", "json"});
    ASSERT_EQ(csv.out.count('\n'), 4) << csv.out.toStdString();
    wine.start();
    wine.until("10.77.2.20", {"list"}, 40);
    ASSERT_TRUE(wine.until("no window", {"show", "Searching..."}).contains("no window"));
    const auto ips = [&] {
        QStringList out;
        for (const QString& row : wine.drive({"list"}).split('\n', Qt::SkipEmptyParts)) {
            out << row.section('\t', 2, 2);
        }
        return out.join(' ').toStdString();
    };
    // The order the list takes after a click on the IP header, once it is `expected` (or after 5 s).
    const auto clickIpHeader = [&](const std::string& expected) {
        EXPECT_EQ(wine.drive({"header", "1"}).trimmed().toStdString(), "ok");
        waitUntil([&] { return ips() == expected; }, 5000);
        return ips();
    };
    const std::string ascending = "10.77.1.9 10.77.1.10 10.77.2.20";
    EXPECT_EQ(clickIpHeader(ascending), ascending);

    const auto exportAs = [&](const QString& path) {
        wine.activate("Fernwick");
        wine.keys({"alt+f", "x"});
        EXPECT_TRUE(wine.until("window\t", {"show", "Export List"}, 10).startsWith("window\t"));
        wine.keys({"End", "shift+Home"}); // the name offered, replaced by the one typed
        wine.type("Z:" + QString(path).replace('/', '\\'));
        wine.keys({"Return"});
    };
    for (const auto& [name, cliOut] : {std::pair{"list.csv", csv.out}, {"list.json", json.out}}) {
        const QString path = lab.dir() + "/" + name;
        exportAs(path);
        waitUntil([&] { return fileBytes(path).has_value(); }, 5000);
        const auto bytes = fileBytes(path).value_or(std::vector<std::uint8_t>{});
        // run() reads the CLI's CR LF as LF; the export must have written CR LF like it.
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
                  rowsInIpOrder(cliOut).replace("\n", "\r\n").toStdString())
            << name;
    }

    // A folder named like the file the default extension makes: replacing it is refused.
    const QString folder = lab.dir() + "/folder.csv";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string before = folderEntries(lab.dir());
    exportAs(lab.dir() + "/folder");
    // The dialog asks before replacing what is there: Enter says Yes.
    EXPECT_TRUE(waitUntil([&] { return wine.drive({"windows"}).count("\tExport List") == 2; }, 5000));
    wine.keys({"Return"});
    const QString box = wine.until("could not be saved", {"show", "Fernwick"}, 10);
    EXPECT_TRUE(box.contains("The list could not be saved to Z:" + QString(folder).replace('/', '\\') +
                             ":\nAccess denied."))
        << box.toStdString();
    wine.drive({"click", "Fernwick", "OK"});
    EXPECT_EQ(folderEntries(lab.dir()), before);
    EXPECT_TRUE(QDir(folder).isEmpty());

    const std::string descending = "10.77.2.20 10.77.1.10 10.77.1.9";
    EXPECT_EQ(clickIpHeader(descending), descending) << "a second click reverses";

    // View -> Vendor Column: each row's vendor in a column of its own, in the list's order.
    wine.activate("Fernwick");
    wine.keys({"alt+v", "v"});
    const auto vendors = [&] {
        QStringList out;
        for (const QString& row : wine.drive({"list"}).split('\n', Qt::SkipEmptyParts)) {
            out << row.section('\t', 8, 8); // after the hidden kind column
        }
        return out.join('|').toStdString();
    };
    EXPECT_TRUE(waitUntil([&] { return vendors() == "Stream Labs|Stream Labs|locally administered"; }, 5000))
        << vendors();
}

} // namespace
} // namespace fw
