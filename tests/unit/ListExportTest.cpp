// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListExport.h"

#include "cli/DeviceReport.h"
#include "platform/FilePath.h"
#include "platform/FileReplace.h"
#include "support/CoreFakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fw {
namespace {

namespace fs = std::filesystem;

// The real file replacement under a save dialog that answers with `path`.
struct ExportView final : ListExport::View {
    std::optional<std::string> chooseExportPath() override { return path; }
    Status<std::error_code> replaceFile(const std::string& p, const std::string& text) override {
        return files::replaceFile(filePath(p), text);
    }
    void showMessage(const Message& m) override { messages.push_back(m.text); }
    static VendorTable readVendorTable() {
        const std::array files{std::string_view("MA-L,000A1B,\"Stream Labs, Moscow\",\n")};
        return VendorTable::fromRegistries(files);
    }
    std::string path;
    std::vector<std::string> messages;
};

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

struct ListExportTest : ::testing::Test {
    void SetUp() override {
        // One folder per test run: ctest runs the tests as processes side by side.
        folder = fs::temp_directory_path() /
                 ("fernwick-export-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(std::random_device()()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Exports `rows` to `name` in the folder; the file's bytes.
    std::string exported(const std::string& name) {
        view.path = pathText(folder / filePath(name));
        exporter.run(rows, adapters, ExportView::readVendorTable());
        EXPECT_TRUE(view.messages.empty()) << view.messages.front();
        return contents(folder / filePath(name));
    }

    fs::path folder;
    const AdapterTable adapters{{Ipv4::parse("10.77.1.1"), Ipv4::parse("255.255.255.0"), {}, {}, "eth0", 2}};
    test::ListRows rows;
    ExportView view;
    ListExport exporter{view};
};

// What the command line prints for the same rows, byte for byte: CSV unless the name ends in .json.
TEST_F(ListExportTest, WritesWhatTheCommandLinePrints) {
    rows.rows = {{"Caf\xE9, \"x\"\n", Ipv4::parse("10.77.1.10").value(), "office", 6, true,
                  MacAddress{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, DeviceKind::AccessPoint,
                  Ipv4::parse("10.77.1.1").value()},
                 {"local", Ipv4::parse("10.77.1.11").value(), "", 1, false,
                  MacAddress{0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, DeviceKind::Bridge,
                  Ipv4::parse("10.77.1.1").value()}};
    const VendorTable vendors = ExportView::readVendorTable();
    const std::string csv = exported("list.csv");
    EXPECT_EQ(csv, cli::formatDevices(rows.rows, adapters, cli::OutputFormat::Csv, vendors));
    EXPECT_NE(csv.find(",\"Stream Labs, Moscow\"\n"), std::string::npos) << csv;
    EXPECT_EQ(exported("list.JSON"),
              cli::formatDevices(rows.rows, adapters, cli::OutputFormat::Json, vendors));
    EXPECT_EQ(exported("list"), csv);

    rows.rows.clear();
    EXPECT_EQ(exported("empty.csv"), "name,ip,essid,channel,wep,mac,kind,adapter,adapter_ip,vendor\n");
    EXPECT_EQ(nlohmann::json::parse(exported("empty.json")), nlohmann::json::array());
}

// A path that is a folder: the reason is said, and nothing is left behind (no temporary file).
TEST_F(ListExportTest, ARefusedExportLeavesNoFile) {
    fs::create_directory(folder / "taken.csv");
    view.path = pathText(folder / "taken.csv");
    exporter.run(rows, adapters, ExportView::readVendorTable());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("taken.csv:\n"), std::string::npos) << view.messages[0];
    EXPECT_TRUE(fs::is_directory(folder / "taken.csv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

} // namespace
} // namespace fw
