// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PlanReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace fw::cli {
namespace {

// Where a plan's report may go, and what --skip-done makes of a file: each refusal in the words the
// CLI prints after "--report PATH: " or "PATH: ".
TEST(ReportFile, RefusalsAndUnusableReportsNameTheirReason) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name).toStdString();
    };
    const std::string plan = write("plan.csv", "mac,ip,mask,gateway\n");
    const std::string other = write("notes.txt", "keep me");
    const std::string empty = write("empty.json", "");
    const std::string report = dir.filePath("r.json").toStdString();
    ASSERT_TRUE(PlanReport("plan.csv").save(report, {}).has_value());
    QDir(dir.path()).mkdir("folder");
    const std::string missing = dir.filePath("missing").toStdString();

    const std::pair<std::string, std::string> cases[] = {
        {report, ""},
        {empty, ""},
        {dir.filePath("new.json").toStdString(), ""},
        {dir.filePath("folder").toStdString(), "is a folder"},
        {plan, "is the plan; the report would replace it"},
        {other, "exists and is not a plan report; it would be replaced"},
        {missing + "/r.json", "cannot be written: there is no folder " + missing},
    };
    for (const auto& [path, refusal] : cases) {
        const auto writable = PlanReport::checkWritable(path, {{plan, "the plan"}});
        EXPECT_EQ(writable ? "" : reportProblemText(writable.error()), refusal) << path;
    }

    EXPECT_TRUE(PlanReport::settledIn(report).has_value());
    EXPECT_TRUE(PlanReport::settledIn(missing).has_value()); // no file: nothing done yet
    const auto notReport = PlanReport::settledIn(other);
    ASSERT_FALSE(notReport.has_value());
    EXPECT_EQ(reportProblemText(notReport.error()), "is not a plan report");
}

} // namespace
} // namespace fw::cli
