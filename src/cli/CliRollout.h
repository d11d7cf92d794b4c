// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/RolloutReport.h"
#include "discovery/core/DeviceRow.h"
#include "platform/DatagramEndpoint.h"
#include "platform/Shell.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/RolloutEntry.h"
#include "upgrade/core/RolloutQueue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace fw::cli {

class CliSearch;
class CliUpgrade;

// One image to many devices: a search finds them, each gets the upgrade's handshake and upload
// (side by side only on different adapters), then must restart and answer a search on its adapter
// again within the back timeout. The report is rewritten after every device and keeps the devices
// done in earlier runs; the summary table goes to stdout at the end. When the report cannot be
// written, nothing more starts.
class CliRollout final : public QObject {
    Q_OBJECT
public:
    CliRollout(EndpointFactory makeEndpoint, Shell& shell, Console& console, QObject* parent = nullptr);

    // The image has passed the checks that do not depend on the device; targets holds --device
    // and --from; earlier, the devices --skip-done found done with this image.
    void start(const RolloutCommand& command, AdapterTable table, std::vector<std::uint8_t> image,
               std::vector<DeviceTarget> targets, std::vector<RolloutEntry> earlier);

signals:
    void finished(ExitStatus status);

private:
    struct Job {
        RolloutEntry entry;
        std::optional<DeviceRow> row; // what the search found; none: not found
        bool upload = false;          // to be uploaded
        bool settled = false;         // its entry is final
    };

    void plan(const std::vector<DeviceRow>& rows, const std::vector<DeviceTarget>& targets,
              const std::vector<RolloutEntry>& earlier);
    void startNext();
    void upload(std::size_t index);
    struct BackWait;
    void awaitBack(std::size_t index, std::shared_ptr<BackWait> wait);
    void settle(std::size_t index);
    void writeReport();
    void stopStarting();
    void render();
    bool reportSearchSent(const CliSearch& search);

    EndpointFactory makeEndpoint_;
    Shell& shell_;
    Console& console_;
    RolloutCommand command_;
    AdapterTable table_;
    ImageFile file_; // read once; these bytes go to every device
    std::optional<RolloutReport> report_;
    std::vector<Job> jobs_;
    std::vector<std::size_t> queued_; // job index of each queue slot
    std::optional<RolloutQueue> queue_;
    std::vector<QPointer<CliUpgrade>> running_; // drawn on one terminal line
    QTimer refresh_;
    std::string reportError_; // why the report could not be written; empty while it could
    bool over_ = false;
};

} // namespace fw::cli
