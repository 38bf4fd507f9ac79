#include "history/history_csv.h"
#include "history_fixture.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::history {
namespace {

using testing::event;
using ::testing::HasSubstr;
using testing::kMay2;

std::string scanField(const std::string& scan) {
    Event e = event(kMay2, "");
    e.scan = scan;
    e.fieldCode = e.dimX = e.dimY = e.dimZ = e.control = "";
    std::string line;
    appendCsvLine(line, e);
    // id, time, kind, then the scan
    const auto start = line.find(",label,") + 7;
    return line.substr(start, line.find(",,,,,,", start) - start);
}

TEST(HistoryCsvTest, fields_areQuotedWhereASpreadsheetWouldSplitThem_andFormulasAreDefused) {
    struct Case {
        std::string text;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"FLANGE", "FLANGE"},
        {"a,b", "\"a,b\""},
        {"#161=A.CNC;#162= ;", "\"#161=A.CNC;#162= ;\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"-cmd|' /C calc'!A0", "\"'-cmd|' /C calc'!A0\""},
        {"-12.5", "-12.5"},
        {"%12FLANGE.CNC N%", "%12FLANGE.CNC N%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scanField(c.text), c.field) << c.text;
    }
}

TEST(HistoryCsvTest, line_holdsEveryColumnInTheHeadersOrder_withLocalTimeAndItsOffset) {
    testing::TimeZone zone("Europe/Berlin");
    Event e = event(kMay2 + 14 * kHourMs + 3 * 60000 + 7123, "FLANGE", Outcome::Refused);
    e.id = 42;
    std::string line;

    appendCsvLine(line, e);

    EXPECT_EQ(csvHeader(), "id,time,kind,scan,program,field_code,dim_x,dim_y,dim_z,line,outcome,reason,control\r\n");
    EXPECT_EQ(line, "42,2024-05-02T14:03:07.123+02:00,label,FLANGE,FLANGE.CNC,N,600,400,18,"
                    "\"#161=FLANGE.CNC;#162= ;#164=1;\",refused,Program name not accepted,built-in\r\n");
}

TEST(HistoryCsvTest, export_writesTheFiltersEventsOldestFirst_replacingAnOldFileWhole) {
    testing::TempFolder folder;
    testing::TimeZone zone("Europe/Berlin");
    testing::ReportingStore s({folder.path("history.sqlite")});
    for (int i = 0; i < 3000; ++i) {
        s.store.record(event(kMay2 + i * 1000, "P" + std::to_string(i)));
    }
    s.store.record(event(kMay2 + 30 * kHourMs, "TOMORROW"));
    const std::string out = folder.write("day.csv", std::string(10'000'000, 'x'));
    HistoryReader reader(folder.path("history.sqlite"));

    EXPECT_EQ(exportCsv(reader, {dayRange({2024, 5, 2}), "", {}}, out), 3000);

    const std::string csv = folder.read("day.csv");
    EXPECT_EQ(csv.rfind(csvHeader(), 0), 0u);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3001);
    EXPECT_LT(csv.find(",P0,"), csv.find(",P2999,"));
    EXPECT_EQ(csv.find("TOMORROW"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 4) // db, wal, shm, csv
        << "no partial file left";
}

TEST(HistoryCsvTest, export_intoAFolderThatIsNotThere_saysWhichFileAndLeavesNothing) {
    testing::TempFolder folder;
    testing::ReportingStore s({folder.path("history.sqlite")});
    s.store.record(event(kMay2, "A"));
    HistoryReader reader(folder.path("history.sqlite"));
    const std::string out = folder.path("missing/day.csv");

    try {
        exportCsv(reader, {}, out);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), HasSubstr(out));
        EXPECT_THAT(error.what(), HasSubstr("No such file or directory"));
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));
}

} // namespace
} // namespace quorlan::history
