// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's platform on a lab workstation's real adapters and sockets (fake message boxes, shell
// and file chooser) with a SearchCycle over it, and a simulator playing many devices. Shared by the
// hostile net tests and the search benchmark.

#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "platform/UdpEndpoint.h"
#include "platform/linux/LinuxAdapterSource.h"
#include "support/Fakes.h"
#include "support/NetLab.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace fw::test {

// Moves the thread into the lab's workstation namespace; the Searching dialog has a real parent.
struct SearchRig {
    explicit SearchRig(NetLab& lab) {
        lab.enterWorkstation();
        window.show();
    }
    FakeMessageBoxes messages;
    FakeShell shell;
    FakeFileChooser files;
    LinuxAdapterSource adapters;
    Platform platform{messages, shell, adapters, files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    DeviceListModel model;
    QWidget window;
    SearchCycle cycle{platform, values, model, &window};

    // One search, run in a real event loop until its countdown ends (at most 10 s).
    void searchToEnd() {
        QEventLoop loop;
        QObject::connect(&cycle, &SearchCycle::searchFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        cycle.search();
        loop.exec();
    }
    std::vector<DeviceRow> rowsByIp() const {
        std::vector<DeviceRow> out;
        for (int i = 0; i < model.rowCount(); ++i) {
            out.push_back(model.rowAt(i));
        }
        std::sort(out.begin(), out.end(), [](const DeviceRow& a, const DeviceRow& b) { return a.ip < b.ip; });
        return out;
    }
};

// Host "many" (10.77.1.2 on segment a) plays devices n = 1..count at once, "Device <n>" at
// 10.78.(n / 250).(n % 250 + 1), answering by unicast. Returns the simulator's log.
inline QString startManyDevices(NetLab& lab, int count) {
    lab.addHost("many", "a", "10.77.1.2/24");
    // One kernel plays every device: resolve the workstation once so the burst does not queue (and
    // overflow) behind a single neighbour lookup, which a thousand real devices would not share.
    lab.run("many", {"ip", "neigh", "replace", "10.77.1.1", "lladdr", "02:fe:00:00:01:01", "dev", "eth0",
                     "nud", "permanent"});
    QJsonArray devices;
    for (int n = 1; n <= count; ++n) {
        devices.append(QJsonObject{{"mac", QString::asprintf("02:00:00:00:%02x:%02x", n >> 8, n & 0xFF)},
                                   {"ip", QString("10.78.%1.%2/16").arg(n / 250).arg(n % 250 + 1)},
                                   {"name", QString("Device %1").arg(n)},
                                   {"reply", "unicast"}});
    }
    return lab.startSimulator("many", QJsonDocument(QJsonObject{{"devices", devices}}).toJson(), 120000);
}

} // namespace fw::test
