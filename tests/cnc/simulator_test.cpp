#include "cnc/simulator.h"
#include "fakes/error_of.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorlan::cnc {
namespace {

using platform::StationError;
using ::testing::ElementsAre;
using testing::errorOf;

class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest() : simulator(platform::PathMapper([](const std::string&) { return std::nullopt; })) {
        simulator.setJournal([this](const std::string& line) { journal.push_back(line); });
        application = simulator.createApplication();
        list = simulator.createObject(kExeListProgId);
        journal.clear();
    }

    void addRows(std::initializer_list<const char*> rows) {
        for (const char* row : rows) {
            list->AddLine(row);
        }
    }

    testing::TempFolder folder;
    Simulator simulator;
    std::shared_ptr<Application> application;
    std::shared_ptr<ExeList> list;
    std::vector<std::string> journal;
};

TEST_F(SimulatorTest, lineOperationsWorkOnOneBasedRowsOfTheOneListOnly) {
    addRows({"#161=A;", "#161=B;", "#161=C;"});
    list->SetLine(2, "#161=B2;");
    list->DelLine(1);
    const auto other = application->NewList();
    EXPECT_EQ(other->Rows(), 2);
    EXPECT_EQ(other->GetLine(1), "#161=B2;");
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=B2;", "#161=C;"));
    other->Clear();
    EXPECT_EQ(list->Rows(), 0);
    EXPECT_EQ(list->Columns(), 18);
    EXPECT_EQ(list->ColumnInfo().front(), "#161");
    EXPECT_EQ(list->ColumnInfo().back(), "#279");
    for (std::int32_t row : {0, -1, 1}) {
        EXPECT_EQ(errorOf([&] { list->GetLine(row); }), platform::errc::kSubscriptOutOfRange);
        EXPECT_EQ(errorOf([&] { list->SetLine(row, "x"); }), platform::errc::kSubscriptOutOfRange);
        EXPECT_EQ(errorOf([&] { list->DelLine(row); }), platform::errc::kSubscriptOutOfRange);
    }
}

TEST_F(SimulatorTest, journalHasOneLineForEachOperationWithItsArguments) {
    std::vector<bool> shown;
    simulator.setVisibilityObserver([&](bool visible) { shown.push_back(visible); });
    list->SetVisible(true);
    list->AddLine("#161=FLANGE.CNC;#162= ;");
    list->SetLine(1, "#161=X;");
    list->AddLine("#161=X\r\nAddLine #161=EVIL.CNC\x1B\\;");
    application->StartList();
    list->Rows();
    application->SetWindowState(2);
    EXPECT_EQ(errorOf([&] { application->OpenList("D:\\L\\JOB1.LST"); }), platform::errc::kFileNotFound);
    EXPECT_EQ(errorOf([&] { simulator.createObject("Other.Thing"); }), platform::errc::kCannotCreateObject);
    // Whatever the arguments hold, one call stays one line: backslashes and control characters
    // are escaped.
    EXPECT_THAT(journal,
                ElementsAre("Visible True", "AddLine #161=FLANGE.CNC;#162= ;", "SetLine 1 #161=X;",
                            "AddLine #161=X\\r\\nAddLine #161=EVIL.CNC\\x1B\\\\;", "StartList", "Rows", "WindowState 2",
                            "OpenList D:\\\\L\\\\JOB1.LST -> error 53", "CreateObject Other.Thing -> error 429"));
    EXPECT_THAT(shown, ElementsAre(true));
}

TEST_F(SimulatorTest, listFilesAreOpenedAndAppendedLineByLine) {
    const std::string first = folder.write("ONE.LST", "#161=A;\r\n\r\n#161=B;\r\n");
    const std::string second = folder.write("TWO.LST", "#161=C;\n#161=D;");
    addRows({"#161=OLD;"});

    const auto opened = application->OpenList(first);
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=A;", "#161=B;"));
    EXPECT_EQ(application->ListOpened(), -1);
    opened->AppendList(second);
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=A;", "#161=B;", "#161=C;", "#161=D;"));
    EXPECT_EQ(errorOf([&] { list->AppendList(folder.prefix() + "NONE.LST"); }), platform::errc::kFileNotFound);
    // A folder or a FIFO under the name is refused at once; opening a FIFO would wait for ever.
    ASSERT_EQ(::mkfifo((folder.root() / "PIPE.LST").c_str(), 0600), 0);
    for (const std::string& notAFile : {folder.prefix(), folder.prefix() + "PIPE.LST"}) {
        EXPECT_EQ(errorOf([&] { application->OpenList(notAFile); }), platform::errc::kPathFileAccess) << notAFile;
    }
    EXPECT_EQ(simulator.rows().size(), 4u);
}

TEST_F(SimulatorTest, runAdvancesRowByRowAndStopsOnHoldEndAndAfterTheLastRow) {
    addRows({"#161=A;", "#161=B;"});
    application->StartList();
    EXPECT_TRUE(list->ListInRun());
    EXPECT_EQ(list->ExeRow(), 1);
    simulator.advance();
    application->HoldList();
    simulator.advance(); // held: no step
    application->StartList();
    EXPECT_EQ(simulator.exeRow(), 2);
    simulator.advance();
    EXPECT_FALSE(simulator.inRun());
    EXPECT_EQ(simulator.exeRow(), 0);
    application->StartList();
    application->EndList();
    EXPECT_FALSE(simulator.inRun());
    EXPECT_EQ(simulator.exeRow(), 0);
}

TEST_F(SimulatorTest, failureHooksMakeTheControlFailAsTold) {
    simulator.failNext("AddLine", platform::errc::kDeviceIo);
    EXPECT_EQ(errorOf([&] { list->AddLine("#161=A;"); }), platform::errc::kDeviceIo);
    list->AddLine("#161=A;");

    simulator.disconnectLists();
    EXPECT_EQ(errorOf([&] { list->Rows(); }), platform::errc::kServerUnavailable);
    simulator.createObject(kExeListProgId)->AddLine("#161=B;");
    EXPECT_EQ(errorOf([&] { list->AddLine("#161=C;"); }), platform::errc::kServerUnavailable);
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=A;", "#161=B;"));

    simulator.setNullNewLists(2);
    EXPECT_EQ(application->NewList(), nullptr);
    EXPECT_EQ(application->NewList(), nullptr);
    EXPECT_EQ(application->NewList()->Rows(), 2);
}

TEST(FileJournal, appendsAndFlushesEachLine) {
    testing::TempFolder folder;
    const std::string path = folder.write("journal.txt", "earlier\n");
    const auto sink = makeFileJournal(path);
    sink("AddLine #161=A;");
    std::ifstream file(path);
    const std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "earlier\nAddLine #161=A;\n");
    EXPECT_EQ(errorOf([&] { makeFileJournal(folder.prefix() + "missing/journal.txt"); }),
              platform::errc::kPathFileAccess);
}

} // namespace
} // namespace quorlan::cnc
