// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// fernwick-cli's commands as the program runs them (argv through the parser, runCommand on an
// io_context), over the engine's fake endpoints in virtual time, with simulated devices that answer
// searches, Set IP, the handshake and a TFTP upload. The workstation has eth0 (10.77.1.1/24) and
// eth1 (10.77.2.1/24); a device sits on one of them.

#include "cli/CliRunner.h"
#include "cli/RolloutReport.h"
#include "discovery/DiscoveryRecords.h"
#include "setip/SetIpRecords.h"
#include "support/EngineFakes.h"
#include "support/FakeHost.h"
#include "support/ReplyBytes.h"
#include "support/VirtualLink.h"
#include "upgrade/Handshake.h"

#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <deque>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fw::test {

// The engine and the commands read engine::Clock and wait on engine::Timer: while one of these
// lives, this binary's engine clock (VirtualTime.cpp) stands still but for advance(). run() runs
// what is ready; when nothing is, time moves on by a step and `tick` runs.
class VirtualTime {
public:
    VirtualTime();
    ~VirtualTime();
    VirtualTime(const VirtualTime&) = delete;
    VirtualTime& operator=(const VirtualTime&) = delete;
    void advance(std::chrono::nanoseconds by);
    void run(asio::io_context& context, const std::function<bool()>& done, const std::function<void()>& tick);
};

struct SimDevice {
    enum class SetIp { Accept, Refuse, Silent, Pretend }; // Pretend: says OK, keeps its address
    MacAddress mac{};
    Ipv4 ip;
    Ipv4 adapter; // the workstation's address on the device's segment
    SetIp setIp = SetIp::Accept;
    enum class Tftp { Serve, Silent, AckAhead }; // AckAhead: block 2 is answered ACK 9
    Tftp server = Tftp::Serve;
    std::optional<std::uint8_t> tftpError; // the write request is answered with this ERROR
    bool ap = true;
    // After its image: silent for this long, then answering again; none: it never comes back.
    std::optional<Ms> restart = Ms{2000};
    bool silent = false; // answers no search
    int setIpRequests = 0, handshakes = 0;
    engine::Clock::time_point handshakeAt{}, imageAt{}; // the latest
    std::unique_ptr<Device> tftp;
    UdpAddress tftpPeer;
};

class CommandRig {
public:
    struct Run {
        cli::ExitStatus status;
        std::string out, err;
    };
    static constexpr Ipv4 kEth0{{10, 77, 1, 1}}, kEth1{{10, 77, 2, 1}};

    CommandRig() {
        cli::RolloutReport::initialiseHashing();
        host.listing.adapters = {adapter("eth0", kEth0, 2), adapter("eth1", kEth1, 3)};
        endpoints.routes = {{0x0A4D01, kEth0}, {0x0A4D02, kEth1}};
        endpoints.onSend = [this](const FakeEndpoints::Sent& s) {
            answer(s);
        };
        std::filesystem::create_directories(dir);
    }
    ~CommandRig() { std::filesystem::remove_all(dir); }

    // Device n: MAC 00-0A-1B-00-00-n (hexadecimal) at ip, an access point.
    SimDevice& add(int n, const char* ip, Ipv4 on = kEth0) {
        SimDevice& d = devices.emplace_back();
        d.mac = {0x00, 0x0A, 0x1B, 0x00, 0x00, static_cast<std::uint8_t>(n)};
        d.ip = *Ipv4::parse(ip);
        d.adapter = on;
        return d;
    }

    std::string file(const std::string& name, std::string_view text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }

    // Runs `event` when `after` has passed in virtual time (from now, or a run's start).
    void at(Ms after, std::function<void()> event) {
        due_.emplace(engine::Clock::now() + after, std::move(event));
    }

    Run run(std::vector<std::string> args) {
        args.insert(args.begin(), "fernwick-cli");
        const cli::ParsedCommandLine parsed = cli::parseCommandLine(args);
        if (parsed.kind != cli::ParsedCommandLine::Kind::Run) {
            return {cli::ExitStatus::Usage, {}, parsed.text};
        }
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        std::optional<cli::ExitStatus> status;
        cli::Console console;
        cli::CliContext ctx{console, endpoints, host, {}}; // the one place it is made
        asio::co_spawn(context_, cli::runCommand(ctx, *parsed.command), [&](std::exception_ptr e, auto s) {
            if (e) {
                std::rethrow_exception(e);
            }
            status = s;
        });
        const auto end = engine::Clock::now() + std::chrono::minutes(10);
        time_.run(
            context_, [&] { return status || engine::Clock::now() > end; }, [this] { fireDue(); });
        Run r{status.value_or(cli::ExitStatus::Usage), testing::internal::GetCapturedStdout(),
              testing::internal::GetCapturedStderr()};
        EXPECT_TRUE(status) << "the command did not end within 10 virtual minutes";
        return r;
    }

