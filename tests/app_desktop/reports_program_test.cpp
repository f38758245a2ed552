// A report designed in the running program, by keyboard as a user would: the frame's File
// menu opens the accounts list's saved reports, a new design gets its columns and a total
// (Layout), a sort made in the Sort Designer (Sort Order) and a break with group totals
// (Grouping); the preview shows it and saves it as PDF, whose text holds each group's sum.
// Screenshots of the three tabs, the sort designer and the preview.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <filesystem>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kReportMaster = "report secret";
constexpr const char* kReport = "Waits by category";

class ReportsProgramTest : public TrayProgramTest {
  protected:
    // corvix-cli with the master password on its standard input.
    ToolResult cliWithMaster(const std::vector<std::string>& args) {
        std::vector<std::string> argv{CORVIX_CLI_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildOptions o;
        o.workingDirectory = vault_;
        o.stdinText = std::string(kReportMaster) + "\n";
        return runTool(argv, o, 60s);
    }
    // Two categories of two accounts each; the Wait column is what the report totals.
    void addAccounts() {
        for (const char* category : {"Bank", "Mail"}) {
            const ToolResult r = cliWithMaster({"categories", "add", category});
            ASSERT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
        }
        const struct {
            const char *category, *description, *wait;
        } accounts[] = {{"Bank", "Alpha bank", "2"},
                        {"Mail", "Delta mail", "7"},
                        {"Bank", "Beta bank", "3"},
                        {"Mail", "Gamma mail", "4"}};
        for (const auto& a : accounts) {
            const ToolResult r = cliWithMaster({"add", "--description", a.description, "--category",
                                                a.category, "--name", "ann", "--wait", a.wait});
            ASSERT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
        }
    }
    // The program's window with this title once it is shown and active.
    XWindowId active(Program& p, const std::string& title) {
        XWindowId id = 0;
        waitUntil(
            [&] {
                const XWindowInfo w = windowTitled(*x_, p, title);
                id = w.viewable && x_->activeWindow() == w.id ? w.id : 0;
                return id != 0;
            },
            15s);
        std::this_thread::sleep_for(300ms);  // painted
        return id;
    }
    int keys(const std::vector<std::string>& names) {
        std::vector<std::string> args{"key", "--delay", "60"};
        args.insert(args.end(), names.begin(), names.end());
        return xdotool(args);
    }
    // Text typed into the focused list picks its item by the first letters; a pause
    // after starts the next search afresh.
    int type(const std::string& text) {
        const int rc = xdotool({"type", "--delay", "40", text});
        std::this_thread::sleep_for(500ms);
        return rc;
    }
};

TEST_F(ReportsProgramTest, ADesignOnTheAccountsListIsPreviewedAndSavedAsPdf) {
    ASSERT_TRUE(makeVault(kReportMaster));
    addAccounts();
    Program corvix = start();
    ASSERT_TRUE(logOnWithHotKey(corvix, kReportMaster)) << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);

    // File > Reports… on the accounts list, Insert, the new design's name.
    ASSERT_EQ(keys({"alt+f", "r"}), 0);
    ASSERT_NE(active(corvix, "Reports"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"alt+i"}), 0);
    ASSERT_NE(active(corvix, "New Report"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(xdotool({"type", "--delay", "40", kReport}), 0);
    ASSERT_EQ(keys({"Return"}), 0);
    const std::string formatTitle = std::string("Modify Report Format (") + kReport + ")";
    const XWindowId format = active(corvix, formatTitle);
    ASSERT_NE(format, 0u) << describe(*x_, corvix);

    // Layout: Description, Name and Wait (from the available fields, by their first
    // letters, then Add), and Wait totalled.
    ASSERT_EQ(keys({"Tab"}), 0);  // from the tabs to the available fields
    for (const char* field : {"Desc", "Name", "Wai"}) {
        ASSERT_EQ(type(field), 0);
        ASSERT_EQ(keys({"Tab", "space", "shift+Tab"}), 0);  // Add ->
    }
    // Add ->, Remove, up, down, the columns, Average, Total.
    ASSERT_EQ(keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "space"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(format), "report-design-layout.png"));

    // Sort Order: the Sort Designer sorts by Category.
    ASSERT_EQ(keys({"ctrl+Tab", "alt+d"}), 0);
    const XWindowId designer = active(corvix, "Sort Designer");
    ASSERT_NE(designer, 0u) << describe(*x_, corvix);
    ASSERT_EQ(type("Cat"), 0);
    EXPECT_TRUE(screenshot(std::to_string(designer), "report-sort-designer.png"));
    ASSERT_EQ(keys({"Return"}), 0);
    ASSERT_NE(active(corvix, formatTitle), 0u) << describe(*x_, corvix);
    EXPECT_TRUE(screenshot(std::to_string(format), "report-design-sort.png"));

    // Grouping: the first break level's identifier in its heading, and its totals.
    ASSERT_EQ(keys({"ctrl+Tab", "alt+f", "Tab", "space", "Tab", "Tab", "space"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(format), "report-design-grouping.png"));

    // Save (from the Layout tab: Grouping has its own Alt+S), close, select the design.
    ASSERT_EQ(keys({"ctrl+Tab", "alt+s"}), 0);
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(keys({"Escape"}), 0);
    ASSERT_NE(active(corvix, "Reports"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"Return"}), 0);
    const XWindowId preview = active(corvix, kReport);
    ASSERT_NE(preview, 0u) << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(screenshot(std::to_string(preview), "report-preview.png"));

    // Ctrl+S in the preview: saved as PDF where the file dialog is told.
    const std::string pdf = vault_ + "/waits.pdf";
    ASSERT_EQ(keys({"ctrl+s"}), 0);
    ASSERT_NE(active(corvix, "Save as PDF"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"ctrl+a"}), 0);
    ASSERT_EQ(xdotool({"type", "--delay", "20", pdf}), 0);
    ASSERT_EQ(keys({"Return"}), 0);
    ASSERT_TRUE(waitUntil([&] { return readFile(pdf).find("%%EOF") != std::string::npos; }, 20s))
        << describe(*x_, corvix);
    EXPECT_EQ(fs::status(pdf).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Each category heads its accounts, sorted under it, and its footing sums their
    // waits; the grand total ends the report.
    const ToolResult text = runTool({"pdftotext", "-layout", pdf, "-"}, {}, 20s);
    ASSERT_EQ(text.exit.code, 0) << text.output;
    QStringList lines;
    for (const QString& line : QString::fromStdString(text.output).split('\n'))
        if (!line.trimmed().isEmpty()) lines << line.simplified();
    // The break's field joins the columns at the right.
    const QStringList expected = {
        kReport,
        "Description Name Wait Category",
        "Bank",
        "Alpha bank ann 2 Bank",
        "Beta bank ann 3 Bank",
        "5",
        "Mail",
        "Delta mail ann 7 Mail",
        "Gamma mail ann 4 Mail",
        "11",
        "16",
    };
    EXPECT_EQ(lines.join(" | ").toStdString(), expected.join(" | ").toStdString()) << text.output;

    ASSERT_EQ(keys({"Escape"}), 0);
    EXPECT_TRUE(waitUntil([&] { return windowTitled(*x_, corvix, kReport).id == 0; }, 10s));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
}

}  // namespace
}  // namespace corvix::app::desktop_testing
