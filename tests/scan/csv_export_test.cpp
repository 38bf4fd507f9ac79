#include "platform/error.h"
#include "scan/csv_export.h"
#include "scan_harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quorlan::scan {
namespace {

class CsvExport : public ::testing::Test {
protected:
    void write(const std::string& programName) {
        WriteCsvRecord(programName, h.settings, h.commandLineUpper, h.paths, h.view);
    }

    testing::ScanHarness h;
};

TEST_F(CsvExport, appendsTheBlockWithExactlyOneLineBreak) {
    const struct {
        std::string source;
        std::string appended;
    } cases[] = {
        {"a;b;c", "a;b;c\r\n"},
        {"a;b;c\r\n", "a;b;c\r\n"},
        {"a;b;c\n", "a;b;c\r\n"},
        {"a;b;c\r", "a;b;c\r\n"},
        {"a;b\r\n\r\n", "a;b\r\n\r\n"},
        {"a\n\n", "a\n\r\n"},
        {"", "\r\n"},
        {std::string("x\r\ny\0z", 6), std::string("x\r\ny\0z\r\n", 8)},
    };
    for (const auto& c : cases) {
        h.drive.write("CSV/PART7.CSV", c.source);
        h.drive.write("OUT/ALL.CSV", "");
        write("PART7.CNC");
        EXPECT_EQ(h.drive.read("OUT/ALL.CSV"), c.appended) << "source '" << c.source << "'";
        EXPECT_FALSE(h.drive.exists("CSV/PART7.CSV"));
    }
}

TEST_F(CsvExport, sourceNameDropsTheProgramExtensionInAnyCase) {
    const struct {
        std::string programName;
        std::string sourceFile;
    } cases[] = {
        {"PART7.CNC", "CSV/PART7.CSV"},
        {"PART7.cnc", "CSV/PART7.CSV"},
        {"PART7%", "CSV/PART7%.CSV"},
        {"PART7.NC", "CSV/PART7.NC.CSV"},
    };
    for (const auto& c : cases) {
        h.drive.write(c.sourceFile, c.programName);
        write(c.programName);
        EXPECT_FALSE(h.drive.exists(c.sourceFile)) << c.programName;
    }
    EXPECT_EQ(h.drive.read("OUT/ALL.CSV"), "PART7.CNC\r\nPART7.cnc\r\nPART7%\r\nPART7.NC\r\n");
}

TEST_F(CsvExport, keepOrCsvOnTheCommandLineKeepsTheSource) {
    for (const std::string commandLine : {"KEEP", "--CNC LOCAL:X CSV", "NOAPPKEEP"}) {
        h.commandLineUpper = commandLine;
        h.drive.write("OUT/ALL.CSV", "");
        h.drive.write("CSV/PART7.CSV", "1;2\r\n");
        write("PART7.CNC");
        write("PART7.CNC");
        EXPECT_EQ(h.drive.read("OUT/ALL.CSV"), "1;2\r\n1;2\r\n") << commandLine;
        EXPECT_TRUE(h.drive.exists("CSV/PART7.CSV")) << commandLine;
    }
}

TEST_F(CsvExport, missingSourceWritesNothing) {
    write("NONE.CNC");
    EXPECT_FALSE(h.drive.exists("OUT/ALL.CSV"));
    EXPECT_TRUE(h.view.messages.empty());
}

TEST_F(CsvExport, failedAppendThrowsAndKeepsTheSource) {
    h.drive.write("CSV/PART7.CSV", "1;2");
    const struct {
        std::string outPath;
        int error;
    } cases[] = {
        {"/dev/full", platform::errc::kPathFileAccess},
        {"C:\\MISSING\\ALL.CSV", platform::errc::kPathNotFound},
    };
    for (const auto& c : cases) {
        h.settings.CSVOutPath = c.outPath;
        try {
            write("PART7.CNC");
            ADD_FAILURE() << c.outPath << ": no error";
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), c.error) << c.outPath;
        }
        EXPECT_EQ(h.drive.read("CSV/PART7.CSV"), "1;2") << c.outPath;
    }
}

TEST_F(CsvExport, unreadableSourceThrows) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    h.drive.write("CSV/PART7.CSV", "1;2");
    std::filesystem::permissions(h.drive.root / "CSV/PART7.CSV", std::filesystem::perms::none);
    EXPECT_THROW(write("PART7.CNC"), platform::StationError);
    EXPECT_FALSE(h.drive.exists("OUT/ALL.CSV"));
    EXPECT_TRUE(h.drive.exists("CSV/PART7.CSV"));
}

} // namespace
} // namespace quorlan::scan
