// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "doctor/DoctorFactGatherer.h"
#include "platform/DatagramEndpoint.h"

#include <QObject>

#include <functional>

namespace fw::cli {

// `fernwick-cli doctor`: reads the interfaces' facts from the kernel, checks the port and the
// firewall, runs one search while packet sockets watch the adapters, prints the report and
// emits finished(exit status).
class CliDoctor final : public QObject {
    Q_OBJECT
public:
    CliDoctor(Console& console, std::function<AdapterListing()> listAdapters, EndpointFactory makeEndpoint,
              QObject* parent = nullptr);
    ~CliDoctor() override;

    void start(const DoctorCommand& command);

signals:
    void finished(ExitStatus status);

private:
    void probe(std::chrono::milliseconds wait);
    void report();

    Console& console_;
    std::function<AdapterListing()> listAdapters_;
    EndpointFactory makeEndpoint_;
    DoctorFormat format_ = DoctorFormat::Text;
    doctor::DoctorFactGatherer gatherer_;
};

} // namespace fw::cli
