#include "fault_vfs.h"
#include "history/schema.h"
#include "history_fixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace quorlan::history {
namespace {

using testing::allEvents;
using ::testing::ElementsAre;
using testing::event;
using ::testing::HasSubstr;
using testing::kMay2;
using testing::programsOf;

class HistoryStoreTest : public ::testing::Test {
protected:
    testing::TempFolder folder;
    testing::TimeZone zone{"Europe/Berlin"};
    std::string path = folder.path("history.sqlite");
};

TEST_F(HistoryStoreTest, everyKindAndOutcome_readsBackAsRecorded_withIdsThatIncrease) {
    std::vector<Event> recorded;
    for (int kind = 0; kind <= static_cast<int>(kLastScanKind); ++kind) {
        for (int outcome = 0; outcome <= static_cast<int>(kLastOutcome); ++outcome) {
            Event e = event(kMay2 + kind * 1000 + outcome, "P" + std::to_string(kind) + std::to_string(outcome),
                            static_cast<Outcome>(outcome), static_cast<ScanKind>(kind));
            e.reason = "réason " + std::to_string(outcome);
            recorded.push_back(e);
        }
    }
    testing::ReportingStore s({path});
    for (const auto& e : recorded) {
        s.store.record(e);
    }

    const auto read = allEvents(path);
    ASSERT_EQ(read.size(), recorded.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        Event expected = recorded[i];
        expected.id = read[i].id;
        EXPECT_EQ(read[i], expected) << "event " << i;
        if (i > 0) {
            EXPECT_GT(read[i].id, read[i - 1].id);
        }
    }
    EXPECT_TRUE(s.reports.empty());
}

TEST(RecordedTextTest, controlsEscaped_longScansCut_bytesInUtf8) {
    struct Case {
        std::string bytes;
        std::string recorded;
    };
    const std::string longScan = "Q3^A" + std::string(996, 'x');
    const std::vector<Case> cases = {
        {"FLANGE", "FLANGE"},
        {"FLANGE\r\n", "FLANGE\\r\\n"},
        {"A\x1B[2J", "A\\x1B[2J"},
        {"\xF1"
         "abc",
         "\xC3\xB1"
         "abc"},                  // the compressed mark, ñ
        {"\x80", "\xE2\x82\xAC"}, // the euro sign
        {longScan, longScan.substr(0, kRecordedScanLength) + "... (744 more characters)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recordedScan(c.bytes), c.recorded) << c.bytes;
    }
    EXPECT_EQ(recordedText("#161=A\tB;"), "#161=A\\tB;");
}

TEST_F(HistoryStoreTest, idsAreNeverGivenAgain_evenWhenRetentionRemovedEveryEvent) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2, "A"));
    s.store.record(event(kMay2 + 1, "B"));
    const auto before = allEvents(path).back().id;

    EXPECT_EQ(s.store.removeOlderThan(kMay2 + 10, std::chrono::seconds(5)).removed, 2);
    s.store.record(event(kMay2 + 20, "C"));

    const auto after = allEvents(path);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_GT(after[0].id, before);
}

TEST_F(HistoryStoreTest, retention_removesOnlyOlderEvents_inBatches_untilItsTimeIsUp) {
    testing::ReportingStore s({path});
    for (int i = 0; i < 4500; ++i) {
        s.store.record(event(kMay2 - 400 * 86400000LL + i, "OLD"));
    }
    s.store.record(event(kMay2, "NEW"));

    const auto first = s.store.removeOlderThan(*retentionCutoff(kMay2, 365), std::chrono::milliseconds(0));
    EXPECT_FALSE(first.complete);
    EXPECT_EQ(first.removed, 2000);
    const auto rest = s.store.removeOlderThan(*retentionCutoff(kMay2, 365), std::chrono::seconds(30));
    EXPECT_TRUE(rest.complete);
    EXPECT_EQ(rest.removed, 2500);
    EXPECT_THAT(programsOf(allEvents(path)), ElementsAre("NEW.CNC"));
    EXPECT_FALSE(retentionCutoff(kMay2, 0).has_value());
}

