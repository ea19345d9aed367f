// velora-devices' text table and CSV on the exchange folder fixture.
#include <gtest/gtest.h>

#include <ctime>

#include "device_rows.h"
#include "devices_tool.h"
#include "exchange_fixture.h"
#include "platform/files.h"
#include "test_support.h"

namespace {
typedef std::vector<std::vector<std::string>> Grid;

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t start = 0, at;
    while ((at = text.find(end, start)) != std::string::npos) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

std::string Trim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

class DevicesTool : public ::testing::Test {
protected:
    void SetUp() override {
        now_ = static_cast<std::int64_t>(std::time(nullptr)) - 60;  // apart from the files' own times
        BuildExchangeFixture(exchange_.Path(), now_);
        expected_ = FixtureTable(exchange_.Path(), now_, RowLanguage::English);
    }
    ToolOutput Run(std::vector<std::string> args) { return RunDevicesTool(args, now_); }

    TempFolder exchange_;
    std::int64_t now_ = 0;
    Grid expected_;
};

// The cells are read back from where the titles stand, so a cell out of its column shows.
TEST_F(DevicesTool, TextTableOnTheFixture) {
    ToolOutput r = Run({exchange_.Path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = Lines(r.out, "\n");
    ASSERT_EQ(lines.size(), 2 + expected_.size() + 1 + 2);
    EXPECT_EQ(lines[0], "Exchange folder: " + exchange_.Path());
    EXPECT_EQ(lines[1], "");
    const std::string& header = lines[2];
    std::vector<std::size_t> starts;
    for (const std::string& title : expected_[0]) {
        std::size_t at = header.find(title, starts.empty() ? 0 : starts.back() + 1);
        ASSERT_NE(at, std::string::npos) << title;
        starts.push_back(at);
    }
    EXPECT_EQ(lines[3].find_first_not_of("- "), std::string::npos);
    Grid grid;
    for (std::size_t i = 2; i < 2 + expected_.size() + 1; ++i) {
        if (i == 3) continue;  // the rule
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < starts.size(); ++c) {
            std::size_t end = c + 1 < starts.size() ? starts[c + 1] : std::string::npos;
            cells.push_back(starts[c] < lines[i].size() ? Trim(lines[i].substr(starts[c], end - starts[c])) : "");
        }
        grid.push_back(cells);
    }
    EXPECT_EQ(grid, expected_);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "1 line(s) of Status.txt/Stack.txt were being written and are left out.");
}

TEST_F(DevicesTool, CsvOnTheFixture) {
    // An agent name with the separator and a quote is quoted as a spreadsheet reads it.
    std::string config = ReadBytes(exchange_.File("config.xml"));
    std::u16string from = u"Попов", to = u"Попов; &quot;П&quot;";
    std::string fromBytes(reinterpret_cast<const char*>(from.data()), from.size() * 2),
        toBytes(reinterpret_cast<const char*>(to.data()), to.size() * 2);
    config.replace(config.find(fromBytes), fromBytes.size(), toBytes);
    ASSERT_TRUE(WriteBytes(exchange_.File("config.xml"), config));

    ToolOutput r = Run({"--csv", exchange_.Path()});
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> lines = Lines(r.out, "\r\n");
    ASSERT_EQ(lines.size(), expected_.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string joined;
        for (std::size_t c = 0; c < expected_[i].size(); ++c) {
            std::string cell = i == 4 && c == 0 ? "\"Попов; \"\"П\"\"\"" : expected_[i][c];
            joined += (c ? ";" : "") + cell;
        }
        EXPECT_EQ(lines[i], joined);
    }
}

TEST_F(DevicesTool, ArgumentsAndFailures) {
    ASSERT_TRUE(RemoveFile(exchange_.File("config.xml")));
    ToolOutput missing = Run({exchange_.Path()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "velora-devices: no config.xml in " + exchange_.Path() + "\n");

    ASSERT_TRUE(WriteBytes(exchange_.File("config.xml"), "<VeloraServer><PPC"));
    ToolOutput cut = Run({exchange_.Path()});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(cut.err.find("velora-devices: config.xml in " + exchange_.Path() + " cannot be read: "), 0u) << cut.err;

    for (auto args : {std::vector<std::string>{"--tsv"}, {"a", "b"}}) {
        ToolOutput bad = Run(args);
        EXPECT_EQ(bad.exitCode, 2);
        EXPECT_EQ(bad.err.find("usage: velora-devices"), 0u);
    }
    EXPECT_EQ(Run({"--help"}).exitCode, 0);
}
}  // namespace
