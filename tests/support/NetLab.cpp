// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NetLab.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <random>
#include <sched.h>
#include <stdexcept>
#include <unistd.h>

namespace fw::test {
namespace {

QString netlabScript() {
    return NetLab::sourcePath("tools/netlab/netlab.py");
}

QByteArray runOrThrow(const QStringList& argv) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(argv.front(), argv.mid(1));
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        throw std::runtime_error("failed: " + argv.join(' ').toStdString() + ": " +
                                 p.readAll().toStdString());
    }
    return p.readAll();
}

} // namespace

QString NetLab::sourcePath(const QString& relative) {
    return QDir(qEnvironmentVariable("FERNWICK_SOURCE_DIR", ".")).filePath(relative);
}

QString NetLab::binaryPath(const QString& relative) {
    return QDir(qEnvironmentVariable("FERNWICK_BINARY_DIR", ".")).filePath(relative);
}

NetLab::NetLab() {
    name_ = runOrThrow({"python3", netlabScript(), "new-name"}).trimmed().toStdString();
    runOrThrow({"python3", netlabScript(), "up", QString::fromStdString(name_)});
    dir_ = QDir::temp().filePath(QString::fromStdString(name_));
    QDir().mkpath(dir_);
}

NetLab::~NetLab() {
    if (originalNs_ >= 0) {
        setns(originalNs_, CLONE_NEWNET);
        ::close(originalNs_);
    }
    for (auto& p : processes_) {
        p->kill();
        p->waitForFinished(3000);
    }
    processes_.clear();
    QProcess::execute("python3", {netlabScript(), "down", QString::fromStdString(name_)});
    if (qEnvironmentVariableIsEmpty("FERNWICK_KEEP_LAB")) {
        QDir(dir_).removeRecursively();
    }
}

void NetLab::addRouter() {
    runOrThrow({"python3", netlabScript(), "router", QString::fromStdString(name_)});
}

void NetLab::addHost(const std::string& host, const std::string& segment, const std::string& cidr) {
    runOrThrow({"python3", netlabScript(), "host", QString::fromStdString(name_),
                QString::fromStdString(host), "--segment", QString::fromStdString(segment), "--addr",
                QString::fromStdString(cidr)});
}

QProcess* NetLab::spawn(const std::string& host, const QStringList& argv) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->setStandardOutputFile(
        QDir(dir_).filePath(QString("%1-%2.log").arg(QString::fromStdString(host)).arg(processes_.size())));
    p->start("ip", QStringList{"netns", "exec", QString::fromStdString(ns(host))} + argv);
    if (!p->waitForStarted(10000)) {
        throw std::runtime_error("cannot start " + argv.join(' ').toStdString());
    }
    processes_.push_back(std::move(p));
    return processes_.back().get();
}

void NetLab::sh(const std::string& host, const QString& script) {
    runOrThrow({"ip", "netns", "exec", QString::fromStdString(ns(host)), "sh", "-ec", script});
}

NetLab::Outcome NetLab::runApart(const std::string& host, const QStringList& argv) {
    QProcess p;
    p.start("ip", QStringList{"netns", "exec", QString::fromStdString(ns(host))} + argv);
    Outcome o;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit) {
        o.status = p.exitCode();
    } else {
        p.kill();
        p.waitForFinished(3000);
    }
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

void NetLab::enterWorkstation() {
    if (originalNs_ < 0) {
        originalNs_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    }
    const std::string path = "/var/run/netns/" + ns("ws");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    if (!entered) {
        throw std::runtime_error("cannot enter " + path);
    }
}

QString NetLab::startSimulator(const std::string& host, const QStringList& args, int timeoutMs) {
    const QString log = QDir(dir_).filePath(QString::fromStdString(host) + ".jsonl");
    spawn(host, QStringList{binaryPath("tools/devsim/fernwick-devsim")} + args + QStringList{"--log", log});
    if (!waitUntil([&] { return !simulatorEvents(log, "ready").empty(); }, timeoutMs)) {
        throw std::runtime_error("the simulator on " + host + " did not get ready");
    }
    return log;
}

QString NetLab::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(QDir(dir_).filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + f.fileName().toStdString());
    }
    return f.fileName();
}

QString NetLab::startSimulator(const std::string& host, const QByteArray& config, int timeoutMs) {
    const QString path = writeFile(QString::fromStdString(host) + ".json", config);
    return startSimulator(host, QStringList{"--config", path}, timeoutMs);
}

QByteArray firmwareImage(std::size_t size, const char* marker, std::uint32_t seed) {
    std::mt19937 random(seed);
    QByteArray b(static_cast<qsizetype>(size), '\0');
    for (auto& c : b) {
        c = static_cast<char>(random());
    }
    b.replace(static_cast<qsizetype>(size / 2), static_cast<qsizetype>(qstrlen(marker)), marker);
    return b;
}

QString startTftpd(NetLab& lab, const std::string& host, const QStringList& extra) {
    const QString root = QDir(lab.dir()).filePath(QString::fromStdString(host) + "-tftp");
    QDir().mkpath(root);
    const QString remap = QDir(lab.dir()).filePath("remap");
    if (!QFile::exists(remap)) { // written once: a tftpd starting beside may be reading it
        lab.writeFile("remap", "r ^/$ fw.bin\n");
    }
    lab.spawn(host,
              QStringList{"/usr/sbin/in.tftpd", "-L", "-c", "-u", "root", "-s", root, "-m", remap} + extra);
    return root;
}

std::optional<std::vector<std::uint8_t>> fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray a = f.readAll();
    return std::vector<std::uint8_t>(a.begin(), a.end());
}

std::vector<QJsonObject> simulatorEvents(const QString& logPath, const QString& event) {
    std::vector<QJsonObject> out;
    QFile f(logPath);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.isEmpty() && (event.isEmpty() || o["event"] == event)) {
                out.push_back(o);
            }
        }
    }
    return out;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    // A local event loop that checks every 5 ms: events are handled as they come, not in slices.
    QElapsedTimer t;
    t.start();
    if (pred()) {
        return true;
    }
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (pred() || t.elapsed() >= timeoutMs) {
            loop.quit();
        }
    });
    tick.start();
    loop.exec();
    return pred();
}

} // namespace fw::test
