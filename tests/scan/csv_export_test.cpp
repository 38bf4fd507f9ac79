#include "platform/error.h"
#include "scan/csv_export.h"
#include "scan_harness.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace quorlan::scan {
namespace {

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Files may not grow beyond the limit while it stands; a write beyond it fails part way, as on a
// disk that fills up.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        ::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
};

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
    std::filesystem::create_directory(h.root / "OUT" / "FOLDER.CSV");
    ASSERT_EQ(::mkfifo((h.root / "OUT" / "PIPE.CSV").c_str(), 0600), 0);
    const struct {
        std::string outPath;
        int number;
        std::string why;
    } cases[] = {
        {"C:\\MISSING\\ALL.CSV", platform::errc::kPathNotFound, "Path not found"},
        // Opening a FIFO for writing waits for a reader for ever, and /dev/full takes nothing.
        {"C:\\OUT\\PIPE.CSV", platform::errc::kPathFileAccess, "Not a file but a FIFO"},
        {"/dev/full", platform::errc::kPathFileAccess, "Not a file but a device"},
        {"C:\\OUT\\FOLDER.CSV", platform::errc::kPathFileAccess, "Not a file but a folder"},
    };
    for (const auto& c : cases) {
        h.settings.CSVOutPath = c.outPath;
        try {
            write("PART7.CNC");
            ADD_FAILURE() << c.outPath;
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), c.number);
            EXPECT_EQ(error.description(), c.why + ": " + c.outPath);
        }
        EXPECT_EQ(h.read("CSV/PART7.CSV"), "1;2");
        EXPECT_EQ(filesIn(h.root / "CSV"), std::vector<std::string>{"PART7.CSV"});
    }
}

// An append that does not fit (here: a file size limit, as a full disk would) is taken back,
// so that the record goes in whole once there is room, on a line of its own.
TEST_F(CsvExport, appendThatDoesNotFitLeavesTheCollectingFileAsItWas) {
    const std::string before = "earlier;record\r\n";
    h.write("OUT/ALL.CSV", before);
    const std::string record(20000, 'x');
    h.write("CSV/PART7.CSV", record);
    {
        const FileSizeLimit limit(8192);
        EXPECT_THROW(write("PART7.CNC"), platform::StationError);
    }
    EXPECT_EQ(h.read("OUT/ALL.CSV"), before);
    EXPECT_EQ(h.read("CSV/PART7.CSV"), record);
    EXPECT_EQ(filesIn(h.root / "CSV"), std::vector<std::string>{"PART7.CSV"});
    write("PART7.CNC");
    EXPECT_EQ(h.read("OUT/ALL.CSV"), before + record + "\r\n");
}

// What a station that was killed in the middle of a move left behind (the source set aside under
// a name holding the collecting file's length), and what the program's next label makes of it:
// the record collected exactly once.
TEST_F(CsvExport, interruptedMoveIsFinishedByTheNextLabelAndNeverCollectsTwice) {
    const std::string earlier = "earlier\r\n";
    const std::string block = "1;2;3\r\n";
    const std::string claim = "CSV/.PART7.CSV.~" + std::to_string(earlier.size());
    const struct {
        const char* when;
        std::string collecting;
        std::string after;
    } cases[] = {
        {"before the append", earlier, earlier + block},
        {"during the append", earlier + "1;2", earlier + block},
        {"after the append", earlier + block, earlier + block},
        {"after the append, with more collected since", earlier + block + "4;5\r\n", earlier + block + "4;5\r\n"},
        {"after the append, the collecting file taken away since", "", ""},
    };
    for (const auto& c : cases) {
        h.write(claim, "1;2;3");
        h.write("OUT/ALL.CSV", c.collecting);
        write("PART7.CNC");
        EXPECT_EQ(h.read("OUT/ALL.CSV"), c.after) << c.when;
        EXPECT_TRUE(filesIn(h.root / "CSV").empty()) << c.when;
    }
    // A new record of the program, made after the interruption, follows the one that was interrupted.
    h.write(claim, "1;2;3");
    h.write("CSV/PART7.CSV", "6;7");
    h.write("OUT/ALL.CSV", earlier);
    write("PART7.CNC");
    EXPECT_EQ(h.read("OUT/ALL.CSV"), earlier + block + "6;7\r\n");
    EXPECT_TRUE(filesIn(h.root / "CSV").empty());
}

// A name as long as a file name can be leaves no room beside it for the mark of a move.
TEST_F(CsvExport, longestNamesAreMovedToo) {
    const std::string name(251, 'N');
    h.write("CSV/" + name + ".CSV", "1");
    h.write("OUT/ALL.CSV", "");
    write(name + ".CNC");
    EXPECT_EQ(h.read("OUT/ALL.CSV"), "1\r\n");
    EXPECT_TRUE(filesIn(h.root / "CSV").empty());
}

} // namespace
} // namespace quorlan::scan
