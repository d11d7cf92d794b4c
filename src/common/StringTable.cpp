// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/StringTable.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace fw {
namespace {

struct Entry {
    std::uint16_t id;
    std::string_view text;
};

// US English (1033). Texts stand exactly as the program has always shown them, misspellings included.
// Sorted by id.
constexpr std::array kTable{
    Entry{1, "File"},
    Entry{2, "Edit"},
    Entry{3, "View"},
    Entry{4, "Admin"},
    Entry{5, "Help"},
    Entry{6, "Connect"},
    Entry{7, "Exit"},
    Entry{8, "Delete"},
    Entry{9, "Delete &All"},
    Entry{10, "Search"},
    Entry{11, "Toolbar"},
    Entry{12, "Set IP Address..."},
    Entry{13, "Upgrade FW..."},
    Entry{14, "Fernwick &Help"},
    Entry{15, "About Fernwick"},
    Entry{16, "Fernwick"},
    Entry{17, "Wireless Device"},
    Entry{18, "Mac Address Filtering"},
    Entry{20, "Searching..."},
    Entry{21, "Searching for Wireless Device on the network."},
    Entry{22, "Cancel"},
    Entry{23, "Mask can't set"},
    Entry{24, "is not a valid IP address"},
    Entry{25, "Data transmit finish"},
    Entry{26, "Time Out"},
    Entry{27, "This file not exist."},
    Entry{28, "Please keyin Path."},
    Entry{29, "Network adapter status error, Please recheck"},
    Entry{30, "No network adapter card, please lanch a network card"},
    Entry{31, "Exit Fernwick?"},
    Entry{32, "Set IP"},
    Entry{33, "IP"},
    Entry{34, "Mask"},
    Entry{35, "Gateway"},
    Entry{36, "Enable DHCP"},
    Entry{37, "Gatway can't set 0.0.0.0"},
    Entry{38, "Gatway not on IP/Network"},
    Entry{39, "Set IP OK"},
    Entry{40, "Set DHCP OK"},
    Entry{41, "Downloading..."},
    Entry{42, "Download file(*.bin)"},
    Entry{43, "Set IP Failure"},
    Entry{44, "Set DHCP Failure"},
    Entry{45, "Value must be between 0 and 255"},
    Entry{46, "OK"},
    Entry{47, "Set IP"},
    Entry{48, "About"},
    Entry{51, "Copyright (C) Fernwick developers. License: GNU GPL version 3 or later."},
    Entry{101, "Wireless Device"},
    Entry{102, "IP Address"},
    Entry{103, "ESS-ID"},
    Entry{104, "Channel No"},
    Entry{105, "WEP"},
    Entry{106, "Mac Address"},
    Entry{107, "Vendor"},
    Entry{201, "Block number is out of sequence."},
    Entry{202, "File not found."},
    Entry{203, "Access violation."},
    Entry{204, "Disk full or allocation exceeded."},
    Entry{205, "Illegal TFTP operation."},
    Entry{206, "Unknown transfer ID."},
    Entry{207, "File already exists."},
    Entry{208, "No such user."},
    Entry{209, "Pass"},
    Entry{210, "Fail"},
    Entry{211, "Mac Address Filtering"},
    Entry{212, "Mac Address List"},
    Entry{213, "Open file"},
    Entry{214, "Save file"},
    Entry{215, "Add"},
    Entry{216, "Replace"},
    Entry{217, "Remove"},
    Entry{218, "Set Mac filtering"},
    Entry{219, "Exit"},
    Entry{220, "Apply"},
    Entry{221, "No"},
    Entry{251, "This is a AP Firmware, do you really want to update?"},
    Entry{252, "This is a ethernet adapter Firmware, do you really want to update?"},
    Entry{301, "Password"},
    Entry{302, "Invalid Password"},
    Entry{303, "Invalid Mac address"},
    Entry{304, "This Mac address is exist in table"},
    Entry{305, "Exit"},
    Entry{306, "This file already existed, would you like to replace it?"},
    Entry{307, "Static"},
    Entry{308, "IP Address is not set. Please recheck."},
    Entry{309, "Permission denied"},
    Entry{310, "Bad file name or number"},
    Entry{311, "is not valid gateway address."},
    Entry{313, "This is not valid firmware for Fernwick"},
    Entry{314, "This is not valid MAC address filtering file for Fernwick"},
    Entry{318, "Delete"},
    Entry{319, "Search"},
    // Ours (ids above 400).
    Entry{401, "Local port 4001 is in use by another program, so no request can be sent:"},
    Entry{402, "The image is too large for a TFTP transfer. The largest image is 16776703 bytes."},
    Entry{403, "This file cannot be read."},
    Entry{404, "Cannot use UDP port 4001 on this adapter:"},
    Entry{405, "UDP port 4001 is in use by another program"},
    Entry{406, "Local port 14321 is in use by another program, so no firmware can be sent from"},
    Entry{407, "Cannot use UDP port 14321 for the firmware upload from"},
    Entry{408, "is an address of this computer, so a device given it could not be reached. Adapter:"},
    Entry{410, "Index must be between 0 and 3"},
    Entry{420, "Stop the upgrade? The device may be left without working firmware."},
    Entry{421, "Firmware upgrade in progress"},
    Entry{430, "&Vendor Column"},
    Entry{431, "Vendor unknown"},
    Entry{432, "E&xport List..."},
    Entry{433, "&Copy\tCtrl+C"},
    Entry{434, "&Copy"},
    Entry{435, "Copy &MAC Address"},
    Entry{436, "Copy IP &Address"},
    Entry{437, "Export List"},
    Entry{438, "The list could not be saved to"},
};

constexpr bool sortedById() {
    for (std::size_t i = 1; i < kTable.size(); ++i) {
        if (kTable[i - 1].id >= kTable[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(sortedById(), "string table must be sorted by id without repeats");

const Entry* find(std::uint16_t id) noexcept {
    const auto* it = std::lower_bound(kTable.begin(), kTable.end(), id,
                                      [](const Entry& e, std::uint16_t key) { return e.id < key; });
    return (it != kTable.end() && it->id == id) ? it : nullptr;
}

} // namespace

std::string_view loadResString(std::uint16_t id) {
    if (const Entry* e = find(id)) {
        return e->text;
    }
    throw std::out_of_range("no string with id " + std::to_string(id));
}

bool hasResString(std::uint16_t id) noexcept {
    return find(id) != nullptr;
}

} // namespace fw
