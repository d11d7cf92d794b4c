// SPDX-License-Identifier: GPL-3.0-or-later
// set-ip --verify and set-ip --plan from argv to exit status, over simulated devices in virtual time.
#include "support/CommandRig.h"

#include <nlohmann/json.hpp>

namespace fw::test {
namespace {

using cli::ExitStatus;

// The rows' states, "*" after one settled in an earlier run.
std::string states(const std::string& json) {
    std::string out;
    for (const auto& row : nlohmann::json::parse(json)) {
        out += (out.empty() ? "" : " ") + row["state"].get<std::string>() +
               (row["earlier"].get<bool>() ? "*" : "");
    }
    return out;
}

TEST(SetIpCommand, VerifyWaitsForTheDeviceAtItsNewAddressAndRefusesAnotherDevicesOne) {
    const std::vector<std::string> verify{"--verify", "--verify-timeout", "3"};
    const struct {
        const char* fault;
        int device;
        const char* ip;
        std::vector<std::string> options;
        ExitStatus status;
        const char* out;
        const char* err;
        int requests;
    } cases[] = {
        {"a device back at its address is not seen", 1, "10.77.1.50", verify, ExitStatus::Ok,
         "Set IP OK\nVerified: 00-0A-1B-00-00-01 answers from 10.77.1.50 on eth0 after ", "", 1},
        {"an OK is taken for the device's return", 2, "10.77.1.51", verify, ExitStatus::NotBack,
         "Set IP OK\n", "00-0A-1B-00-00-02 said OK but still answers from 10.77.1.12 after 3.0 s", 1},
        {"an address another device answers from is given away", 1, "10.77.1.13", verify, ExitStatus::Usage,
         "", "10.77.1.13 is taken: 00-0A-1B-00-00-03 answers from it on eth0; give --force", 0},
        {"the host's own address on another adapter is given away",
         1,
         "10.77.2.1",
         {"--verify", "--force"},
         ExitStatus::Usage,
         "",
         "10.77.2.1 is this host's own address on eth1",
         0},
        {"a refusal passes for success",
         4,
         "10.77.1.60",
         {},
         ExitStatus::Negative,
         "Set IP Failure\n",
         "",
         1},
        {"a silent device gets no copies of the request",
         5,
         "10.77.1.62",
         {"-i", "eth0", "-r", "2"},
         ExitStatus::NoAnswer,
         "",
         "",
         3},
        {"a MAC nobody has is sent to blindly",
         9,
         "10.77.1.61",
         {},
         ExitStatus::NoAnswer,
         "",
         "no device with MAC 00-0A-1B-00-00-09 answered a search",
         0},
    };
    for (const auto& c : cases) {
        CommandRig rig;
        rig.add(1, "10.77.1.10");
        rig.add(2, "10.77.1.12").setIp = SimDevice::SetIp::Pretend;
        rig.add(3, "10.77.1.13");
        rig.add(4, "10.77.2.14", CommandRig::kEth1).setIp = SimDevice::SetIp::Refuse;
        rig.add(5, "10.77.1.15").setIp = SimDevice::SetIp::Silent;
        std::vector<std::string> args{
            "set-ip", "00-0A-1B-00-00-0" + std::to_string(c.device), "--ip", c.ip, "--mask", "255.255.255.0"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto r = rig.run(args);
        EXPECT_EQ(r.status, c.status) << c.fault << "\n" << r.err;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << c.fault << "\n" << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.fault << "\n" << r.err;
        int requests = 0;
        for (const SimDevice& d : rig.devices) {
            requests += d.setIpRequests;
        }
        EXPECT_EQ(requests, c.requests) << c.fault;
    }
}

// Six devices on eth0 and a plan of seven rows: a taken address, one already there, one that moves,
// a refusal, silence, this host's second address, a device nobody has; then a rerun, a dry run,
// and a member that stays on the address another was given.
TEST(SetIpCommand, VerifiedPlanSettlesEveryRowAndARerunCarriesTheSettledOnes) {
    CommandRig rig;
    for (int n = 21; n <= 26; ++n) {
        rig.add(n, ("10.77.1." + std::to_string(n)).c_str());
    }
    rig.devices[4].setIp = SimDevice::SetIp::Refuse;
    rig.devices[5].setIp = SimDevice::SetIp::Silent;
    rig.host.listing.adapters[0].moreAddresses = {
        {Ipv4{{10, 77, 1, 5}}, Ipv4{{255, 255, 255, 0}}}}; // eth0's second
    const std::string plan =
        rig.file("plan.csv", "# site A\nMAC,ip,mask,gateway,label\n"
                             "00-0A-1B-00-00-15,10.77.1.24,255.255.255.0,,taken\n"
                             "00-0A-1B-00-00-16,10.77.1.22,255.255.255.0,,same\n"
                             "00-0A-1B-00-00-17,10.77.1.60,255.255.255.0,10.77.1.1,moves\n"
                             "00-0A-1B-00-00-19,dhcp,,,refuses\n"
                             "00-0A-1B-00-00-1A,10.77.1.61,255.255.255.0,,silent\n"
                             "00-0A-1B-00-00-1B,10.77.1.5,255.255.255.0,,own\n"
                             "00-0A-1B-00-00-63,10.77.1.62,255.255.255.0,,gone\n");
    const std::string report = (rig.dir / "report.json").string();
    const std::vector<std::string> run{"set-ip", "--plan",   plan,   "--verify",  "--report",
                                       report,   "--format", "json", "--timeout", "0.5"};
    const auto first = rig.run(run);
    EXPECT_EQ(first.status, ExitStatus::Negative) << first.err;
    EXPECT_EQ(states(first.out), "taken unchanged done refused timed-out host-address not-found")
        << first.out;
    std::vector<int> requests;
    for (const SimDevice& d : rig.devices) {
        requests.push_back(d.setIpRequests);
    }
    EXPECT_EQ(requests, (std::vector<int>{0, 0, 1, 0, 1, 3})) << "requests to the mover, refuser and silent";

    auto rerun = run;
    rerun.insert(rerun.end(), {"--skip-done", report});
    const auto again = rig.run(rerun);
    EXPECT_EQ(states(again.out), "taken unchanged* done* refused timed-out host-address not-found")
        << again.out;
    EXPECT_EQ(rig.devices[2].setIpRequests, 1) << "the done row is not sent again";

    const std::string moves =
        rig.file("moves.csv", "mac,ip,mask,gateway\n00-0A-1B-00-00-18,10.77.1.70,255.255.255.0,\n");
    const std::string dryReport = (rig.dir / "dry.json").string();
    const auto dry =
        rig.run({"set-ip", "--plan", moves, "--dry-run", "--report", dryReport, "--format", "json"});
    EXPECT_EQ(dry.status, ExitStatus::Ok) << dry.err;
    EXPECT_EQ(states(dry.out), "pending");
    EXPECT_EQ(rig.devices[3].setIpRequests, 0);
    EXPECT_FALSE(std::filesystem::exists(dryReport));

    // 25 refuses to leave 10.77.1.25: 23 takes it, but is not done while 25 answers from it too.
    const std::string stays = rig.file("stays.csv", "mac,ip,mask,gateway\n"
                                                    "00-0A-1B-00-00-17,10.77.1.25,255.255.255.0,\n"
                                                    "00-0A-1B-00-00-19,10.77.1.80,255.255.255.0,\n");
    const auto shared =
        rig.run({"set-ip", "--plan", stays, "--verify", "--verify-timeout", "2", "--format", "json"});
    EXPECT_EQ(shared.status, ExitStatus::Negative);
    EXPECT_EQ(states(shared.out), "taken refused") << shared.out;
}

// Two rows on one adapter go one after another; when the report cannot be written after the
// first, the second is not sent.
TEST(SetIpCommand, PlanSendsOneRequestPerAdapterAtATimeAndStopsWithoutItsReport) {
    CommandRig rig;
    rig.add(1, "10.77.1.10").setIp = SimDevice::SetIp::Silent;
    rig.add(2, "10.77.1.11");
    rig.add(3, "10.77.2.10", CommandRig::kEth1).setIp = SimDevice::SetIp::Silent;
    const std::string plan = rig.file("plan.csv", "mac,ip,mask,gateway\n"
                                                  "00-0A-1B-00-00-01,10.77.1.50,255.255.255.0,\n"
                                                  "00-0A-1B-00-00-02,10.77.1.51,255.255.255.0,\n"
                                                  "00-0A-1B-00-00-03,10.77.2.50,255.255.255.0,\n");
    std::filesystem::create_directories(rig.dir / "reports");
    const std::string report = (rig.dir / "reports/r.json").string();
    rig.at(Ms{1000}, [&] { std::filesystem::remove_all(rig.dir / "reports"); }); // during the first requests
    const auto r = rig.run({"set-ip", "--plan", plan, "--parallel", "3", "--timeout", "0.5", "--report",
                            report, "--format", "json"});
    EXPECT_EQ(r.status, ExitStatus::Negative);
    EXPECT_EQ(states(r.out), "timed-out not-sent timed-out") << r.out << r.err;
    EXPECT_EQ(rig.devices[1].setIpRequests, 0);
    EXPECT_NE(r.err.find("the report could not be written"), std::string::npos) << r.err;
}

} // namespace
} // namespace fw::test
