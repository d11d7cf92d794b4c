// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace fw {

// Ids of the texts that code refers to by name. The table in StringTable.cpp holds every id,
// including those that no window shows; look those up by number.
enum class Str : std::uint16_t {
    MenuFile = 1,
    MenuEdit = 2,
    MenuView = 3,
    MenuAdmin = 4,
    MenuHelp = 5,
    Connect = 6,
    Exit = 7,
    Delete = 8,
    DeleteAll = 9,
    Search = 10,
    Toolbar = 11,
    SetIpAddress = 12,
    UpgradeFw = 13,
    AboutProduct = 15,
    Product = 16,
    SearchingTitle = 20,
    SearchingText = 21,
    Cancel = 22,
    NotValidIp = 24,
    TransmitFinish = 25,
    TimeOut = 26,
    FileNotExist = 27,
    KeyinPath = 28,
    AdapterStatusError = 29,
    NoAdapter = 30,
    ExitConfirm = 31,
    SetIp = 32,
    Ip = 33,
    Mask = 34,
    Gateway = 35,
    EnableDhcp = 36,
    SetIpOk = 39,
    SetDhcpOk = 40,
    Downloading = 41,
    DownloadFile = 42,
    SetIpFailure = 43,
    SetDhcpFailure = 44,
    ValueRange = 45,
    Ok = 46,
    RightsNotice = 51,
    ColDevice = 101,
    ColIp = 102,
    ColEssId = 103,
    ColChannel = 104,
    ColWep = 105,
    ColMac = 106,
    ColVendor = 107,
    TftpError0 = 201, // codes 0..7 are 201..208
    ApFirmwareQuestion = 251,
    AdapterFirmwareQuestion = 252,
    // Texts of our own, for faults the original messages do not cover.
    PortInUse = 401,
    ImageTooLarge = 402,
    FileNotReadable = 403,
    PortUnusable = 404,
    SearchPortInUse = 405,
    UploadPortInUse = 406,
    UploadPortUnusable = 407,
    HostHoldsAddress = 408,
    IpIndexRange = 410,
    StopUpgradeQuestion = 420,
    UpgradeBlocksSessionEnd = 421,
    // The device list's own commands and texts: the captions carry their access keys.
    VendorColumn = 430,
    UnknownVendor = 431,
    ExportListEntry = 432,
    CopyEntry = 433, // Edit -> Copy, with its key
    CopyPopupEntry = 434,
    CopyMacEntry = 435,
    CopyIpEntry = 436,
    ExportListTitle = 437,
    ExportFailed = 438,
};

// The text for an id. Asking for an id the table does not hold is a programming error:
// it throws std::out_of_range rather than showing an empty text.
std::string_view loadResString(std::uint16_t id);
inline std::string_view loadResString(Str id) {
    return loadResString(static_cast<std::uint16_t>(id));
}

// True when the table holds the id.
bool hasResString(std::uint16_t id) noexcept;

} // namespace fw
