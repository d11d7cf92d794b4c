// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window's thread stalls while the network is busy: a 1 ms repeating timer on the GUI
// thread records its worst lateness (the longest gap between two ticks, less the 1 ms) during a
// search that 1,000 devices answer at once and during an upload of the largest image (16,776,703
// bytes) to tftpd-hpa, both run by the real main window and upgrade dialog on real sockets in a
// namespace lab. The searches run with the list in arrival order and sorted by IP through a click
// on the column's title, ascending and descending, so that each row takes its sorted place as it
// arrives.
// Needs root; prints SKIPPED and exits 77 otherwise.
//
//   bench_gui_stall [rounds]        of the three orders, default 3
//   bench_gui_stall --picture PNG   instead, the picture of a small lab's list sorted by IP
//                                   (docs/sorted-list.png)

#include "../LabBench.h"
#include "platform/SystemHost.h"
#include "qt/DeviceListModel.h"
#include "qt/DeviceListView.h"
#include "qt/Download.h"
#include "qt/MainWindow.h"
#include "qt/PathBox.h"
#include "qt/RowDialogs.h"
#include "support/Fakes.h"
#include "support/ManyDevices.h"
#include "upgrade/TftpPackets.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string_view>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;
using test::NetLab;

// Ticks every millisecond on the GUI thread; any gap beyond that is time the thread was not
// running its event loop: busy with work of its own (the CPU it used in the gap says how much), or
// waiting for a CPU on a loaded machine.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.callOnTimeout([this] { tick(); });
    }
    // `done`, if given, is asked at every tick: the CPU used until it first holds is kept too.
    void start(std::function<bool()> done = {}) {
        done_ = std::move(done);
        doneBusy_.reset();
        worst_ = {};
        worstBusy_ = 0;
        ticks_ = 0;
        last_ = start_ = Clock::now();
        lastCpu_ = startCpu_ = threadCpuMs();
        timer_.start(1);
    }
    void stop() {
        timer_.stop();
        totalBusy_ = threadCpuMs() - startCpu_;
    }
    double worstMs() const { return std::chrono::duration<double, std::milli>(worst_).count(); }
    // The most CPU the thread used between two ticks.
    double worstBusyMs() const { return worstBusy_; }
    // All the CPU the thread used from start() to stop().
    double totalBusyMs() const { return totalBusy_; }
    // The CPU the thread used from start() until `done` held, and when that was; none if it never did.
    std::optional<double> doneBusyMs() const { return doneBusy_; }
    double doneAtMs() const { return std::chrono::duration<double, std::milli>(doneAt_ - start_).count(); }
    // When the worst stall began, from start().
    double worstAtMs() const { return std::chrono::duration<double, std::milli>(worstAt_ - start_).count(); }
    long ticks() const { return ticks_; }

