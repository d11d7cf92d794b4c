#pragma once

// Reading the device simulator's JSON-lines log while it runs.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace fw::test {

// The logged objects whose "event" is `event` (all of them when empty).
inline std::vector<QJsonObject> simulatorEvents(const QString& path, const QString& event = {}) {
    std::vector<QJsonObject> out;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.isEmpty() && (event.isEmpty() || o["event"] == event)) {
                out.push_back(o);
            }
        }
    }
    return out;
}

} // namespace fw::test
