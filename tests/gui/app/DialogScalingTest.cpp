// Registered with a font DPI of 192 and high-DPI scaling off, as desktops that scale by font DPI run
// Qt: every dialog must grow with the DPI as the main window does. FERNWICK_DPI_SHOTS=DIR saves their
// pictures.
#include "app/AboutDialog.h"
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"
#include "support/Fakes.h"
#include "upgrade/Download.h"

#include <QDir>

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(DialogScaling, DialogsGrowWithTheFontDpi) {
    test::FakePlatform fakes;
    Platform platform = fakes.platform();
    ProcessValues values;
    SetIpExchange exchange;
    UploadCarryOver carry;
    Setips setips(platform, values, exchange);
    Download download(platform, values, carry);
    AboutDialog about;
    const int dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    ASSERT_EQ(about.logicalDpiX(), dpi);
    // Design client sizes in twips (1/1440 inch). Set IP may grow a little around its fonts.
    const std::pair<QDialog*, QSize> cases[] = {
        {&setips, {4680, 3615}}, {&download, {4575, 1905}}, {&about, {5730, 1905}}};
    const QString shots = qEnvironmentVariable("FERNWICK_DPI_SHOTS");
    for (const auto& [dialog, twips] : cases) {
        const QSizeF design = QSizeF(twips) * dpi / 1440.0;
        const std::string name = dialog->objectName().toStdString();
        EXPECT_GE(dialog->width(), design.width() - 1) << name;
        EXPECT_GE(dialog->height(), design.height() - 1) << name;
        EXPECT_LE(dialog->width(), design.width() * 1.1) << name;
        EXPECT_LE(dialog->height(), design.height() * 1.1) << name;
        if (!shots.isEmpty()) {
            dialog->grab().save(
                QDir(shots).filePath(QStringLiteral("dpi-%1-%2.png").arg(dpi).arg(dialog->objectName())));
        }
    }
}

} // namespace
} // namespace fw
