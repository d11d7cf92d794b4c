// SPDX-License-Identifier: GPL-3.0-or-later
// Run with QT_FONT_DPI=192 and high-DPI scaling off, as desktops that scale by font DPI run Qt.
#include "qt/AboutDialog.h"
#include "qt/Download.h"
#include "qt/Setips.h"
#include "setip/SetIpExchange.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace fw {

TEST(DialogScaling, DialogsGrowWithTheFontDpi) {
    test::FakePlatform fakes;
    Platform platform = fakes.platform();
    SetIpExchange exchange;
    UploadCarryOver carry;
    Setips setips(platform, fakes.link(), {}, exchange);
    Download download(platform, fakes.link(), {}, carry);
    AboutDialog about;
    const int dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    ASSERT_EQ(about.logicalDpiX(), dpi);
    // Design sizes in twips (1/1440 inch), each with the device line below the buttons; Set IP may
    // grow a little around its fonts.
    for (const auto& [d, twips] : {std::pair<QDialog*, QSize>{&setips, {4680, 3990}},
                                   {&download, {4575, 2265}},
                                   {&about, {5730, 1905}}}) {
        const double w = d->width() * 1440.0 / dpi / twips.width(),
                     h = d->height() * 1440.0 / dpi / twips.height();
        EXPECT_TRUE(w > 0.99 && w < 1.1 && h > 0.99 && h < 1.1)
            << d->objectName().toStdString() << " " << w << " " << h;
    }
}

} // namespace fw
