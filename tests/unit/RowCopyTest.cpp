// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RowCopy.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// A spreadsheet pastes the copied row as its titles over its cells, as the list shows them: the
// device's 8-bit name in UTF-8, and a tab or line break in it never splitting a cell or the row.
TEST(RowCopy, GivesTheCellsAsTheListShowsThem) {
    const DeviceRow row{"Hall\tA\r\n\x80",        *Ipv4::parse("10.77.1.9"), "ess\nid", 11, true,
                        {0, 0x0A, 0, 0, 0, 0x4E}, DeviceKind::AccessPoint,   {}};
    EXPECT_EQ(copiedText(row, CopyWhat::Row),
              "Wireless Device\tIP Address\tESS-ID\tChannel No\tWEP\tMac Address\n"
              "Hall A  \xE2\x82\xAC\t10.77.1.9\tess id\t11\tEnabled\t00-0A-00-00-00-4E\n");
}

} // namespace
} // namespace fw