// A fault of the file, and how it is mended.
struct Fault {
    const char* name;
    std::function<void(const std::string& path, testing::FaultVfs& vfs)> make;
    std::function<void(const std::string& path, testing::FaultVfs& vfs)> mend;
    const char* reported; // part of the failure's status text
    bool createsFile;     // whether the file exists before the fault (and must be left as it was)
};

class LockHolder {
public:
    void take(const std::string& path) {
        sqlite3_open(path.c_str(), &m_db);
        sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    }
    void release() {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    ~LockHolder() { sqlite3_close(m_db); }

private:
    sqlite3* m_db = nullptr;
};

void setUserVersion(const std::string& path, int version) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(version)).c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

TEST_F(HistoryStoreTest, eachFault_isReportedOnce_scansGoOn_andHistoryResumesWithWhatWaited) {
    LockHolder lock;
    const std::vector<Fault> faults = {
        {"folder missing",
         [](const std::string& p, auto&) { std::filesystem::remove_all(std::filesystem::path(p).parent_path()); },
         [](const std::string& p, auto&) {
             std::filesystem::create_directories(std::filesystem::path(p).parent_path());
         },
         "does not exist", false},
        {"damaged file", [](const std::string& p, auto&) { std::ofstream(p) << std::string(8192, 'x'); },
         [](const std::string& p, auto&) { std::filesystem::rename(p, p + ".damaged"); },
         "is damaged or not a history file", true},
        {"locked by another program", [&lock](const std::string& p, auto&) { lock.take(p); },
         [&lock](const std::string&, auto&) { lock.release(); }, "is locked by another program", true},
        {"disk full", [](const std::string&, testing::FaultVfs& vfs) { vfs.failWrites = SQLITE_FULL; },
         [](const std::string&, testing::FaultVfs& vfs) { vfs.failWrites = 0; }, "disk holding", true},
        {"newer version", [](const std::string& p, auto&) { setUserVersion(p, 99); },
         [](const std::string& p, auto&) { setUserVersion(p, static_cast<int>(currentSchemaVersion())); },
         "newer version of Quorlan", true},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        testing::TempFolder root;
        testing::FaultVfs vfs("quorlan-faults");
        const std::string file = root.path("history/history.sqlite");
        std::filesystem::create_directories(root.path("history"));
        {
            testing::ReportingStore before({file});
            before.store.record(event(kMay2, "BEFORE"));
        }
        fault.make(file, vfs);
        const std::string bytes = fault.createsFile ? root.read("history/history.sqlite") : "";
        testing::ReportingStore s({file, false, std::chrono::milliseconds(10), 100, vfs.name()});

        s.store.record(event(kMay2 + 1, "DURING1"));
        s.store.record(event(kMay2 + 2, "DURING2"));
        ASSERT_EQ(s.reports.size(), 1u);
        EXPECT_THAT(s.reports[0], HasSubstr("History is not being recorded: "));
        EXPECT_THAT(s.reports[0], HasSubstr(fault.reported));
        EXPECT_FALSE(s.store.working());
        if (fault.createsFile) {
            EXPECT_EQ(root.read("history/history.sqlite"), bytes) << "the file was changed";
        }

        fault.mend(file, vfs);
        s.store.record(event(kMay2 + 3, "AFTER"));
        ASSERT_EQ(s.reports.size(), 2u);
        EXPECT_EQ(s.reports[1], "History is being recorded again; the 2 scans made meanwhile are in it.");
        EXPECT_TRUE(s.store.working());
        const auto programs = programsOf(allEvents(file));
        ASSERT_GE(programs.size(), 3u);
        EXPECT_THAT(std::vector(programs.end() - 3, programs.end()),
                    ElementsAre("DURING1.CNC", "DURING2.CNC", "AFTER.CNC"));
    }
}

