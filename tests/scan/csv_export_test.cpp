#include "platform/error.h"
#include "scan/csv_export.h"
#include "scan_harness.h"

namespace quorlan::scan {
namespace {

class CsvExport : public ::testing::Test {
protected:
    void write(const std::string& programName) {
        WriteCsvRecord(programName, h.settings, h.commandLineUpper, h.paths, h.view);
    }

    testing::ScanHarness h;
};

TEST_F(CsvExport, appendsTheBlockWithOneLineBreakThenDeletesIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"a;b", "a;b\r\n"},         {"a;b\r\n", "a;b\r\n"}, {"a;b\n", "a;b\r\n"},
        {"a\r\n\r\n", "a\r\n\r\n"}, {"", "\r\n"},           {std::string("y\0z", 3), std::string("y\0z\r\n", 5)},
    };
    for (const auto& [source, appended] : cases) {
        h.write("CSV/PART7.CSV", source);
        h.write("OUT/ALL.CSV", "");
        write("PART7.cnc");
        EXPECT_EQ(h.read("OUT/ALL.CSV"), appended);
        EXPECT_FALSE(h.exists("CSV/PART7.CSV"));
    }
    write("PART7.CNC"); // consumed: nothing more
    EXPECT_EQ(h.read("OUT/ALL.CSV"), std::string("y\0z\r\n", 5));
}

TEST_F(CsvExport, keepOrCsvOnTheCommandLineAppendsAgainAndKeeps) {
    for (const std::string commandLine : {"KEEP", "NOAPP CSV"}) {
        h.commandLineUpper = commandLine;
        h.write("CSV/PART7%.CSV", "1;2");
        h.write("OUT/ALL.CSV", "");
        write("PART7%");
        write("PART7%");
        EXPECT_EQ(h.read("OUT/ALL.CSV"), "1;2\r\n1;2\r\n");
        EXPECT_TRUE(h.exists("CSV/PART7%.CSV"));
    }
}

TEST_F(CsvExport, failedAppendThrowsAndKeepsTheSource) {
    h.write("CSV/PART7.CSV", "1;2");
    const std::pair<std::string, int> cases[] = {{"/dev/full", platform::errc::kPathFileAccess},
                                                 {"C:\\MISSING\\ALL.CSV", platform::errc::kPathNotFound}};
    for (const auto& [outPath, number] : cases) {
        h.settings.CSVOutPath = outPath;
        try {
            write("PART7.CNC");
            ADD_FAILURE() << outPath;
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), number);
            EXPECT_EQ(error.description(), platform::describeError(number) + ": " + outPath);
        }
        EXPECT_TRUE(h.exists("CSV/PART7.CSV"));
    }
}

} // namespace
} // namespace quorlan::scan
