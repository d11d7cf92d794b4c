// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace fw {

// Our own pictures, drawn as SVG in the program's resources and rendered here, so no image-format
// or icon-engine plugin is needed at run time.
class AppIcons {
public:
    static QIcon program();   // window and About icon
    static QIcon deleteRow(); // toolbar Delete button
    static QIcon search();    // toolbar Search button
    static QIcon normalRow(); // the small icon of every device row
    static QPixmap render(const QString& resource, int size);
};

} // namespace fw
