// SPDX-License-Identifier: GPL-3.0-or-later
// upgrade as a rollout from argv to exit status, over simulated devices in virtual time (the 13 s
// start sequence of each upload included).
#include "support/CommandRig.h"
#include "upgrade/TftpPackets.h"

#include <nlohmann/json.hpp>

namespace fw::test {
namespace {

using cli::ExitStatus;

Bytes apImage() {
    Bytes image = labImage(40000, 7);
    const std::string_view marker = "AP Config";
    std::copy(marker.begin(), marker.end(), image.begin() + 20000);
    return image;
}

nlohmann::json reportDevices(const std::string& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in)["devices"];
}

// Three access points: 01 restarts for 1 s after its image, 02 refuses the write request, 03 on the
// other adapter never comes back. Then a rerun once 02 accepts and 03 answers again.
TEST(RolloutCommand, DoneRefusedNotBackSideBySideByAdapterAndAResumeThatKeepsTheDone) {
    CommandRig rig;
    rig.add(1, "10.77.1.10").restart = Ms{1000};
    rig.add(2, "10.77.1.11").tftpError = 2;
    rig.add(3, "10.77.2.20", CommandRig::kEth1).restart.reset();
    const Bytes image = apImage();
    const std::string imagePath = rig.file("fw.bin", std::string(image.begin(), image.end()));
    const std::string list = rig.file("devices.txt", "10.77.1.10\n00-0a-1b-00-00-02  # the refusing one\n"
                                                     "10.77.2.20\n");
    const std::string report = (rig.dir / "report.json").string();
    const std::vector<std::string> resume{"--parallel", "2",    "--back-timeout", "4",
                                          "--report",   report, "--skip-done",    report};
    auto rollout = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"upgrade", imagePath});
        args.insert(args.end(), resume.begin(), resume.end());
        return rig.run(args);
    };

    // A report that cannot be written or would replace an input: nothing is sent.
    for (const std::string& bad : {(rig.dir / "missing/r.json").string(), imagePath, list}) {
        EXPECT_EQ(rig.run({"upgrade", imagePath, "--from", list, "--report", bad}).status, ExitStatus::Usage);
    }
    const auto first = rollout({"--from", list});
    EXPECT_EQ(first.status, ExitStatus::Negative) << first.err;
    EXPECT_NE(first.out.find("1 of 3 devices done"), std::string::npos) << first.out;
    const auto devices = reportDevices(report);
    ASSERT_EQ(devices.size(), 3u) << first.err;
    const char* const states[] = {"done", "refused", "not-back"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(devices[i]["state"], states[i]) << i;
        EXPECT_EQ(devices[i]["bytes"], i == 1 ? 0 : image.size()) << i;
    }
    EXPECT_EQ(devices[1]["detail"], "Access violation.");
    EXPECT_GT(devices[0]["back_seconds"].get<double>(), 0.9); // its answer after the restart, not before
    EXPECT_EQ(rig.devices[0].tftp->image, image);
    EXPECT_EQ(rig.host.calls().front(), "flush 10.77.1.10");
    // 01 and 03 are on different adapters and ran side by side; 02 shares 01's adapter, so its
    // handshake waited for 01 to be back from its restart.
    EXPECT_LT(rig.devices[2].handshakeAt, rig.devices[0].imageAt);
    EXPECT_GT(rig.devices[1].handshakeAt, rig.devices[0].imageAt + Ms{1000});

    rig.devices[1].tftpError.reset();
    rig.devices[1].restart = Ms{500};
    rig.devices[2].silent = false;
    rig.devices[2].restart = Ms{500};
    const auto second = rollout({"--device", "00-0a-1b-00-00-02", "--device", "10.77.2.20"});
    EXPECT_EQ(second.status, ExitStatus::Ok) << second.err;
    const auto after = reportDevices(report);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2]["mac"], "00-0A-1B-00-00-01");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(after[i]["state"], "done") << i;
        EXPECT_EQ(after[i]["earlier"], i == 2) << i;
    }
    EXPECT_EQ(rig.devices[0].handshakes, 1) << "the done device is left alone";
}

// Three devices on one adapter at once, all from its one port 14321: each gets the image whole.
TEST(RolloutCommand, UploadsSharingOneAdaptersPortRunSideBySide) {
    CommandRig rig;
    for (int n = 1; n <= 3; ++n) {
        rig.add(n, ("10.77.1.1" + std::to_string(n)).c_str()).restart = Ms{500};
    }
    const Bytes image = apImage();
    const auto r =
        rig.run({"upgrade", rig.file("fw.bin", std::string(image.begin(), image.end())), "--all-ap", "-i",
                 "eth0", "--parallel", "3", "--per-adapter", "3", "--back-timeout", "10"});
    EXPECT_EQ(r.status, ExitStatus::Ok) << r.err;
    for (const SimDevice& d : rig.devices) {
        EXPECT_EQ(d.tftp->image, image);
        for (const SimDevice& other : rig.devices) {
            EXPECT_LT(d.handshakeAt, other.imageAt); // all three began before any ended
        }
    }
}

// One upgrade that ends before or during its transfer, each with the status a script branches on.
TEST(RolloutCommand, AnUpgradeEndsWithItsStatusWhateverStopsIt) {
    using T = SimDevice::Tftp;
    const struct {
        const char* fault;
        const char* target;
        T server;
        bool ap, held; // held: another program holds port 14321 on eth0
        ExitStatus status;
        const char* err;
        int handshakes;
    } cases[] = {
        {"a held transfer port is found out after the handshake", "10.77.1.10", T::Serve, true, true,
         ExitStatus::Usage, "UDP port 14321 on eth0 (10.77.1.1) is in use", 0},
        {"an image for the other kind is uploaded without --yes", "10.77.1.10", T::Serve, false, false,
         ExitStatus::Usage, "This is a AP Firmware, do you really want to update? Refused; give --yes", 0},
        {"a device without a TFTP server is waited for forever", "10.77.1.10", T::Silent, true, false,
         ExitStatus::NoAnswer, "Time Out", 1},
        {"a stalled transfer hangs a script", "10.77.1.10", T::AckAhead, true, false, ExitStatus::Negative,
         "Block number is out of sequence.", 1},
        {"a device nobody has is uploaded to", "10.77.1.99", T::Serve, true, false, ExitStatus::NoAnswer,
         "no device at 10.77.1.99 answered a search", 0},
    };
    const Bytes image = apImage();
    for (const auto& c : cases) {
        CommandRig rig;
        SimDevice& d = rig.add(1, "10.77.1.10");
        d.server = c.server;
        d.ap = c.ap;
        if (c.held) {
            rig.endpoints.refuse[{"10.77.1.1", kTftpLocalPort}] =
                SocketError::from(std::make_error_code(std::errc::address_in_use));
        }
        const auto r =
            rig.run({"upgrade", c.target, rig.file("fw.bin", std::string(image.begin(), image.end()))});
        EXPECT_EQ(r.status, c.status) << c.fault << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.fault << "\n" << r.err;
        EXPECT_EQ(d.handshakes, c.handshakes) << c.fault;
    }
}

} // namespace
} // namespace fw::test
