// The whole search on real sockets: a workstation namespace with two adapters, simulated devices
// on both segments, one of them on a foreign subnet that can only answer by broadcast.
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"

#include "net/discovery/SimulatorLog.h"
#include "support/Fakes.h"
#include "support/NetLab.h"
#include "unit/discovery/RowPrinting.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>

namespace fw {
namespace {

using test::simulatorEvents;
using test::waitUntil;

// The bytes of each datagram the simulator received.
std::vector<QByteArray> received(const QString& log) {
    std::vector<QByteArray> out;
    for (const QJsonObject& o : simulatorEvents(log, "rx")) {
        out.push_back(QByteArray::fromHex(o["hex"].toString().toLatin1()));
    }
    return out;
}

QByteArray request(int sequence, const char* macHex) {
    return QByteArray::fromHex("87654321100000" + QByteArray::number(sequence, 16).rightJustified(2, '0') +
                               macHex + "0000");
}

TEST(SearchNet, DevicesOnBothSegmentsAndAForeignSubnetAreAllListed) {
    test::NetLab lab;
    const auto log = [&lab](const char* host) {
        return lab.dir() + "/" + host + ".jsonl";
    };
    const std::tuple<const char*, const char*, const char*, QString> devices[] = {
        {"d1", "a", "10.77.1.10/24",
         "name=Lobby AP,mac=00:0A:1B:2C:3D:4E,essid=office-net,channel=6,wep=1,kind=AP"},
        {"d2", "b", "10.77.2.20/24",
         "name=Yard bridge,mac=00:0A:1B:00:00:02,essid=yard,channel=11,wep=0,kind=G"},
        {"d3", "b", "192.168.99.7/24",
         "name=Factory fresh,mac=00:0A:1B:00:00:03,essid=default,channel=1,kind=AP,reply=broadcast"},
    };
    for (const auto& [host, segment, cidr, options] : devices) {
        lab.addHost(host, segment, cidr);
        lab.spawn(host, {test::NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--device", options,
                         "--log", log(host)});
    }
    for (const auto& [host, segment, cidr, options] : devices) {
        ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log(host), "ready").empty(); }, 10000)) << host;
    }

    lab.enterWorkstation();
    test::FakeMessageBoxes messages;
    test::FakeShell shell;
    test::FakeFileChooser files;
    LinuxAdapterSource adapters;
    Platform platform{messages, shell, adapters, files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    DeviceListModel model;
    SearchCycle cycle(platform, values, model, nullptr);
    QSignalSpy finished(&cycle, &SearchCycle::searchFinished);
    const auto rowsByIp = [&model] {
        std::vector<DeviceRow> rows;
        for (int i = 0; i < model.rowCount(); ++i) {
            rows.push_back(model.rowAt(i));
        }
        std::sort(rows.begin(), rows.end(),
                  [](const DeviceRow& a, const DeviceRow& b) { return a.ip < b.ip; });
        return rows;
    };
    const std::vector<DeviceRow> expected{
        {"Lobby AP", "10.77.1.10", "office-net", "6", "Enabled", "00-0A-1B-2C-3D-4E", "A", "10.77.1.1"},
        {"Yard bridge", "10.77.2.20", "yard", "11", "Disabled", "00-0A-1B-00-00-02", "G", "10.77.2.1"},
        {"Factory fresh", "192.168.99.7", "default", "1", "Disabled", "00-0A-1B-00-00-03", "A", "10.77.2.1"},
    };

    for (int search = 1; search <= 2; ++search) { // the second keeps socket 0 open and binds a new socket 1
        cycle.search();
        ASSERT_EQ(values.adapterTable.size(), 2u);
        EXPECT_EQ(model.rowCount(), 0);
        EXPECT_TRUE(waitUntil([&] { return model.rowCount() == 3; }, 3000)) << model.rowCount();
        ASSERT_TRUE(waitUntil([&] { return finished.count() == search; }, 5000));
        EXPECT_EQ(rowsByIp(), expected);
        // One request per adapter per search, each with its adapter's MAC: eth0 reaches segment a,
        // eth1 segment b.
        const QByteArray fromEth0 = request(search, "02fe00000101");
        const QByteArray fromEth1 = request(search, "02fe00000201");
        EXPECT_EQ(received(log("d1")).back(), fromEth0);
        EXPECT_EQ(received(log("d2")).back(), fromEth1);
        EXPECT_EQ(received(log("d3")).back(), fromEth1);
        EXPECT_EQ(received(log("d3")).size(), static_cast<std::size_t>(search));
    }
}

} // namespace
} // namespace fw
