// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/NetLab.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace fw::test {

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
