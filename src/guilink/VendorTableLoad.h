// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/VendorTable.h"
#include "guilink/UiPost.h"
#include "platform/Host.h"

#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace fw {

// A window's vendor table, read on a thread of its own from the moment the window is made (reading
// and indexing the IEEE registries takes longer than the GUI thread may stall) and handed to
// `loaded` on the GUI thread. Registries that cannot be read give a table that knows no vendor.
// Going before the table has come waits for the read to end, and the table is dropped.
class VendorTableLoad {
public:
    VendorTableLoad(Host& host, UiQueue& queue, std::function<void(VendorTable)> loaded)
        : post_(queue), reader_([&host, send = post_.sender(), loaded = std::move(loaded)] {
              auto table = std::make_shared<VendorTable>();
              try {
                  *table = host.vendorTable();
              } catch (const std::exception&) {
              }
              send([loaded, table] { loaded(std::move(*table)); });
          }) {}

private:
    UiPost post_; // made before the reader, which sends through it
    std::jthread reader_;
};

} // namespace fw