TEST_F(HistoryStoreTest, readOnlyFile_isReportedAndLeftAsItWas) {
    {
        testing::ReportingStore before({path});
        before.store.record(event(kMay2, "A"));
    }
    // Root ignores permission bits: an immutable file is read-only even for root.
    const bool root = ::geteuid() == 0;
    const std::string protect = root ? "chattr +i " : "chmod a-w ";
    if (std::system((protect + folder.path() + " " + path + " 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "this file system cannot make a file read-only for root";
    }
    const std::string bytes = folder.read("history.sqlite");
    testing::ReportingStore s({path});

    s.store.record(event(kMay2 + 1, "B"));

    EXPECT_EQ(std::system(((root ? "chattr -i " : "chmod u+w ") + folder.path() + " " + path).c_str()), 0);
    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_THAT(s.reports[0], HasSubstr("read-only"));
    EXPECT_EQ(folder.read("history.sqlite"), bytes);
    s.store.record(event(kMay2 + 2, "C"));
    EXPECT_EQ(s.reports.size(), 2u);
    EXPECT_THAT(programsOf(allEvents(path)), ElementsAre("A.CNC", "B.CNC", "C.CNC"));
}

TEST_F(HistoryStoreTest, eventsWaitingForTheFile_areBounded_andTheLossIsSaid) {
    const std::string file = folder.path("missing/history.sqlite");
    testing::ReportingStore s({file, false, std::chrono::milliseconds(10), 3});
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        s.store.record(event(kMay2, name));
    }
    EXPECT_EQ(s.store.waiting(), 3u);

    folder.makeFolder("missing");
    s.store.record(event(kMay2 + 1, "F"));

    EXPECT_EQ(s.reports.back(),
              "History is being recorded again; the 2 scans made meanwhile are in it; 3 earlier ones were lost.");
    EXPECT_THAT(programsOf(allEvents(file)), ElementsAre("D.CNC", "E.CNC", "F.CNC"));
}

TEST_F(HistoryStoreTest, defaultFolderIsMade_butANamedOneIsNot) {
    testing::ReportingStore made({folder.path("data/quorlan/history.sqlite"), true});
    made.store.record(event(kMay2, "A"));
    EXPECT_TRUE(made.reports.empty());

    testing::ReportingStore named({folder.path("mnt/share/history.sqlite"), false});
    named.store.record(event(kMay2, "A"));
    ASSERT_EQ(named.reports.size(), 1u);
    EXPECT_THAT(named.reports[0], HasSubstr("the folder " + folder.path("mnt/share") + " does not exist"));
}

TEST_F(HistoryStoreTest, fileMovedAwayWhileOpen_aNewOneIsStartedWithoutAWord) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2, "A"));
    std::filesystem::rename(path, path + ".old");

    s.store.record(event(kMay2 + 1, "B"));

    EXPECT_TRUE(s.reports.empty());
    EXPECT_THAT(programsOf(allEvents(path)), ElementsAre("B.CNC"));
    EXPECT_THAT(programsOf(allEvents(path + ".old")), ElementsAre("A.CNC")) << "the moved file keeps its events";
}

TEST_F(HistoryStoreTest, fileReplacedByADamagedOneWhileOpen_isReported) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2, "A"));
    folder.write("garbage", std::string(15000, 'x'));
    std::filesystem::rename(folder.path("garbage"), path);

    s.store.record(event(kMay2 + 1, "B"));

    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_THAT(s.reports[0], HasSubstr("is damaged or not a history file"));
}

TEST_F(HistoryStoreTest, aReaderExportingMeanwhile_neitherWaitsNorStopsTheStore) {
    testing::ReportingStore s({path});
    for (int i = 0; i < 100; ++i) {
        s.store.record(event(kMay2 + i, "A"));
    }
    HistoryReader reader(path);
    int seen = 0;
    const auto count = reader.forEach({}, [&](const Event&) {
        if (seen++ == 0) {
            s.store.record(event(kMay2 + 500, "DURING"));
        }
    });

    EXPECT_EQ(count, 100); // the export is a snapshot of when it began
    EXPECT_TRUE(s.reports.empty());
    EXPECT_EQ(allEvents(path).size(), 101u);
}

} // namespace
} // namespace quorlan::history
