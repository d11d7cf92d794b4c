// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A lab of tftpd-hpa hosts for uploads: shared by the net tests and the upload benchmarks.

#include "support/NetLab.h"

#include <QDir>

#include <optional>
#include <string>
#include <vector>

namespace fw::test {

// Device i is host d<i> at 10.77.1.(10 + i) running tftpd-hpa (a request for "/" writes
// root(i)/fw.bin); upload i goes from workstation address 10.77.1.(1 + i).
class UploadLab {
public:
    NetLab lab;

    void addDevice(int i, const QStringList& tftpdArgs = {}) {
        const std::string host = "d" + std::to_string(i);
        lab.addHost(host, "a", deviceIp(i) + "/24");
        startTftpd(lab, host, tftpdArgs);
        if (i > 0) {
            lab.run("ws", {"ip", "addr", "add", QString::fromStdString(localIp(i) + "/24"), "dev", "eth0"});
        }
    }
    static std::string deviceIp(int i) { return "10.77.1." + std::to_string(10 + i); }
    static std::string localIp(int i) { return "10.77.1." + std::to_string(1 + i); }
    QString root(int i) const { return QDir(lab.dir()).filePath(QString("d%1-tftp").arg(i)); }
    std::optional<std::vector<std::uint8_t>> received(int i) const {
        return fileBytes(QDir(root(i)).filePath("fw.bin"));
    }
};

} // namespace fw::test
