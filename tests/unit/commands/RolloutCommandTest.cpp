// SPDX-License-Identifier: GPL-3.0-or-later
// upgrade as a rollout from argv to exit status, over simulated devices in virtual time (the 13 s
// start sequence of each upload included).
#include "support/CommandRig.h"
#include "upgrade/core/TftpPackets.h"

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
    EXPECT_EQ(rig.flushed.front(), Ipv4({10, 77, 1, 10}));
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

// Another program holds port 14321 on the device's adapter: the upgrade ends before the handshake.
TEST(RolloutCommand, AHeldTransferPortEndsTheUpgradeBeforeTheHandshake) {
    CommandRig rig;
    rig.add(1, "10.77.1.10");
    rig.endpoints.refuse[{"10.77.1.1", kTftpLocalPort}] =
        engine::SocketError::from(std::make_error_code(std::errc::address_in_use));
    const Bytes image = apImage();
    const auto r =
        rig.run({"upgrade", "10.77.1.10", rig.file("fw.bin", std::string(image.begin(), image.end()))});
    EXPECT_EQ(r.status, ExitStatus::Usage);
    EXPECT_NE(r.err.find("UDP port 14321 on eth0 (10.77.1.1) is in use"), std::string::npos) << r.err;
    EXPECT_EQ(rig.devices[0].handshakes, 0);
}

} // namespace
} // namespace fw::test
