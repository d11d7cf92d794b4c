// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

// A lab of network namespaces for one test (tools/netlab/netlab.py), torn down by the destructor
// even when the test fails. The workstation namespace holds eth0 10.77.1.1/24 (segment a) and
// eth1 10.77.2.1/24 (segment b); hosts are added per test.
class NetLab {
public:
    NetLab();
    ~NetLab();
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    const std::string& name() const { return name_; }
    std::string ns(const std::string& host) const { return name_ + "-" + host; }
    // A scratch directory for this lab (simulator logs, images), removed at teardown.
    const QString& dir() const { return dir_; }
    // Writes dir()/name and returns its path (throws when it cannot).
    QString writeFile(const QString& name, const QByteArray& bytes) const;

    // The router namespace: 10.77.1.254 on segment a, routing to segments c (10.77.3.0/24),
    // d (10.77.4.0/24) and e (10.78.0.0/16), itself .254 there.
    void addRouter();
    // A host namespace with eth0 on a segment, e.g. addHost("d1", "a", "10.77.1.10/24"); on a routed
    // one (after addRouter) its default route leads to the router.
    void addHost(const std::string& host, const std::string& segment, const std::string& cidr);

    // Starts a program inside a host's namespace; it is killed at teardown. Output goes to
    // dir()/<host>-<n>.log.
    QProcess* spawn(const std::string& host, const QStringList& argv);
    // Starts the device simulator in a host's namespace with a log in dir(); returns the log's path
    // once the simulator has logged that it is ready (throws otherwise, which fails the test).
    QString startSimulator(const std::string& host, const QStringList& args, int timeoutMs = 15000);
    // The same with a --config file of the given JSON, written to dir()/<host>.json.
    QString startSimulator(const std::string& host, const QByteArray& config, int timeoutMs = 15000);
    // Runs a shell script (sh -e) inside a host's namespace; throws, failing the test, if it fails.
    void sh(const std::string& host, const QString& script);
    struct Outcome {
        int status = -1; // -1: did not start, crashed or did not end
        QByteArray out;
        QByteArray err;
    };
    // Runs a program inside a host's namespace to its end.
    Outcome runApart(const std::string& host, const QStringList& argv);
    int run(const std::string& host, const QStringList& argv) { return runApart(host, argv).status; }

    // Moves this thread into the workstation namespace: sockets and netlink queries made afterwards
    // see the lab's adapters. The destructor moves it back.
    void enterWorkstation();

    // Paths inside the source and build trees (from FERNWICK_SOURCE_DIR / FERNWICK_BINARY_DIR).
    static QString sourcePath(const QString& relative);
    static QString binaryPath(const QString& relative);

private:
    std::string name_;
    QString dir_;
    int originalNs_ = -1;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

// The simulator log's objects whose "event" is `event` (all of them when empty).
std::vector<QJsonObject> simulatorEvents(const QString& logPath, const QString& event = {});

// Seeded random bytes of the given size with a kind marker ("ap config") in the middle.
QByteArray firmwareImage(std::size_t size, const char* marker, std::uint32_t seed);

// tftpd-hpa serving one directory in a host's namespace (returned); a request for "/" writes fw.bin.
QString startTftpd(NetLab& lab, const std::string& host, const QStringList& extra = {});
// A file's bytes; nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> fileBytes(const QString& path);

// Spins the Qt event loop until pred() holds or the time runs out; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs);

} // namespace fw::test
