// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Uploads run by UploadDriver on real sockets inside a lab's workstation namespace, each to its own
// tftpd-hpa host and from its own workstation address. Shared by the net tests and the benchmark.

#include "platform/UdpEndpoint.h"
#include "platform/linux/NeighbourTable.h"
#include "support/NetLab.h"
#include "support/UploadLab.h"
#include "support/VirtualLink.h"
#include "upgrade/UploadDisplay.h"
#include "upgrade/UploadDriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace fw::test {

class NeighbourShell final : public Shell {
public:
    void flushNeighbour(Ipv4 ip) override { NeighbourTable().remove(ip); }
    void openUrl(const std::string&) override {}
};

class LabUpload final : public UploadDisplay {
public:
    LabUpload() {
        QObject::connect(&driver, &UploadDriver::secondRequestSent,
                         [this] { secondRequestNs = clock.nsecsElapsed(); });
        clock.start();
    }
    void setProgress(int) override {}
    void setLabel(const std::string&) override {}
    void showResult(const TftpUpload::Result& result) override {
        if (const auto m = uploadResultMessage(result)) {
            messages.push_back(m->text);
        }
    }
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
    qint64 secondRequestNs = -1, endedNs = -1;
    std::optional<TftpUpload::Outcome> outcome;
    std::vector<std::string> messages;
};

} // namespace fw::test
