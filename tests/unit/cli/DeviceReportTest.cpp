#include "cli/DeviceReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

const AdapterTable kAdapters{{"10.77.1.1", "255.255.255.0", "0.0.0.0", {}, "eth0", 2},
                             {"10.77.2.1", "255.255.255.0", "0.0.0.0", {}, "eth1", 3}};

// Device texts are 8-bit: "\xE9" is é. The second name tries to break lines, fields and the terminal.
const std::vector<DeviceRow> kRows{
    {"Lobby AP", "10.77.1.10", "office", "6", "Enabled", "00-0A-1B-2C-3D-4E", "A", "10.77.1.1"},
    {"Caf\xE9, \"x\"\n\x1B[2J\\", "192.168.99.7", "a,b", "0", "Disabled", "00-0A-1B-00-00-03", "G",
     "10.77.2.1"},
    {"", "10.77.9.9", "", "11", "Disabled", "00-0A-1B-00-00-04", "G", "10.77.9.1"},
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "output must end with a newline";
    return out;
}

TEST(DeviceReport, JsonKeepsEveryTextExactly) {
    const std::string text = formatDevices(kRows, kAdapters, OutputFormat::Json);
    QJsonParseError error{};
    const QJsonArray a = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    ASSERT_EQ(a.size(), 3);
    EXPECT_EQ(a[0].toObject(), (QJsonObject{{"name", "Lobby AP"},
                                            {"ip", "10.77.1.10"},
                                            {"essid", "office"},
                                            {"channel", 6},
                                            {"wep", true},
                                            {"mac", "00-0A-1B-2C-3D-4E"},
                                            {"kind", "ap"},
                                            {"adapter", "eth0"},
                                            {"adapter_ip", "10.77.1.1"}}));
    EXPECT_EQ(a[1]["name"].toString(), QString::fromUtf8("Café, \"x\"\n\x1B[2J\\"));
    EXPECT_EQ(a[1]["kind"], "adapter");
    EXPECT_EQ(a[1]["wep"], false);
    EXPECT_EQ(a[1]["channel"], 0);
    EXPECT_EQ(a[1]["adapter"], "eth1");
    // An adapter not in the table is named by its address.
    EXPECT_EQ(a[2]["adapter"], "10.77.9.1");
    EXPECT_EQ(formatDevices({}, kAdapters, OutputFormat::Json), "[\n]\n");
}

TEST(DeviceReport, CsvIsOneQuotedLinePerDevice) {
    const auto l = lines(formatDevices(kRows, kAdapters, OutputFormat::Csv));
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], "name,ip,essid,channel,wep,mac,kind,adapter,adapter_ip");
    EXPECT_EQ(l[1], "Lobby AP,10.77.1.10,office,6,Enabled,00-0A-1B-2C-3D-4E,ap,eth0,10.77.1.1");
    EXPECT_EQ(l[2], "\"Caf\xC3\xA9, \"\"x\"\"\\x0A\\x1B[2J\\\\\",192.168.99.7,\"a,b\",0,Disabled,"
                    "00-0A-1B-00-00-03,adapter,eth1,10.77.2.1");
    EXPECT_EQ(l[3], ",10.77.9.9,,11,Disabled,00-0A-1B-00-00-04,adapter,10.77.9.1,10.77.9.1");
    EXPECT_EQ(lines(formatDevices({}, kAdapters, OutputFormat::Csv)).size(), 1u);
}

TEST(DeviceReport, TableColumnsLineUpAndNoControlCharacterGetsOut) {
    const auto l = lines(formatDevices(kRows, kAdapters, OutputFormat::Table));
    ASSERT_EQ(l.size(), 4u);
    // Every column starts at the same place on every line (widths counted in characters, so é is one).
    const char* const ips[] = {"IP", "10.77.1.10", "192.168.99.7", "10.77.9.9"};
    const auto ipColumn = QString::fromStdString(l[0]).indexOf("IP");
    for (std::size_t i = 0; i < l.size(); ++i) {
        const QString q = QString::fromStdString(l[i]);
        EXPECT_EQ(q.indexOf(ips[i]), ipColumn) << l[i];
        EXPECT_FALSE(q.contains(QChar(0x1B)) || q.contains('\n')) << l[i];
        EXPECT_FALSE(l[i].ends_with(' ')) << l[i];
    }
    EXPECT_NE(l[2].find("Caf\xC3\xA9, \"x\"\\x0A\\x1B[2J\\\\"), std::string::npos) << l[2];
    EXPECT_EQ(l[0].substr(0, 4), "NAME");
}

TEST(DeviceReport, LatinOneControlsAreEscapedToo) {
    // C1 controls (0x80-0x9F) act as escapes on some terminals; DEL is invisible.
    EXPECT_EQ(printableText("a\x9B"
                            "b\x7F"
                            "c\xA0"),
              "a\\x9Bb\\x7Fc\xC2\xA0");
}

} // namespace
} // namespace fw::cli
