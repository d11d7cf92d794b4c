// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliWatch.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/DeviceReport.h"
#include "platform/linux/TerminationSignals.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;
using EventKind = DeviceInventory::EventKind;
using Field = DeviceInventory::Field;

// A search waits for answers for half the interval, at most the window's 3 s, so that between two
// searches port 4001 is free for set-ip or upgrade.
constexpr std::chrono::milliseconds kLongestWait{3000};
constexpr std::size_t kRecentLines = 10;

const char* eventName(EventKind kind) {
    switch (kind) {
    case EventKind::Appeared:
        return "appeared";
    case EventKind::Changed:
        return "changed";
    case EventKind::Gone:
        return "gone";
    case EventKind::DuplicateIp:
        return "duplicate-ip";
    case EventKind::ForeignSubnet:
        return "foreign-subnet";
    case EventKind::MacOnTwoAdapters:
        return "mac-on-two-adapters";
    case EventKind::AdapterChanged:
        return "adapter-changed";
    }
    return "";
}

const char* fieldName(Field field) {
    switch (field) {
    case Field::Name:
        return "name";
    case Field::Ip:
        return "ip";
    case Field::EssId:
        return "essid";
    case Field::Channel:
        return "channel";
    case Field::Wep:
        return "wep";
    case Field::Kind:
        return "kind";
    case Field::Adapter:
        return "adapter";
    }
    return "";
}

QJsonValue fieldValue(const DeviceRow& row, Field field, const AdapterTable& table) {
    const QJsonObject o = deviceObject(row, table);
    return o[fieldName(field)];
}

// A field's value as the plain line shows it.
std::string fieldText(const DeviceRow& row, Field field, const AdapterTable& table) {
    switch (field) {
    case Field::Name:
        return "'" + printableText(row.name) + "'";
    case Field::EssId:
        return "'" + printableText(row.essId) + "'";
    case Field::Ip:
        return row.ip.toString();
    case Field::Channel:
        return std::to_string(row.channel);
    case Field::Wep:
        return row.wep ? "on" : "off";
    case Field::Kind:
        return kindName(row);
    case Field::Adapter:
        return adapterName(table, row.adapterIp);
    }
    return {};
}

std::string now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

bool isWarning(EventKind kind) {
    return kind == EventKind::DuplicateIp || kind == EventKind::ForeignSubnet ||
           kind == EventKind::MacOnTwoAdapters;
}

std::string jsonLine(const Event& e, const AdapterTable& table) {
    QJsonObject o{{"time", QString::fromStdString(now())}, {"event", eventName(e.kind)}};
    if (e.moved) {
        o["adapter"] = QString::fromStdString(e.moved->adapter);
        o["ip"] = QJsonObject{{"old", QString::fromStdString(e.moved->from.toString())},
                              {"new", QString::fromStdString(e.moved->to.toString())}};
        return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
    }
    const DeviceRow& first = e.devices.front();
    switch (e.kind) {
    case EventKind::Changed: {
        QJsonObject changes;
        for (const Field f : e.fields) {
            changes[fieldName(f)] =
                QJsonObject{{"old", fieldValue(*e.before, f, table)}, {"new", fieldValue(first, f, table)}};
        }
        o["changes"] = changes;
        o["device"] = deviceObject(first, table);
        break;
    }
    case EventKind::DuplicateIp:
    case EventKind::MacOnTwoAdapters: {
        QJsonArray devices;
        for (const DeviceRow& r : e.devices) {
            devices.append(deviceObject(r, table));
        }
        if (e.kind == EventKind::DuplicateIp) {
            o["ip"] = QString::fromStdString(first.ip.toString());
            o["adapter"] = QString::fromStdString(adapterName(table, first.adapterIp));
        } else {
            o["mac"] = QString::fromStdString(formatMac(first.mac));
        }
        o["devices"] = devices;
        break;
    }
    case EventKind::Appeared:
    case EventKind::Gone:
    case EventKind::ForeignSubnet:
    case EventKind::AdapterChanged:
        o["device"] = deviceObject(first, table);
        break;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

std::string plainLine(const Event& e, const AdapterTable& table) {
    std::string text = now() + " " + (isWarning(e.kind) ? "warning " : "") + eventName(e.kind) + " ";
    if (e.moved) {
        return text + e.moved->adapter + " " + e.moved->from.toString() + " -> " + e.moved->to.toString();
    }
    const DeviceRow& d = e.devices.front();
    const std::string mac = formatMac(d.mac);
    const std::string on = adapterName(table, d.adapterIp);
    switch (e.kind) {
    case EventKind::Appeared:
    case EventKind::AdapterChanged:
        return text + mac + " " + d.ip.toString() + " '" + printableText(d.name) + "' " + kindName(d) +
               " on " + on;
    case EventKind::Gone:
        return text + mac + " " + d.ip.toString() + " on " + on;
    case EventKind::Changed: {
        text += mac;
        const char* separator = " ";
        for (const Field f : e.fields) {
            text += separator + std::string(fieldName(f)) + " " + fieldText(*e.before, f, table) + " -> " +
                    fieldText(d, f, table);
            separator = ", ";
        }
        return text;
    }
    case EventKind::ForeignSubnet:
        return text + mac + " " + d.ip.toString() + " is in no subnet of " + on +
               "; give it an address there with set-ip";
    case EventKind::DuplicateIp:
    case EventKind::MacOnTwoAdapters: {
        text += e.kind == EventKind::DuplicateIp ? d.ip.toString() + " on " + on + ":" : mac + " on";
        const char* separator = " ";
        for (const DeviceRow& r : e.devices) {
            text += separator +
                    (e.kind == EventKind::DuplicateIp ? formatMac(r.mac) : adapterName(table, r.adapterIp));
            separator = ", ";
        }
        return text;
    }
    }
    return text;
}

void write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

CliWatch::CliWatch(Console& console, std::function<AdapterListing()> listAdapters,
                   EndpointFactory makeEndpoint, WatchCommand command, QObject* parent)
    : QObject(parent), console_(console), listAdapters_(std::move(listAdapters)),
      makeEndpoint_(std::move(makeEndpoint)), command_(std::move(command)), inventory_(command_.missed),
      live_(command_.format == WatchFormat::Table && console.progressOnTerminal()) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &CliWatch::search);
}

