// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Host.h"

#include "platform/linux/LinuxAdapterSource.h"
#include "platform/linux/NeighbourTable.h"
#include "platform/linux/NftablesChains.h"
#include "platform/linux/PacketTap.h"
#include "platform/linux/RouteLookup.h"
#include "platform/linux/Sysctl.h"
#include "platform/linux/UdpPortCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw::host {
namespace {

namespace fs = std::filesystem;

// A new file in `folder` that no one else has opened: its descriptor and name.
std::pair<int, fs::path> createTemporary(const fs::path& folder) {
    for (unsigned n = 0;; ++n) {
        const fs::path name =
            folder / (".fernwick-report-" + std::to_string(::getpid()) + "-" + std::to_string(n));
        // 0666 less the umask, as any new file of the user's.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return {fd, name};
        }
    }
}

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

unsigned useUtf8Console() {
    return 0;
}

void restoreConsole(unsigned /*previous*/) {}

AdapterListing readAdapters() {
    return LinuxAdapterSource().readListing();
}

void flushNeighbour(Ipv4 ip) {
    NeighbourTable().remove(ip);
}

std::optional<ReversePathFilter> reversePathFilter(const std::string& interfaceName) {
    if (const auto rp = Sysctl::reversePathFilter(interfaceName)) {
        return *rp;
    }
    return std::nullopt;
}

bool arpFluxGuarded(const std::string& interfaceName) {
    return Sysctl::arpFluxGuarded(interfaceName);
}

HostSystem hostSystem() {
    return HostSystem::Linux;
}

PortCheck checkPort(const AdapterFacts& adapter, std::uint16_t port) {
    return UdpPortCheck::check(adapter.interfaceName, adapter.interfaceIndex, port);
}

FirewallFacts firewall() {
    return NftablesChains::inputDropChains();
}

bool hasRoute(Ipv4 destination) {
    return RouteLookup::hasRoute(destination);
}

Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int interfaceIndex, std::uint16_t udpPort) {
    auto tap = std::make_unique<PacketTap>();
    if (const auto opened = tap->open(interfaceIndex, udpPort); !opened) {
        return Failure{opened.error()};
    }
    return std::unique_ptr<WireTap>(std::move(tap));
}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

int terminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

std::optional<std::string> replaceFile(const fs::path& path, const std::string& text) {
    const auto [fd, temporary] = createTemporary(path.parent_path());
    if (fd < 0) {
        return std::string(std::strerror(errno));
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777); // the report keeps its permissions
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int reason = ok ? errno : error;
        ::unlink(temporary.c_str());
        return std::string(std::strerror(reason));
    }
    return std::nullopt;
}

std::optional<std::string> canCreateIn(const fs::path& folder) {
    const auto [fd, probe] = createTemporary(folder);
    if (fd < 0) {
        return std::string(std::strerror(errno));
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return std::nullopt;
}

} // namespace fw::host
