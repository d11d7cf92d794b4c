// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/IeeeDataFiles.h"

#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

namespace fw {
namespace {

namespace fs = std::filesystem;

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return file ? std::string{std::istreambuf_iterator<char>(file), {}} : std::string();
}

std::string dayOf(std::time_t seconds) {
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::array<char, 16> text{};
    return {text.data(), std::strftime(text.data(), text.size(), "%Y-%m-%d", &parts)};
}

// When the registries were fetched: .lastupdate, else the time MA-L's file was written.
std::string registriesDate(const fs::path& folder) {
    const std::string stamp = readWhole(folder / ".lastupdate");
    try {
        return dayOf(static_cast<std::time_t>(std::stoll(stamp)));
    } catch (const std::exception&) {
        std::error_code ec;
        const auto written = fs::last_write_time(folder / "oui.csv", ec);
        if (ec) {
            return {};
        }
        return dayOf(std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written)));
    }
}

} // namespace

VendorTable IeeeDataFiles::read(const fs::path& folder) {
    // MA-S before IAB: both are 36 bits, and the newer registry's name is the one to keep.
    std::array<std::string, 4> texts;
    std::array<std::string_view, 4> views;
    constexpr std::array<const char*, 4> kFiles{"oui.csv", "mam.csv", "oui36.csv", "iab.csv"};
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        texts.at(i) = readWhole(folder / kFiles.at(i));
        views.at(i) = texts.at(i);
    }
    return VendorTable::fromRegistries(views, registriesDate(folder));
}

} // namespace fw