CliWatch::~CliWatch() = default;

void CliWatch::start() {
    const auto choice = chooseAdapters(listAdapters_(), command_.interfaces);
    const auto* selection = std::get_if<AdapterSelection>(&choice);
    if (selection == nullptr || selection->outcome != AdapterOutcome::Ok) {
        console_.err(selection == nullptr ? std::get<std::string>(choice) : "no usable adapter to search on");
        done_ = true;
        emit finished(ExitStatus::Usage);
        return;
    }
    signals_ = new TerminationSignals(this);
    connect(signals_, &TerminationSignals::received, this, &CliWatch::stop);
    search();
}

void CliWatch::search() {
    if (done_) {
        return;
    }
    startedAt_ = std::chrono::steady_clock::now();
    // Read again each time: adapters come and go, and addresses change, during a long watch.
    const auto choice = chooseAdapters(listAdapters_(), command_.interfaces);
    const auto* selection = std::get_if<AdapterSelection>(&choice);
    if (selection == nullptr || selection->outcome != AdapterOutcome::Ok) {
        console_.err(selection == nullptr ? std::get<std::string>(choice)
                                          : "no usable adapter to search on; trying again");
        next_.start(command_.interval);
        return;
    }
    const AdapterTable table = selection->table;
    auto* s = new CliSearch(makeEndpoint_, table, this, DiscoverySearch::Keying::MacAndAdapter);
    current_ = s;
    connect(s, &CliSearch::finished, this, [this, s, table] { searched(s, table); });
    s->start(std::min(kLongestWait, command_.interval / 2));
}

void CliWatch::searched(CliSearch* search, const AdapterTable& table) {
    search->deleteLater();
    current_ = nullptr;
    std::vector<Ipv4> unsearched;
    std::vector<std::string> problems;
    for (const auto& failure : search->bindFailures()) {
        if (const auto ip = failure.adapter.ip) {
            unsearched.push_back(*ip);
        }
        problems.push_back(portProblem(failure.adapter, failure.error));
    }
    if (problems != lastPortProblems_) {
        for (const std::string& p : problems) {
            console_.err(p + "; its devices are not counted as missing");
        }
        lastPortProblems_ = problems;
    }
    // Addresses of earlier searches stay nameable: a device gone behind an adapter that has since
    // lost its address is still said to be on that adapter, not on a bare address.
    AdapterTable named = table;
    for (const AdapterEntry& e : named_) {
        if (std::none_of(table.begin(), table.end(), [&](const AdapterEntry& t) { return t.ip == e.ip; })) {
            named.push_back(e);
        }
    }
    named_ = std::move(named);
    report(inventory_.update(search->rows(), table, unsearched), named_);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startedAt_);
    next_.start(std::max(std::chrono::milliseconds(0), command_.interval - elapsed));
}

void CliWatch::report(const std::vector<DeviceInventory::Event>& events, const AdapterTable& table) {
    for (const Event& e : events) {
        if (command_.format == WatchFormat::Jsonl) {
            write(jsonLine(e, table) + "\n");
        } else if (!live_) {
            write(plainLine(e, table) + "\n");
        } else {
            recent_.push_back(plainLine(e, table));
            if (recent_.size() > kRecentLines) {
                recent_.pop_front();
            }
        }
    }
    if (live_) {
        redraw(table);
    }
}

void CliWatch::redraw(const AdapterTable& table) {
    const auto devices = inventory_.devices();
    // Home, clear the screen, then the whole view: it never scrolls, however often it is drawn.
    std::string view = "\x1b[H\x1b[2J";
    view += "fernwick-cli watch: " + std::to_string(devices.size()) + " device" +
            (devices.size() == 1 ? "" : "s") + ", last search " +
            QDateTime::currentDateTime().toString("HH:mm:ss").toStdString() + " (Ctrl+C ends)\n\n";
    if (!devices.empty()) {
        view += formatDevices(devices, table, OutputFormat::Table);
    }
    if (!recent_.empty()) {
        view += "\nRecent events:\n";
        for (const std::string& line : recent_) {
            view += line + "\n";
        }
    }
    write(view);
}

void CliWatch::stop() {
    if (done_) {
        return;
    }
    done_ = true;
    next_.stop();
    delete current_; // closes its sockets
    emit finished(ExitStatus::Ok);
}

} // namespace fw::cli
