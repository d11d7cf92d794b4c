// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"
#include "discovery/KnownDevices.h"
#include "platform/FileLock.h"

#include <string>

namespace fw::cli {

// The inventory file (--inventory FILE): KnownDevices as a JSON document a person can read and a
// script can edit, {"format": "fernwick-inventory", "version": 1, "devices": [...]}, one device a
// line. A writer holds FILE.lock for as long as it runs, so a second writer is refused; readers
// take no lock. Each save replaces the file whole (a new file beside it, flushed, renamed over it),
// so a crash at any moment leaves the old file or the new one.
class InventoryFile {
public:
    static constexpr int kFormatVersion = 1;

    // For a command that writes it: takes the lock, then reads the file (none there is an empty
    // inventory). The message, for exit 2, when the file is held by another process, is no
    // inventory, is of a newer format or cannot be read; the file is then left untouched.
    // holder: who takes it, for the refused ("fernwick-cli watch").
    static Result<InventoryFile, std::string> openForWriting(const std::string& path,
                                                             const std::string& holder);
    // For a reader: no lock; a missing file is refused like an unreadable one.
    static Result<KnownDevices, std::string> read(const std::string& path);

    KnownDevices& devices() { return devices_; }
    // The message when the file could not be replaced (the old one is left as it was).
    Status<std::string> save() const;

private:
    InventoryFile(std::string path, files::FileLock lock, KnownDevices devices)
        : path_(std::move(path)), lock_(std::move(lock)), devices_(std::move(devices)) {}

    std::string path_;
    files::FileLock lock_;
    KnownDevices devices_;
};

// --inventory's file for a writer, or none when the option is not given (an empty path).
Result<std::optional<InventoryFile>, std::string> openInventory(const std::string& path,
                                                                const std::string& holder);

// The document and back; the message ends a sentence about the file ("is not a Fernwick
// inventory").
std::string inventoryText(const KnownDevices& devices);
Result<KnownDevices, std::string> inventoryOf(const std::string& text);

} // namespace fw::cli