    FakeHost host; // its listing: eth0 and eth1; it records each neighbour flush
    std::deque<SimDevice> devices;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("fw-commands-" + std::to_string(::getpid()));

private:
    static AdapterFacts adapter(const char* name, Ipv4 ip, int index) {
        return {name, ip,    Ipv4{{255, 255, 255, 0}},     {}, {2, 0xFE, 0, 0, 1, std::uint8_t(index)},
                name, index, LinkFlags{true, false, false}};
    }

    void later(Ms delay, UdpAddress to, UdpAddress from, Bytes bytes) {
        at(delay, [this, to, from, b = std::move(bytes)] { endpoints.deliver(to, from, b); });
    }
    void fireDue() {
        while (!due_.empty() && due_.begin()->first <= engine::Clock::now()) {
            auto event = std::move(due_.begin()->second);
            due_.erase(due_.begin());
            event();
        }
    }

    // Every answer comes 1 ms after what it answers.
    void answer(const FakeEndpoints::Sent& s) {
        for (SimDevice& d : devices) {
            if (s.to.ip == Ipv4::broadcast() ? d.adapter != s.from.ip : d.ip != s.to.ip) {
                continue;
            }
            if (s.to.port == kDevicePort) {
                toPort4000(d, s);
            } else if (d.server == SimDevice::Tftp::Silent) {
            } else if (d.server == SimDevice::Tftp::AckAhead && s.bytes.at(1) == 3 && s.bytes.at(3) == 2) {
                later(Ms{1}, s.from, {d.ip, 40002}, {0, 4, 0, 9});
            } else if (d.tftpError && s.bytes.at(1) == 2) {
                const std::string error =
                    std::string("\0\5\0", 3) + char(*d.tftpError) + "Access violation." + '\0';
                later(Ms{1}, s.from, {d.ip, 40001}, Bytes(error.begin(), error.end()));
            } else {
                d.tftpPeer = s.from;
                if (!d.tftp) {
                    d.tftp = std::make_unique<Device>(d.ip, [this, &d](Ms delay, UdpAddress from, Bytes b) {
                        later(delay, d.tftpPeer, from, std::move(b));
                    });
                }
                d.tftp->receive({Ms{0}, s.to, s.bytes, true, {}});
                if (d.tftp->complete && !d.silent) { // restarting with its new image
                    d.silent = true;
                    d.imageAt = engine::Clock::now();
                    if (d.restart) {
                        at(*d.restart, [&d] { d.silent = false; });
                    }
                }
            }
        }
    }

    void toPort4000(SimDevice& d, const FakeEndpoints::Sent& s) {
        const Bytes& b = s.bytes;
        if (b.size() == kDiscoveryRequestSize && !d.silent) {
            ReplyFields f{static_cast<std::int16_t>((b[6] << 8) | b[7]), {}, 0, "Device", d.ap ? "AP" : "G"};
            std::copy(d.mac.begin(), d.mac.end(), f.mac);
            later(Ms{1}, s.from, {d.ip, kDevicePort}, replyBytes(f));
        } else if (b.size() == kSetIpRecordSize && b[4] == setip::kCommandRequest &&
                   std::equal(d.mac.begin(), d.mac.end(), b.begin() + setip::kTargetMacOffset) &&
                   ++d.setIpRequests > 0 && d.setIp != SimDevice::SetIp::Silent) {
            Bytes reply = b;
            reply[setip::kResultOffset] = d.setIp == SimDevice::SetIp::Refuse ? 1 : 0;
            if (d.setIp == SimDevice::SetIp::Accept && b[5] == setip::kActionFixed) {
                std::copy_n(b.begin() + setip::kAddressOffset, 4, d.ip.octets.begin());
            }
            later(Ms{1}, {s.from.ip, kWorkstationPort}, {d.ip, kDevicePort}, std::move(reply));
        } else if (b.size() == kHandshakeSize) {
            ++d.handshakes;
            d.handshakeAt = engine::Clock::now();
        }
    }

    VirtualTime time_; // before every timer
    asio::io_context context_;

public:
    FakeEndpoints endpoints{context_};

private:
    std::multimap<engine::Clock::time_point, std::function<void()>> due_;
};

} // namespace fw::test