private:
    static double threadCpuMs() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
    }
    void tick() {
        const double cpu = threadCpuMs();
        worstBusy_ = std::max(worstBusy_, cpu - lastCpu_);
        lastCpu_ = cpu;
        const auto now = Clock::now();
        if (now - last_ - std::chrono::milliseconds{1} > worst_) {
            worst_ = now - last_ - std::chrono::milliseconds{1};
            worstAt_ = last_;
        }
        last_ = now;
        ++ticks_;
        if (done_ && !doneBusy_ && done_()) {
            doneBusy_ = cpu - startCpu_;
            doneAt_ = now;
        }
    }
    QTimer timer_;
    Clock::time_point start_;
    Clock::time_point last_;
    Clock::time_point worstAt_;
    Clock::time_point doneAt_;
    std::function<bool()> done_;
    std::optional<double> doneBusy_;
    Clock::duration worst_{};
    double lastCpu_ = 0;
    double startCpu_ = 0;
    double worstBusy_ = 0;
    double totalBusy_ = 0;
    long ticks_ = 0;
};

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A left click at `at`, as the mouse makes it.
void click(QWidget* widget, QPoint at) {
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

// A click on the IP column's title: the window's logic sorts the list and sets the indicator.
constexpr int kIpColumn = 1;
void clickIpTitle(MainWindow& window) {
    QHeaderView* header = window.findChild<DeviceListView*>()->header();
    click(header->viewport(), {header->sectionViewportPosition(kIpColumn) + 10, header->height() / 2});
}

struct NoRowDialogs final : RowDialogs {
    int openSetIp(QWidget*, const SetIpDialog::Opening&) override { return 0; }
    void openUpgrade(QWidget*, const UpgradeDialog::Opening&) override {}
};

class LabShell final : public Shell {
public:
    void openUrl(const std::string&) override {}
};

// Made once the thread is in the workstation's namespace: the engine's thread starts there too.
struct Rig {
    Rig() { engine.startThread(); }
    test::FakeMessageBoxes messages;
    LabShell shell;
    SystemHost host;
    test::FakeFileChooser files;
    Platform platform{messages, shell, host, files};
    engine::Engine engine;
    EngineLink link{engine, engine.endpoints()};
};

// The machine's own floor: the same probe for 3 s with nothing else to do.
void idle() {
    StallProbe probe;
    probe.start();
    runFor(3000);
    probe.stop();
    std::printf(
        "idle: GUI thread's worst stall %.2f ms; most CPU between ticks %.2f ms (%ld ticks of 1 ms)\n",
        probe.worstMs(), probe.worstBusyMs(), probe.ticks());
}

// The list's orders, in this turn in every round; each after one more click on the IP column's title.
constexpr std::array kOrders{"arrival order", "sorted by IP", "sorted by IP, descending"};

// `rounds` rounds, each in a fresh window, which starts in arrival order: its first search on
// showing, then one search from Edit -> Search in each order, so that the orders take turns on the
// machine. Each search is measured from its start to half a second after its 3 s countdown.
bool searches(int rounds) {
    NetLab lab;
    test::startManyDevices(lab, 1000);
    lab.enterWorkstation();
    Rig rig;
    NoRowDialogs dialogs;
    StallProbe probe;
    bool allListed = true;
    // Per order: worst stall, most CPU between ticks, CPU until the 1,000th row, CPU in all.
    std::array<std::array<std::vector<double>, 4>, kOrders.size()> figures;
    for (int r = 1; r <= rounds; ++r) {
        MainWindow window(rig.platform, rig.link, dialogs);
        // Every row listed again since the search emptied the list.
        const auto allRows = [&window] {
            return [&window, emptied = false]() mutable {
                emptied = emptied || window.deviceList().rowCount() < 1000;
                return emptied && window.deviceList().rowCount() == 1000;
            };
        };
        const auto measure = [&](const char* what, int ms) {
            runFor(ms);
            probe.stop();
            const int rows = window.deviceList().rowCount();
            allListed = allListed && rows == 1000 && probe.doneBusyMs();
            std::printf(
                "round %d, %s: %d of 1000 rows, the last %.0f ms in; GUI thread's worst stall %.2f ms, "
                "%.0f ms in; most CPU between ticks %.2f ms; CPU until the last row %.1f ms, in all "
                "%.1f ms (%ld ticks of 1 ms)\n",
                r, what, rows, probe.doneAtMs(), probe.worstMs(), probe.worstAtMs(), probe.worstBusyMs(),
                probe.doneBusyMs().value_or(0), probe.totalBusyMs(), probe.ticks());
        };
        probe.start(allRows());
        window.show(); // the first search starts half a second later
        measure("search on showing", 4000);
        for (std::size_t o = 0; o < kOrders.size(); ++o) {
            if (o > 0) {
                clickIpTitle(window);
            }
            probe.start(allRows());
            window.findChild<QAction*>("search")->trigger();
            measure(kOrders[o], 3500);
            figures[o][0].push_back(probe.worstMs());
            figures[o][1].push_back(probe.worstBusyMs());
            figures[o][2].push_back(probe.doneBusyMs().value_or(0));
            figures[o][3].push_back(probe.totalBusyMs());
        }
    }
    for (std::size_t o = 0; o < kOrders.size(); ++o) {
        const auto& worst = figures[o][0];
        std::printf("%s, median of %d: worst stall %.2f ms (largest %.2f); most CPU between ticks %.2f ms; "
                    "CPU until the last row %.1f ms, in all %.1f ms\n",
                    kOrders[o], rounds, bench::median(worst), *std::max_element(worst.begin(), worst.end()),
                    bench::median(figures[o][1]), bench::median(figures[o][2]), bench::median(figures[o][3]));
    }
    return allListed;
}

// The upgrade dialog, OK to its close: 13 s of start sequence, then the transfer.
bool upload() {
    NetLab lab;
    lab.addHost("d0", "a", "10.77.1.10/24");
    const QString root = test::startTftpd(lab, "d0");
    const QString path = lab.writeFile("image.bin", test::firmwareImage(kTftpMaxImageBytes, "AP Config", 7));
    lab.enterWorkstation();
    Rig rig;
    const UpgradeDialog::Opening opening{
        {"", *Ipv4::parse("10.77.1.10"), {}}, DeviceKind::AccessPoint, Ipv4::parse("10.77.1.1")};
    UploadCarryOver carry;
    Download dialog(rig.platform, rig.link, opening, carry);
    dialog.show();
    StallProbe probe;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    dialog.findChild<PathBox*>("Combo1")->setEditText(path);
    const auto start = Clock::now();
    probe.start();
    dialog.findChild<QPushButton*>("Command1")->click(); // the image is read and checked, then sent
    loop.exec();
    probe.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto stored = test::fileBytes(QDir(root).filePath("fw.bin"));
    const bool ok = rig.messages.texts() == std::vector<std::string>{"Data transmit finish"} && stored &&
                    stored->size() == kTftpMaxImageBytes;
    std::printf(
        "upload of %zu bytes: %s in %.1f s from OK; GUI thread's worst stall %.2f ms, %.0f ms in; most "
        "CPU between ticks %.2f ms (%ld ticks of 1 ms)\n",
        kTftpMaxImageBytes, ok ? "stored" : "FAILED", seconds, probe.worstMs(), probe.worstAtMs(),
        probe.worstBusyMs(), probe.ticks());
    return ok;
}

// The demo's two segments and one more access point, 10.77.1.9, listed last by its simulator: the
// list sorted by IP with a click on the column's title (numbers: .9 before .10), Lobby AP picked
// before it and still picked after.
bool picture(const QString& file) {
    NetLab lab;
    lab.addHost("sega", "a", "10.77.1.10/24");
    lab.addHost("segb", "b", "10.77.2.20/24");
    lab.startSimulator("sega", R"({"devices": [
        {"name": "Lobby AP", "mac": "00:0A:1B:2C:3D:4E", "ip": "10.77.1.10/24", "essid": "office-net",
         "channel": 6, "wep": 1, "kind": "AP"},
        {"name": "Warehouse bridge", "mac": "00:0A:1B:2C:3D:51", "ip": "10.77.1.11/24", "essid": "office-net",
         "channel": 6, "wep": 1, "kind": "G"},
        {"name": "Meeting room AP", "mac": "00:0A:1B:2C:3D:52", "ip": "10.77.1.12/24", "essid": "guests",
         "channel": 1, "wep": 0, "kind": "AP"},
        {"name": "Stairwell AP", "mac": "00:0A:1B:2C:3D:60", "ip": "10.77.1.9/24", "essid": "office-net",
         "channel": 11, "wep": 1, "kind": "AP"}]})");
    lab.startSimulator("segb", R"({"devices": [
        {"name": "Yard bridge", "mac": "00:0A:1B:00:00:02", "ip": "10.77.2.20/24", "essid": "yard",
         "channel": 11, "wep": 0, "kind": "G"},
        {"name": "Gatehouse AP", "mac": "00:0A:1B:00:00:07", "ip": "10.77.2.21/24", "essid": "yard",
         "channel": 11, "wep": 1, "kind": "AP"},
        {"name": "Factory fresh", "mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "essid": "default",
         "channel": 1, "wep": 0, "kind": "AP", "reply": "broadcast"}]})");
    lab.enterWorkstation();
    Rig rig;
    NoRowDialogs dialogs;
    MainWindow window(rig.platform, rig.link, dialogs);
    window.show();
    window.activateWindow();
    runFor(4000); // the first search half a second after showing, then its 3 s
    auto* list = window.findChild<DeviceListView*>();
    const QModelIndexList lobby =
        window.deviceList().match(window.deviceList().index(0, 0), Qt::DisplayRole, "Lobby AP");
    if (lobby.isEmpty()) {
        return false;
    }
    click(list->viewport(), list->visualRect(lobby.front()).center());
    clickIpTitle(window);
    runFor(200);
    const bool ok = window.deviceList().rowCount() == 7 && window.grab().save(file);
    std::printf("%d rows, sorted by IP: %s\n", window.deviceList().rowCount(), ok ? "saved" : "FAILED");
    return ok;
}

} // namespace
} // namespace fw

int main(int argc, char** argv) {
    if (!fw::bench::readyForLab()) {
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    try {
        if (argc > 2 && std::string_view(argv[1]) == "--picture") {
            return fw::picture(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
        }
        fw::idle();
        const bool found = fw::searches(count);
        const bool uploaded = fw::upload();
        return found && uploaded ? 0 : 1;
    } catch (const std::exception& e) { // the lab or the simulator did not come up
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
