// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DeviceReport.h"

#include "cli/AdapterChoice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <array>

namespace fw::cli {
namespace {

constexpr std::array<const char*, 8> kColumns{"name", "ip",  "essid", "channel",
                                              "wep",  "mac", "kind",  "adapter"};

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// C0, DEL and C1 controls become \xNN; a backslash is doubled so the escape cannot be forged.
QString printable(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            out += "\\x" + QString::number(u, 16).rightJustified(2, '0').toUpper();
        } else if (u == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

std::array<QString, 8> cells(const DeviceRow& r, const AdapterTable& adapters) {
    return {printable(latin1(r.name)),
            QString::fromStdString(r.ip.toString()),
            printable(latin1(r.essId)),
            QString::number(r.channel),
            r.wep ? QStringLiteral("Enabled") : QStringLiteral("Disabled"),
            QString::fromStdString(formatMac(r.mac)),
            QString::fromStdString(kindName(r)),
            printable(QString::fromStdString(adapterName(adapters, r.adapterIp)))};
}

QString csvField(const QString& s) {
    if (!s.contains(',') && !s.contains('"') && !s.startsWith(' ') && !s.endsWith(' ')) {
        return s;
    }
    return '"' + QString(s).replace("\"", "\"\"") + '"';
}

std::string table(const std::vector<DeviceRow>& rows, const AdapterTable& adapters) {
    std::vector<std::array<QString, 8>> lines;
    std::array<QString, 8> header;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        header[i] = QString(kColumns[i]).toUpper();
    }
    lines.push_back(header);
    for (const DeviceRow& r : rows) {
        lines.push_back(cells(r, adapters));
    }
    std::array<qsizetype, 8> width{};
    for (const auto& l : lines) {
        for (std::size_t i = 0; i < l.size(); ++i) {
            width[i] = std::max(width[i], l[i].size());
        }
    }
    QString out;
    for (const auto& l : lines) {
        QString line;
        for (std::size_t i = 0; i < l.size(); ++i) {
            line += i + 1 < l.size() ? l[i].leftJustified(width[i] + 2) : l[i];
        }
        while (line.endsWith(' ')) {
            line.chop(1);
        }
        out += line + '\n';
    }
    return out.toStdString();
}

std::string csv(const std::vector<DeviceRow>& rows, const AdapterTable& adapters) {
    QString out;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        out += QString(i ? "," : "") + kColumns[i];
    }
    out += ",adapter_ip\n";
    for (const DeviceRow& r : rows) {
        const auto c = cells(r, adapters);
        for (std::size_t i = 0; i < c.size(); ++i) {
            out += (i ? "," : "") + csvField(c[i]);
        }
        out += "," + QString::fromStdString(r.adapterIp.toString()) + '\n';
    }
    return out.toStdString();
}

std::string json(const std::vector<DeviceRow>& rows, const AdapterTable& adapters) {
    QJsonArray array;
    for (const DeviceRow& r : rows) {
        array.append(deviceObject(r, adapters));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace

QJsonObject deviceObject(const DeviceRow& r, const AdapterTable& adapters) {
    return QJsonObject{{"name", latin1(r.name)},
                       {"ip", QString::fromStdString(r.ip.toString())},
                       {"essid", latin1(r.essId)},
                       {"channel", r.channel},
                       {"wep", r.wep},
                       {"mac", QString::fromStdString(formatMac(r.mac))},
                       {"kind", QString::fromStdString(kindName(r))},
                       {"adapter", QString::fromStdString(adapterName(adapters, r.adapterIp))},
                       {"adapter_ip", QString::fromStdString(r.adapterIp.toString())}};
}

std::string printableText(const std::string& text) {
    return printable(latin1(text)).toStdString();
}

std::string kindName(const DeviceRow& row) {
    // "adapter" is the documented JSON value for every device that is not an access point.
    return row.kind == DeviceKind::AccessPoint ? "ap" : "adapter";
}

std::string formatDevices(const std::vector<DeviceRow>& rows, const AdapterTable& adapters,
                          OutputFormat format) {
    switch (format) {
    case OutputFormat::Json:
        return json(rows, adapters);
    case OutputFormat::Csv:
        return csv(rows, adapters);
    case OutputFormat::Table:
        break;
    }
    return table(rows, adapters);
}

std::string describe(const DeviceTarget& target) {
    if (const auto* ip = std::get_if<Ipv4>(&target)) {
        return ip->toString();
    }
    return formatMac(std::get<MacAddress>(target));
}

bool matches(const DeviceTarget& target, const DeviceRow& row) {
    if (const auto* ip = std::get_if<Ipv4>(&target)) {
        return row.ip == *ip;
    }
    return row.mac == std::get<MacAddress>(target);
}

} // namespace fw::cli
