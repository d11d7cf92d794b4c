// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/AppIcons.h"

#include <QPainter>
#include <QSvgRenderer>

#include <initializer_list>

// The resource lives in a static library, so its registration must be asked for by name.
static void registerFernwickResources() {
    Q_INIT_RESOURCE(fernwick);
}

namespace fw {
namespace {

void ensureResources() {
    static const bool registered = (registerFernwickResources(), true);
    (void)registered;
}

QIcon iconFrom(const QString& resource, std::initializer_list<int> sizes) {
    QIcon icon;
    for (const int size : sizes) {
        icon.addPixmap(AppIcons::render(resource, size));
    }
    return icon;
}

} // namespace

QPixmap AppIcons::render(const QString& resource, int size) {
    ensureResources();
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

QIcon AppIcons::program() {
    return iconFrom(":/fernwick/fernwick.svg", {16, 32, 48, 64, 128});
}
QIcon AppIcons::deleteRow() {
    return iconFrom(":/fernwick/delete.svg", {16, 32});
}
QIcon AppIcons::search() {
    return iconFrom(":/fernwick/search.svg", {16, 32});
}
QIcon AppIcons::normalRow() {
    return iconFrom(":/fernwick/normal.svg", {16, 32});
}

} // namespace fw
