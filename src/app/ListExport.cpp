// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListExport.h"

#include "common/StringTable.h"
#include "discovery/DeviceListFormat.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace fw {

ListExport::Format ListExport::formatFor(const std::string& path) {
    std::string end = path.substr(path.size() < 5 ? 0 : path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return end == ".json" ? Format::Json : Format::Csv;
}

std::string ListExport::text(const DeviceRows& rows, const AdapterTable& adapters, const VendorTable& vendors,
                             Format format) {
    std::vector<DeviceRow> all;
    all.reserve(static_cast<std::size_t>(rows.count()));
    for (int i = 0; i < rows.count(); ++i) {
        all.push_back(rows.rowAt(i));
    }
    return format == Format::Json ? deviceListJson(all, adapters, vendors)
                                  : deviceListCsv(all, adapters, vendors);
}

void ListExport::run(const DeviceRows& rows, const AdapterTable& adapters, const VendorTable& vendors) {
    const auto path = view_.chooseExportPath();
    if (!path || path->empty()) {
        return;
    }
    const auto saved = view_.replaceFile(*path, text(rows, adapters, vendors, formatFor(*path)));
    if (!saved) {
        view_.showMessage({std::string(loadResString(Str::ExportFailed)) + " " + *path + ":\n" +
                               saved.error().message() + ".",
                           std::string(loadResString(Str::Product)), MessageIcon::Exclamation,
                           MessageButtons::Ok, false});
    }
}

} // namespace fw
