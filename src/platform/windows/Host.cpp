// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Host.h"

#include "platform/windows/NeighbourFlush.h"
#include "platform/windows/UdpPortCheck.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsAdapterSource.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <fstream>
#include <io.h>
#include <iphlpapi.h>

namespace fw::host {
namespace {

namespace fs = std::filesystem;

std::string systemMessage(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

// A new file beside the ones in `folder` that no one else has opened.
std::pair<HANDLE, fs::path> createTemporary(const fs::path& folder) {
    for (unsigned n = 0;; ++n) {
        const fs::path name =
            folder / (".fernwick-report-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n));
        const HANDLE h =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return {h, name};
        }
    }
}

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args = utf8Arguments(GetCommandLineW());
    if (args.empty()) {
        args.assign(argv, argv + argc);
    }
    return args;
}

unsigned useUtf8Console() {
    const UINT current = GetConsoleOutputCP(); // 0 without a console
    return current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0 ? current : 0;
}

void restoreConsole(unsigned previous) {
    if (previous != 0) {
        SetConsoleOutputCP(previous);
    }
}

AdapterListing readAdapters() {
    return WindowsAdapterSource().readListing();
}

void flushNeighbour(Ipv4 ip) {
    std::vector<unsigned long> indexes;
    for (const AdapterFacts& a : readAdapters().adapters) {
        if (a.ip) {
            indexes.push_back(static_cast<unsigned long>(a.interfaceIndex));
        }
    }
    NeighbourFlush::flush(ip, indexes, NeighbourFlush::systemDelete());
}

std::optional<ReversePathFilter> reversePathFilter(const std::string& /*interfaceName*/) {
    return std::nullopt;
}

// Windows answers ARP for an address only on the adapter that holds it (the strong host model).
bool arpFluxGuarded(const std::string& /*interfaceName*/) {
    return true;
}

HostSystem hostSystem() {
    return HostSystem::Windows;
}

PortCheck checkPort(const AdapterFacts& adapter, std::uint16_t port) {
    return UdpPortCheck::check(adapter, port);
}

FirewallFacts firewall() {
    return FirewallFacts{FirewallCheck::NotApplicable, {}, false};
}

bool hasRoute(Ipv4 destination) {
    MIB_IPFORWARDROW row{};
    return GetBestRoute(htonl(destination.toHostOrder()), 0, &row) == NO_ERROR;
}

Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int /*interfaceIndex*/,
                                                              std::uint16_t /*udpPort*/) {
    return Failure{std::make_error_code(std::errc::not_supported)};
}

// A console also gets to understand the escape that clears the progress line's rest (ESC [ K),
// which Windows 10's console does only when asked.
bool isTerminal(std::FILE* stream) {
    if (_isatty(_fileno(stream)) == 0) {
        return false;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) != 0) {
        SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    return true;
}

int terminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info) != 0) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    return 80;
}

std::optional<std::string> replaceFile(const fs::path& path, const std::string& text) {
    const auto [h, temporary] = createTemporary(path.parent_path());
    if (h == INVALID_HANDLE_VALUE) {
        return systemMessage(GetLastError());
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
                    written == text.size() && FlushFileBuffers(h) != 0;
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok || MoveFileExW(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        const DWORD reason = ok ? GetLastError() : error;
        DeleteFileW(temporary.c_str());
        return systemMessage(reason);
    }
    return std::nullopt;
}

std::optional<std::string> canCreateIn(const fs::path& folder) {
    const auto [h, probe] = createTemporary(folder);
    if (h == INVALID_HANDLE_VALUE) {
        return systemMessage(GetLastError());
    }
    CloseHandle(h);
    DeleteFileW(probe.c_str());
    return std::nullopt;
}

} // namespace fw::host
