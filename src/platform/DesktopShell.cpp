#include "platform/DesktopShell.h"

#include "common/Ipv4.h"
#include "platform/NeighbourTable.h"

#include <QDesktopServices>
#include <QUrl>

namespace fw {

void DesktopShell::flushNeighbour(const std::string& ip) {
    if (const auto address = Ipv4::parse(ip)) {
        NeighbourTable{}.remove(*address);
    }
}

void DesktopShell::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

} // namespace fw
