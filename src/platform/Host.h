// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/Result.h"
#include "netif/core/AdapterFacts.h"
#include "netif/core/HostFacts.h"
#include "platform/WireTap.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// What the command-line program and the doctor ask of the operating system, one implementation
// per system (linux/Host.cpp, windows/Host.cpp): the seam that keeps them free of either.
namespace fw::host {

// The program's arguments as UTF-8: on Windows read again from the UTF-16 command line (argv holds
// them in the ANSI code page, which loses every other character), elsewhere argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Lets a console show the UTF-8 text the program writes: Windows' console reads output in its own
// code page (the OEM one) unless told. The console's code page outlives the program, so what it
// was is returned for restoreConsole(); elsewhere nothing changes.
unsigned useUtf8Console();
void restoreConsole(unsigned previous);

// Every adapter with its facts, before any rule.
AdapterListing readAdapters();
// Forgets the neighbour (ARP) entry for ip, so the next packet to it asks again; quietly does
// nothing without the right to.
void flushNeighbour(Ipv4 ip);

// The system's reverse-path filter for the interface; none when unreadable or when the system
// has no such setting (Windows).
std::optional<ReversePathFilter> reversePathFilter(const std::string& interfaceName);
// arp_ignore/arp_announce guard against ARP flux (Linux only).
bool arpFluxGuarded(const std::string& interfaceName);
// Which system this is: what exists to be checked, and how its fixes are written.
HostSystem hostSystem();
// Whether a search could listen on the adapter's port, and who holds it when not.
PortCheck checkPort(const AdapterFacts& adapter, std::uint16_t port);
// The host firewall's input chains that drop by default (NotApplicable where there is no nftables).
FirewallFacts firewall();
// Whether a packet to destination could be routed.
bool hasRoute(Ipv4 destination);
// Watches what arrives on the adapter before the host's filters; std::errc::not_supported where
// the system has no way to.
Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int interfaceIndex, std::uint16_t udpPort);

// Whether the stream is a terminal, and its width in columns (80 when unknown).
bool isTerminal(std::FILE* stream);
int terminalColumns(std::FILE* stream);

// Replaces `path` by a file holding `text`, or leaves it as it was: written to a new file beside
// it, flushed to the disk, then renamed over it. The error is the system's reason.
std::optional<std::string> replaceFile(const std::filesystem::path& path, const std::string& text);
// Whether a new file can be made in folder (as replaceFile makes one); the system's reason if not.
std::optional<std::string> canCreateIn(const std::filesystem::path& folder);

} // namespace fw::host
