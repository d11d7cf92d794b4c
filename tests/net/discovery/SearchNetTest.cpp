// The whole search on real sockets: a workstation namespace with two adapters, simulated devices
// on both segments, one of them on a foreign subnet that can only answer by broadcast.
#include "discovery/DeviceListModel.h"
#include "discovery/SearchCycle.h"
#include "platform/LinuxAdapterSource.h"
#include "platform/UdpEndpoint.h"

#include "support/Fakes.h"
#include "support/NetLab.h"
#include "unit/discovery/RowPrinting.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>

namespace fw {
namespace {

using test::NetLab;
using test::waitUntil;

struct SimDevice {
    std::string host;
    std::string segment;
    std::string cidr;
    QString spec; // the simulator's --device text
};

QString simulator() {
    return NetLab::binaryPath("tools/devsim/fernwick-devsim");
}

// The JSON lines a simulator has logged so far.
std::vector<QJsonObject> logLines(const QString& path) {
    std::vector<QJsonObject> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return out;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject()) {
            out.push_back(doc.object());
        }
    }
    return out;
}

bool isReady(const QString& log) {
    const auto lines = logLines(log);
    return std::any_of(lines.begin(), lines.end(),
                       [](const QJsonObject& o) { return o["event"] == "ready"; });
}

// Every datagram a simulator received on the discovery port, as raw bytes.
std::vector<QByteArray> requestsReceived(const QString& log) {
    std::vector<QByteArray> out;
    for (const QJsonObject& o : logLines(log)) {
        if (o["event"] == "rx") {
            out.push_back(QByteArray::fromHex(o["hex"].toString().toLatin1()));
        }
    }
    return out;
}

QByteArray request(std::uint8_t sequence, const char* macHex) {
    return QByteArray::fromHex(QByteArray("876543211000") +
                               QByteArray::number(sequence, 16).rightJustified(4, '0') + macHex + "0000");
}

class SearchNet : public ::testing::Test {
protected:
    void startDevices(const std::vector<SimDevice>& devices) {
        for (const auto& d : devices) {
            lab.addHost(d.host, d.segment, d.cidr);
            const QString log = logOf(d.host);
            lab.spawn(d.host, {simulator(), "--device", d.spec, "--log", log});
        }
        for (const auto& d : devices) {
            ASSERT_TRUE(waitUntil([&] { return isReady(logOf(d.host)); }, 10000)) << d.host;
        }
    }
    QString logOf(const std::string& host) const {
        return lab.dir() + "/" + QString::fromStdString(host) + ".jsonl";
    }
    std::vector<DeviceRow> sortedRows() const {
        std::vector<DeviceRow> rows;
        for (int i = 0; i < model.rowCount(); ++i) {
            rows.push_back(model.rowAt(i));
        }
        std::sort(rows.begin(), rows.end(),
                  [](const DeviceRow& a, const DeviceRow& b) { return a.ip < b.ip; });
        return rows;
    }

    NetLab lab;
    test::FakeMessageBoxes messages;
    test::FakeShell shell;
    test::FakeFileChooser files;
    LinuxAdapterSource adapters;
    Platform platform{messages, shell, adapters, files, [] {
                          return std::make_unique<UdpEndpoint>();
                      }};
    ProcessValues values;
    DeviceListModel model;
};

TEST_F(SearchNet, DevicesOnBothSegmentsAndAForeignSubnetAreAllListed) {
    startDevices({
        {"d1", "a", "10.77.1.10/24",
         "name=Lobby AP,mac=00:0A:1B:2C:3D:4E,essid=office-net,channel=6,wep=1,kind=AP"},
        {"d2", "b", "10.77.2.20/24",
         "name=Yard bridge,mac=00:0A:1B:00:00:02,essid=yard,channel=11,wep=0,kind=G"},
        {"d3", "b", "192.168.99.7/24",
         "name=Factory fresh,mac=00:0A:1B:00:00:03,essid=default,channel=1,wep=0,kind=AP,reply=broadcast"},
    });
    lab.enterWorkstation();
    SearchCycle cycle(platform, values, model, nullptr);
    QSignalSpy finished(&cycle, &SearchCycle::searchFinished);

    cycle.search();
    ASSERT_EQ(values.adapterTable.size(), 2u);
    EXPECT_TRUE(waitUntil([&] { return model.rowCount() == 3; }, 3000)) << model.rowCount();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }, 5000));
    const std::vector<DeviceRow> expected{
        {"Lobby AP", "10.77.1.10", "office-net", "6", "Enabled", "00-0A-1B-2C-3D-4E", "A", "10.77.1.1"},
        {"Yard bridge", "10.77.2.20", "yard", "11", "Disabled", "00-0A-1B-00-00-02", "G", "10.77.2.1"},
        {"Factory fresh", "192.168.99.7", "default", "1", "Disabled", "00-0A-1B-00-00-03", "A", "10.77.2.1"},
    };
    EXPECT_EQ(sortedRows(), expected);

    // One request per adapter, each with its adapter's MAC: eth0 reaches segment a, eth1 segment b.
    const QByteArray fromEth0 = request(1, "02fe00000101");
    const QByteArray fromEth1 = request(1, "02fe00000201");
    EXPECT_EQ(requestsReceived(logOf("d1")), std::vector<QByteArray>{fromEth0});
    EXPECT_EQ(requestsReceived(logOf("d2")), std::vector<QByteArray>{fromEth1});
    EXPECT_EQ(requestsReceived(logOf("d3")), std::vector<QByteArray>{fromEth1});

    // The next search keeps socket 0 open, binds a new socket 1, and finds everyone again.
    cycle.search();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(waitUntil([&] { return model.rowCount() == 3; }, 3000)) << model.rowCount();
    EXPECT_EQ(sortedRows(), expected);
    EXPECT_EQ(requestsReceived(logOf("d1")).back(), request(2, "02fe00000101"));
    EXPECT_EQ(requestsReceived(logOf("d3")).back(), request(2, "02fe00000201"));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }, 5000));
}

} // namespace
} // namespace fw
