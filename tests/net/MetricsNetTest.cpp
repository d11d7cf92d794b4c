// SPDX-License-Identifier: GPL-3.0-or-later
// watch's metrics read by the real Prometheus server and node_exporter, all inside the lab's
// workstation namespace (every server listens on its loopback only).
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace fw {
namespace {

using test::CliProcess;
using test::NetLab;
using test::waitUntil;

// fernwick_device_up by MAC, as Prometheus's query API returns it now.
std::map<QString, QString> upByMac(NetLab& lab) {
    const auto r =
        lab.runApart("ws", {"curl", "-sf", "http://127.0.0.1:9090/api/v1/query?query=fernwick_device_up"});
    std::map<QString, QString> up;
    for (const QJsonValue v : QJsonDocument::fromJson(r.out)["data"]["result"].toArray()) {
        const QJsonObject o = v.toObject();
        up[o["metric"].toObject()["mac"].toString()] = o["value"].toArray().at(1).toString();
    }
    return up;
}

// The status line of the answer to a request with one 1 MiB header, or "closed".
constexpr const char* kHugeHeader = R"(
import socket
s = socket.create_connection(('127.0.0.1', 9120), timeout=10)
try:
    s.sendall(b'GET /metrics HTTP/1.1\r\nHost: x\r\nX-Big: ' + b'a' * (1 << 20) + b'\r\n\r\n')
    print(s.recv(100).split(b'\r\n')[0].decode() or 'closed')
except OSError:
    print('closed')
)";

TEST(MetricsNet, PrometheusScrapesTheWatchAndSeesADeviceGo) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.addHost("b", "a", "10.77.1.20/24");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:02", "ip": "10.77.1.11"}]})");
    lab.startSimulator("b", R"({"devices": [{"mac": "00:0A:1B:00:00:03", "ip": "10.77.1.21"}]})");
    const QString textfiles = lab.dir() + "/textfiles";
    ASSERT_TRUE(QDir().mkpath(textfiles));
    CliProcess watch(lab, {"watch", "--interval", "1", "--missed", "1", "--format", "jsonl",
                           "--metrics-listen", "127.0.0.1:9120", "--textfile", textfiles, "--inventory",
                           lab.dir() + "/inventory.json"});
    const QString config =
        lab.writeFile("prometheus.yml", "global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
                                        "scrape_configs:\n"
                                        "  - job_name: fernwick\n"
                                        "    static_configs: [{targets: ['127.0.0.1:9120']}]\n");
    lab.spawn("ws", {"prometheus", "--config.file=" + config, "--storage.tsdb.path=" + lab.dir() + "/tsdb",
                     "--web.listen-address=127.0.0.1:9090"});
    lab.spawn("ws", {"prometheus-node-exporter", "--web.listen-address=127.0.0.1:9100",
                     "--collector.disable-defaults", "--collector.textfile",
                     "--collector.textfile.directory=" + textfiles});

    const std::map<QString, QString> bothUp{{"00:0a:1b:00:00:02", "1"}, {"00:0a:1b:00:00:03", "1"}};
    ASSERT_TRUE(waitUntil([&] { return upByMac(lab) == bothUp; }, 30000)) << watch.outSoFar().toStdString();

    EXPECT_EQ(
        lab.runApart("ws", {"sh", "-c", "curl -sf http://127.0.0.1:9120/metrics | promtool check metrics"})
            .status,
        0);
    // Both are new to the empty inventory, and counted under the name the JSON lines give them.
    EXPECT_TRUE(lab.runApart("ws", {"curl", "-sf", "http://127.0.0.1:9120/metrics"})
                    .out.contains("fernwick_events_total{event=\"new\"} 2"));
    const auto rules =
        lab.runApart("ws", {"promtool", "test", "rules",
                            NetLab::sourcePath("packaging/prometheus/fernwick-rules.test.yml")});
    EXPECT_EQ(rules.status, 0) << rules.out.toStdString() << rules.err.toStdString();
    EXPECT_TRUE(waitUntil(
        [&] {
            return lab.runApart("ws", {"curl", "-sf", "http://127.0.0.1:9100/metrics"})
                .out.contains("fernwick_device_up{adapter=\"eth0\",mac=\"00:0a:1b:00:00:02\"} 1");
        },
        10000));
    // Only GET and HEAD of /metrics are served; a POST is refused without waiting for its body.
    const auto status = [&](const QString& method, const QString& path) {
        return lab
            .runApart("ws", {"curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "--max-time", "3", "-X",
                             method, "http://127.0.0.1:9120" + path})
            .out;
    };
    EXPECT_EQ(status("POST", "/metrics") + status("TRACE", "/metrics") + status("GET", "/"), "405405404");
    const auto huge = lab.runApart("ws", {"python3", "-c", kHugeHeader});
    EXPECT_TRUE(huge.out.startsWith("HTTP/1.1 4") || huge.out.startsWith("closed")) << huge.out.toStdString();

    // While 1,000 connections hold the server, the searches go on: device b, gone, is said to be gone
    // within the next two searches.
    lab.spawn("ws", {"python3", "-c",
                     "import socket,time\n"
                     "s=[socket.create_connection(('127.0.0.1',9120)) for _ in range(1000)]\n"
                     "time.sleep(6)\n"});
    QThread::msleep(1000);
    lab.sh("b", "ip link set eth0 down");
    QElapsedTimer since;
    since.start();
    ASSERT_TRUE(waitUntil([&] { return watch.outSoFar().contains("\"gone\""); }, 10000));
    EXPECT_LT(since.elapsed(), 3500);
    const std::map<QString, QString> bGone{{"00:0a:1b:00:00:02", "1"}, {"00:0a:1b:00:00:03", "0"}};
    EXPECT_TRUE(waitUntil([&] { return upByMac(lab) == bGone; }, 30000));

    watch.signal(SIGTERM);
    EXPECT_EQ(watch.wait(10000).status, 0);
}

} // namespace
} // namespace fw
