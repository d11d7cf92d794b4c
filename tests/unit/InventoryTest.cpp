// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandWords.h"
#include "cli/EventHook.h"
#include "cli/InventoryFile.h"
#include "cli/InventoryWatch.h"
#include "cli/ReportFile.h"
#include "discovery/KnownDevices.h"

#include <gtest/gtest.h>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

namespace fw::cli {
namespace {

namespace fs = std::filesystem;
using Arrival = KnownDevices::Arrival;
using Time = KnownDevices::Time;

DeviceRow row(std::uint8_t mac, const char* address) {
    return {"d\xe9",
            Ipv4::parse(address).value(),
            "net",
            6,
            false,
            {0, 0x0A, 0x1B, 0, 0, mac},
            DeviceKind::AccessPoint,
            Ipv4::parse("10.77.1.1").value()};
}
const AdapterTable kAdapters{
    {Ipv4::parse("10.77.1.1").value(), Ipv4::parse("255.255.255.0").value(), {}, {}, "eth0", 2}};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("fw-inventory-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

TEST(KnownDevices, MergeRules) {
    // Each step: a search's rows (by last MAC byte), then the devices counted gone after it; the
    // arrivals it must give, "byte:N|B|K".
    struct Step {
        std::vector<DeviceRow> rows;
        std::vector<std::uint8_t> gone;
        std::string arrivals;
    };
    const std::vector<Step> steps{
        {{row(1, "10.77.1.10"), row(2, "10.77.1.11")}, {}, "1:N 2:N"},
        {{row(1, "10.77.1.12")}, {2}, "1:K"},                      // changed address: known, not new
        {{row(2, "10.77.1.11"), row(2, "10.77.1.11")}, {}, "2:B"}, // gone, then answering again; once per MAC
        {{row(2, "10.77.1.11")}, {}, "2:K"},
    };
    KnownDevices known;
    Time now{std::chrono::seconds(1'700'000'000)};
    for (const Step& s : steps) {
        now += std::chrono::seconds(10);
        std::string got;
        for (const auto& [mac, a] : known.seen(s.rows, kAdapters, now)) {
            got += (got.empty() ? "" : " ") + std::to_string(mac[5]) + ":" + "NBK"[static_cast<int>(a)];
        }
        EXPECT_EQ(got, s.arrivals);
        for (const std::uint8_t g : s.gone) {
            EXPECT_TRUE(known.markGone({0, 0x0A, 0x1B, 0, 0, g}));
        }
    }
    const auto& d = known.devices().at({0, 0x0A, 0x1B, 0, 0, 1});
    EXPECT_EQ(d.row.ip.toString(), "10.77.1.12");
    EXPECT_EQ(d.firstSeen + std::chrono::seconds(10), d.lastSeen);
    EXPECT_EQ(d.adapter, "eth0");
    // Device 1 last answered at step 2; device 2 at step 4.
    EXPECT_EQ(known.goneSilentSince(now).size(), 1U);
    EXPECT_TRUE(known.devices().at({0, 0x0A, 0x1B, 0, 0, 1}).gone);
}

TEST(KnownDevices, MacFormsAndTimes) {
    const MacAddress mac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    for (const char* text : {"00:0a:1b:2c:3d:4e", "00-0A-1B-2C-3D-4E", "000a.1b2c.3d4e", "000A1B2C3D4E"}) {
        EXPECT_EQ(macInAnyForm(text), mac) << text;
    }
    for (const char* text : {"00:0a-1b:2c:3d:4e", "000a1b2c3d4", "00:0a:1b:2c:3d:4g", "000a.1b2c-3d4e", ""}) {
        EXPECT_FALSE(macInAnyForm(text)) << text;
    }
    const Time t = parseUtc("2026-03-01T09:30:05.250Z").value();
    EXPECT_EQ(utcText(t), "2026-03-01T09:30:05Z");
    EXPECT_FALSE(parseUtc("2026-02-30T09:30:05Z"));
}

TEST(InventoryFile, RoundTripAndRefusals) {
    TempDir dir;
    const std::string path = (dir.path / "inv.json").string();
    {
        auto file = InventoryFile::openForWriting(path, "test");
        ASSERT_TRUE(file) << file.error();
        file->devices().seen({row(1, "10.77.1.10")}, kAdapters, Time{std::chrono::seconds(1'700'000'000)});
        file->devices().setName({0, 0x0A, 0x1B, 0, 0, 1}, "Roof \"north\"\n");
        // A second writer is refused while the first holds it; a reader is not.
        const auto second = InventoryFile::openForWriting(path, "other");
        ASSERT_FALSE(second);
        EXPECT_NE(second.error().find("is being written by test (process "), std::string::npos)
            << second.error();
        ASSERT_TRUE(file->save());
        const auto read = InventoryFile::read(path);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->devices(), file->devices().devices()); // Latin-1 name, quotes, newline kept
    }
    const std::pair<const char*, const char*> refused[] = {
        {"[1, 2]", "is not a Fernwick inventory"},
        {R"({"format": "fernwick-report", "devices": []})", "is not a Fernwick inventory"},
        {R"({"format": "fernwick-inventory", "version": 2, "devices": []})",
         "is of a newer format (version 2)"},
    };
    for (const auto& [text, message] : refused) {
        std::ofstream(path, std::ios::trunc) << text;
        const auto file = InventoryFile::openForWriting(path, "test");
        ASSERT_FALSE(file);
        EXPECT_NE(file.error().find(message), std::string::npos) << file.error();
        EXPECT_EQ(slurp(path), text);
    }
}

// fork, a file size limit and sh: Linux only.
#ifndef _WIN32
TEST(InventoryFile, KilledWhileSavingLeavesOldOrNew) {
    TempDir dir;
    const std::string path = (dir.path / "inv.json").string();
    KnownDevices a;
    KnownDevices b;
    for (int i = 0; i < 2000; ++i) {
        const std::uint8_t hi = static_cast<std::uint8_t>(i >> 8);
        const std::uint8_t lo = static_cast<std::uint8_t>(i);
        KnownDevices::Device d;
        d.row.mac = {2, 0, 0, 0, hi, lo};
        a.put(d.row.mac, d);
        d.row.mac[3] = 1;
        b.put(d.row.mac, d);
    }
    ASSERT_TRUE(replaceReport(path, inventoryText(a)));
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            auto file = InventoryFile::openForWriting(path, "child");
            for (int i = 0;; ++i) {
                file->devices() = i % 2 == 0 ? b : a;
                (void)file->save();
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + 1500 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto read = InventoryFile::read(path);
        ASSERT_TRUE(read) << read.error();
        EXPECT_TRUE(read->devices() == a.devices() || read->devices() == b.devices());
    }
}

// A disk that fills up mid-write (here the file size limit): the save fails, the old file stays.
TEST(InventoryFile, SaveThatCannotFinishKeepsTheOldFile) {
    TempDir dir;
    const std::string path = (dir.path / "inv.json").string();
    KnownDevices many;
    for (int i = 0; i < 200; ++i) {
        many.seen({row(static_cast<std::uint8_t>(i), "10.77.1.10")}, kAdapters, Time{});
    }
    ASSERT_TRUE(replaceReport(path, inventoryText(KnownDevices{})));
    const std::string before = slurp(path);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        auto file = InventoryFile::openForWriting(path, "child");
        file->devices() = many;
        const auto saved = file->save();
        ::_exit(!saved && saved.error().find("could not be saved: File too large") != std::string::npos ? 0
                                                                                                        : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(slurp(path), before);
}

TEST(EventHook, WordsEventAndFailures) {
    const std::pair<const char*, std::vector<std::string>> split[] = {
        {R"(  /bin/hook  'a b'  "c \"d\" \\"  C:\x\y.exe x'y'z )",
         {"/bin/hook", "a b", "c \"d\" \\", "C:\\x\\y.exe", "xyz"}},
    };
    for (const auto& [line, words] : split) {
        EXPECT_EQ(commandWords(line).value(), words);
    }
    EXPECT_FALSE(commandWords("a 'b"));

    TempDir dir;
    const fs::path out = dir.path / "out";
    const DeviceInventory::Event back{
        DeviceInventory::EventKind::Back, {row(1, "10.77.1.10")}, std::nullopt, {}, std::nullopt};
    const std::array registry{std::string_view("MA-L,000A1B,Stream Labs,\n")};
    const auto call = hookCall(back, kAdapters, std::chrono::system_clock::time_point{},
                               VendorTable::fromRegistries(registry));
    const auto json = nlohmann::json::parse(call.json);
    EXPECT_EQ(json["event"], "back");
    EXPECT_EQ(json["device"]["mac"], "00-0A-1B-00-00-01");
    EXPECT_EQ(json["device"]["vendor"], "Stream Labs"); // as watch's jsonl line has it
    asio::io_context io;
    std::vector<std::string> said;
    const auto started = std::chrono::steady_clock::now();
    {
        const auto say = [&said](const std::string& t) {
            said.push_back(t);
        };
        EventHook good({"sh", "-c",
                        "cat > '" + out.string() +
                            "'; echo \"$FERNWICK_EVENT $FERNWICK_MAC $FERNWICK_IP\" >> '" + out.string() +
                            "'"},
                       std::chrono::seconds(5), io.get_executor(), say);
        good.pass(call);
        EventHook bad({"sh", "-c", "exit 3"}, std::chrono::seconds(5), io.get_executor(), say);
        bad.pass(call);
        EventHook missing({"/nonexistent/hook"}, std::chrono::seconds(5), io.get_executor(), say);
        missing.pass(call);
        EventHook hanging({"sh", "-c", "sleep 30"}, std::chrono::milliseconds(200), io.get_executor(), say);
        hanging.pass(call);
        hanging.pass(call); // waits behind the first, which is ended after 0.2 s
        const auto work = asio::make_work_guard(io);
        io.run_for(std::chrono::seconds(2));
    }
    io.run();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_EQ(slurp(out), call.json + "\nback 00-0A-1B-00-00-01 10.77.1.10\n");
    std::sort(said.begin(), said.end());
    ASSERT_EQ(said.size(), 4U);
    EXPECT_EQ(said[0], "--on-event: '/nonexistent/hook' could not be started: No such file or directory (the "
                       "back event of 00-0A-1B-00-00-01)");
    EXPECT_EQ(
        said[1],
        "--on-event: 'sh' did not end within 0.2 s and was ended (the back event of 00-0A-1B-00-00-01)");
    EXPECT_EQ(said[2], said[1]);
    EXPECT_EQ(said[3], "--on-event: 'sh' failed with exit status 3 (the back event of 00-0A-1B-00-00-01)");
}

#endif

} // namespace
} // namespace fw::cli
