// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RolloutReport.h"

#include "cli/DeviceReport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cstdio>

namespace fw::cli {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonObject toJson(const RolloutEntry& e) {
    return {{"target", text(e.target)},
            {"mac", e.mac ? text(formatMac(*e.mac)) : QJsonValue()},
            {"ip", e.ip ? text(e.ip->toString()) : QJsonValue()},
            {"name", QString::fromLatin1(e.name.data(), static_cast<qsizetype>(e.name.size()))},
            {"adapter", text(e.adapter)},
            {"state", text(std::string(rolloutStateName(e.state)))},
            {"detail", text(e.detail)},
            {"bytes", static_cast<qint64>(e.bytes)},
            {"upload_seconds", e.uploadSeconds},
            {"back_seconds", e.backSeconds},
            {"retransmissions", e.retransmissions},
            {"timeouts", e.timeouts},
            {"earlier", e.earlier}};
}

std::optional<RolloutEntry> fromJson(const QJsonObject& o) {
    const auto state = rolloutStateNamed(o["state"].toString().toStdString());
    const auto mac = parseMac(o["mac"].toString().toStdString());
    if (!state || !mac) {
        return std::nullopt;
    }
    RolloutEntry e;
    e.target = o["target"].toString().toStdString();
    e.mac = mac;
    e.ip = Ipv4::parse(o["ip"].toString().toStdString());
    e.name = o["name"].toString().toLatin1().toStdString();
    e.adapter = o["adapter"].toString().toStdString();
    e.state = *state;
    e.detail = o["detail"].toString().toStdString();
    e.bytes = static_cast<std::uint64_t>(o["bytes"].toInteger());
    e.uploadSeconds = o["upload_seconds"].toDouble();
    e.backSeconds = o["back_seconds"].toDouble();
    e.retransmissions = o["retransmissions"].toInt();
    e.timeouts = o["timeouts"].toInt();
    e.earlier = true;
    return e;
}

// The report's document, or why the file is not a rollout report. The file exists.
std::variant<QJsonDocument, std::string> readReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString().toStdString();
    }
    QJsonParseError parseError{};
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() || !doc["devices"].isArray() ||
        !doc["image_sha256"].isString()) {
        return std::string("not a rollout report");
    }
    return doc;
}

std::string seconds(double s) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", s);
    return buffer;
}

} // namespace

RolloutReport::RolloutReport(std::string image, std::span<const std::uint8_t> bytes)
    : image_(std::move(image)),
      sha256_(QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                       QCryptographicHash::Sha256)
                  .toHex()
                  .toStdString()) {}

bool RolloutReport::save(const std::string& path, const std::vector<RolloutEntry>& entries,
                         std::string& error) const {
    QJsonArray devices;
    for (const RolloutEntry& e : entries) {
        devices.append(toJson(e));
    }
    const QJsonObject root{{"image", text(image_)}, {"image_sha256", text(sha256_)}, {"devices", devices}};
    QSaveFile file(text(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

std::variant<std::vector<RolloutEntry>, std::string> RolloutReport::doneIn(const std::string& path) const {
    if (!QFileInfo::exists(text(path))) {
        return std::vector<RolloutEntry>{};
    }
    const auto read = readReport(text(path));
    if (const auto* problem = std::get_if<std::string>(&read)) {
        return *problem;
    }
    const QJsonDocument& doc = std::get<QJsonDocument>(read);
    std::vector<RolloutEntry> done;
    if (doc["image_sha256"].toString().toStdString() != sha256_) {
        return done; // another image: nothing of it is done with this one
    }
    const QJsonArray devices = doc["devices"].toArray();
    for (const auto& v : devices) {
        const auto e = fromJson(v.toObject());
        if (e && e->state == RolloutState::Done) {
            done.push_back(*e);
        }
    }
    return done;
}

std::optional<std::string>
RolloutReport::refusal(const std::string& path,
                       const std::vector<std::pair<std::string, std::string>>& inputs) {
    const QFileInfo info(text(path));
    if (info.isDir()) {
        return std::string("is a folder");
    }
    if (info.exists()) {
        for (const auto& [input, what] : inputs) {
            if (info.canonicalFilePath() == QFileInfo(text(input)).canonicalFilePath()) {
                return "is " + what + "; the report would replace it";
            }
        }
        const auto read = readReport(info.filePath());
        if (info.size() > 0 && std::holds_alternative<std::string>(read)) {
            return "exists and is " + std::get<std::string>(read) + "; it would be replaced";
        }
    }
    // The report is replaced by renaming a new file in its folder: that must work there.
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) {
        return "cannot be written: there is no folder " + folder.filePath().toStdString();
    }
    QTemporaryFile probe(folder.filePath() + "/.fernwick-report-XXXXXX");
    if (!probe.open()) {
        return "cannot be written in " + folder.filePath().toStdString() + ": " +
               probe.errorString().toStdString();
    }
    return std::nullopt;
}

std::string RolloutReport::summary(const std::vector<RolloutEntry>& entries) {
    constexpr std::size_t kColumns = 9;
    std::vector<std::array<std::string, kColumns>> lines{
        {"DEVICE", "MAC", "ADAPTER", "STATE", "BYTES", "SECONDS", "RETX", "T/O", "DETAIL"}};
    std::size_t done = 0;
    for (const RolloutEntry& e : entries) {
        done += e.state == RolloutState::Done ? 1 : 0;
        lines.push_back({e.target, e.mac ? formatMac(*e.mac) : "-", e.adapter.empty() ? "-" : e.adapter,
                         std::string(rolloutStateName(e.state)) + (e.earlier ? " (earlier)" : ""),
                         std::to_string(e.bytes), seconds(e.uploadSeconds + e.backSeconds),
                         std::to_string(e.retransmissions), std::to_string(e.timeouts),
                         printableText(e.detail)});
    }
    std::array<std::size_t, kColumns> width{};
    for (const auto& l : lines) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            width[i] = std::max(width[i], l[i].size());
        }
    }
    std::string out;
    for (const auto& l : lines) {
        std::string line;
        for (std::size_t i = 0; i < kColumns; ++i) {
            line += l[i];
            if (i + 1 < kColumns) {
                line += std::string(width[i] + 2 - l[i].size(), ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out + std::to_string(done) + " of " + std::to_string(entries.size()) + " devices done\n";
}

} // namespace fw::cli
