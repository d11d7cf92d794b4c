#pragma once

// One upgrade run by UploadDriver on real sockets inside a lab's workstation namespace, with
// what it showed recorded. Shared by the net tests and the benchmark.

#include "platform/NeighbourTable.h"
#include "platform/UdpEndpoint.h"
#include "support/NetLab.h"
#include "upgrade/UploadDisplay.h"
#include "upgrade/UploadDriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

class NeighbourShell final : public Shell {
public:
    void flushNeighbour(const std::string& ip) override {
        if (const auto a = Ipv4::parse(ip)) {
            NeighbourTable().remove(*a);
        }
    }
    void openUrl(const std::string&) override {}
};

class LabUpload final : public UploadDisplay {
public:
    LabUpload() {
        QObject::connect(&driver, &UploadDriver::secondRequestSent,
                         [this] { secondRequestNs = clock.nsecsElapsed(); });
        clock.start();
    }

    void setProgress(int value) override { lastBar = value; }
    void setLabel(const std::string& text) override { labels.push_back(text); }
    void showMessage(const Message& message) override { messages.push_back(message.text); }
    void uploadEnded(TftpUpload::Outcome o) override {
        endedNs = clock.nsecsElapsed();
        outcome = o;
    }

    bool ended() const { return outcome.has_value(); }
    double transferSeconds() const { return static_cast<double>(endedNs - secondRequestNs) / 1e9; }

    UploadCarryOver carry;
    NeighbourShell shell;
    UploadDriver driver{[] { return std::unique_ptr<DatagramEndpoint>(new UdpEndpoint); }, shell, carry,
                        *this};
    QElapsedTimer clock;
    qint64 secondRequestNs = -1;
    qint64 endedNs = -1;
    std::optional<TftpUpload::Outcome> outcome;
    int lastBar = 0;
    std::vector<std::string> labels;
    std::vector<std::string> messages;
};

// Runs a real event loop (as the dialog's exec() does) until pred() holds or the time is up:
// datagrams are handled as they come, with no sleeping between polls.
inline bool runUntil(const std::function<bool()>& pred, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pred() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    poll.start(20);
    if (!pred()) {
        loop.exec();
    }
    return pred();
}

inline std::vector<std::uint8_t> labImage(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> b(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& byte : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<std::uint8_t>(x);
    }
    return b;
}

// tftpd-hpa serving one directory in a host's namespace; a request for "/" writes dir/fw.bin.
inline QString startTftpd(NetLab& lab, const std::string& host, const QStringList& extra = {}) {
    const QString root = QDir(lab.dir()).filePath(QString::fromStdString(host) + "-tftp");
    QDir().mkpath(root);
    const QString remap = QDir(lab.dir()).filePath("remap");
    if (!QFile::exists(remap)) {
        QFile f(remap);
        f.open(QIODevice::WriteOnly);
        f.write("r ^/$ fw.bin\n");
    }
    lab.spawn(host,
              QStringList{"/usr/sbin/in.tftpd", "-L", "-c", "-u", "root", "-s", root, "-m", remap} + extra);
    return root;
}

inline std::optional<std::vector<std::uint8_t>> fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray a = f.readAll();
    return std::vector<std::uint8_t>(a.begin(), a.end());
}

} // namespace fw::test
