#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"
#include "platform/error.h"

#include <algorithm>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

using platform::MessageIcon;
using platform::StationError;
using ::testing::ElementsAre;

const std::string kLine = "#161=FLANGE.CNC;#162= ;#164=1;#168=600;";

class WorkListLinkTest : public ::testing::Test {
protected:
    WorkListLinkTest() : link(simulator, view, pauser) {
        simulator.setJournal([this](const std::string& line) { journal.push_back(line); });
    }

    // Start-up as the station does it, then a clean journal for the test.
    void startUp() {
        link.application() = simulator.createApplication();
        link.workList() = link.application()->NewList();
        journal.clear();
    }

    Simulator simulator;
    testing::FakeView view;
    testing::FakePauser pauser;
    WorkListLink link;
    std::vector<std::string> journal;
};

TEST_F(WorkListLinkTest, clearWorkListIsSkippedOnlyWhenTheCommandLineHoldsNoapp) {
    const struct {
        const char* commandLineUpper;
        bool clears;
    } cases[] = {{"", true}, {"KEEP CSV", true}, {"NOAPP", false}, {"/X NOAPP CSV", false}, {"XNOAPPX", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLineUpper);
        startUp();
        link.setCommandLineUpper(c.commandLineUpper);
        link.ClearWorkList();
        link.StartWorkList();
        const std::vector<std::string> expected =
            c.clears ? std::vector<std::string>{"Clear", "StartList"} : std::vector<std::string>{"StartList"};
        EXPECT_EQ(journal, expected);
    }
}

TEST_F(WorkListLinkTest, lostListIsRecreatedShownAndClearedBeforeTheLineGoesAgain) {
    startUp();
    link.workList()->AddLine("#161=OLD.CNC;");
    simulator.disconnectLists();
    journal.clear();

    EXPECT_EQ(link.ConnectListManager(kLine), LineOutcome::Added);
    EXPECT_THAT(journal, ElementsAre("AddLine " + kLine + " -> error 462", "CreateObject Koridan.ExeList",
                                     "Visible True", "Clear", "AddLine " + kLine));
    EXPECT_THAT(simulator.rows(), ElementsAre(kLine));
    EXPECT_TRUE(simulator.listVisible());
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(WorkListLinkTest, listThatCannotBeClearedIsReplacedByANewEmptyOne) {
    const struct {
        const char* what;
        std::function<void()> loseList;
        std::vector<std::string> journal;
    } cases[] = {
        {"lost with a restarted control",
         [this] { simulator.disconnectLists(); },
         {"Clear -> error 462", "CreateObject Koridan.ExeList", "Visible True", "Clear"}},
        {"never delivered at start-up",
         [this] { link.workList().reset(); },
         {"CreateObject Koridan.ExeList", "Visible True", "Clear"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startUp();
        link.workList()->AddLine("#161=OLD.CNC;");
        c.loseList();
        journal.clear();
        link.ClearWorkList();
        EXPECT_EQ(journal, c.journal);
        EXPECT_TRUE(simulator.rows().empty());
    }
    simulator.disconnectLists();
    simulator.failNext("CreateObject", platform::errc::kCannotCreateObject);
    EXPECT_THROW(link.ClearWorkList(), StationError);
}

// Only a list that is gone is replaced: a clear the control refuses leaves the list as it is.
TEST_F(WorkListLinkTest, clearThatIsRefusedReachesTheCallerAndKeepsTheList) {
    startUp();
    link.workList()->AddLine("#161=OLD.CNC;");
    simulator.failNext("Clear", platform::errc::kAutomation);
    EXPECT_THROW(link.ClearWorkList(), StationError);
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=OLD.CNC;"));
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "CreateObject Koridan.ExeList"), 0);
}

TEST_F(WorkListLinkTest, missingListAfterNoappStartUpIsCreatedForTheFirstLine) {
    link.application() = simulator.createApplication();
    journal.clear();
    EXPECT_EQ(link.ConnectListManager(kLine), LineOutcome::Added);
    EXPECT_THAT(journal, ElementsAre("CreateObject Koridan.ExeList", "Visible True", "Clear", "AddLine " + kLine));
}

// A list that refuses the line still holds every line it had: the line is reported, nothing more.
TEST_F(WorkListLinkTest, lineTheListRefusesIsReportedOnceWithWhatToDoAndTheListIsKept) {
    startUp();
    link.workList()->AddLine("#161=OLD.CNC;");
    journal.clear();
    simulator.failNext("AddLine", platform::errc::kAutomation);
    EXPECT_EQ(link.ConnectListManager(kLine), LineOutcome::NotAdded);

    EXPECT_THAT(journal, ElementsAre("AddLine " + kLine + " -> error 440"));
    EXPECT_THAT(simulator.rows(), ElementsAre("#161=OLD.CNC;"));
    const std::string text = "FLANGE.CNC was not queued: The CNC control refused the call (error 440). Scan it again.";
    EXPECT_EQ(view.statusText, text);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, text);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(WorkListLinkTest, listThatIsGoneEveryTimeIsReportedAfterThreeAttempts) {
    startUp();
    for (int i = 0; i < 5; ++i) {
        simulator.failNext("AddLine", platform::errc::kServerUnavailable);
    }
    EXPECT_EQ(link.ConnectListManager(kLine), LineOutcome::NotAdded);
    const auto attempts = std::count(journal.begin(), journal.end(), "AddLine " + kLine + " -> error 462");
    EXPECT_EQ(attempts, WorkListLink::kAddAttempts);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "CreateObject Koridan.ExeList"), 3);
    EXPECT_THAT(view.statusText, ::testing::StartsWith("FLANGE.CNC was not queued: "));
}

TEST_F(WorkListLinkTest, controlRefusingANewListReachesTheCaller) {
    startUp();
    simulator.failNext("AddLine", platform::errc::kServerUnavailable);
    simulator.failNext("CreateObject", platform::errc::kCannotCreateObject);
    try {
        link.ConnectListManager(kLine);
        ADD_FAILURE() << "no error raised";
    } catch (const StationError& error) {
        EXPECT_EQ(error.number(), platform::errc::kCannotCreateObject);
    }
    EXPECT_TRUE(simulator.rows().empty());
}

TEST_F(WorkListLinkTest, applicationThatIsGoneIsMadeAnewForTheCommand) {
    startUp();
    simulator.failNext("StartList", platform::errc::kServerUnavailable);
    link.StartWorkList();
    EXPECT_THAT(journal, ElementsAre("StartList -> error 462", "CreateApplication", "StartList"));
    simulator.failNext("HoldList", platform::errc::kAutomation);
    EXPECT_THROW(link.HoldWorkList(), StationError);
}

TEST_F(WorkListLinkTest, failedListLoadShowsReadyAndDarkIndicatorsAndSaysWhy) {
    const struct {
        int error;
        std::vector<std::string> messages;
    } cases[] = {{platform::errc::kFileNotFound, {"List File D:\\L\\JOB1.LST Not Found"}},
                 {platform::errc::kPermissionDenied, {"List File D:\\L\\JOB1.LST not loaded: Permission denied"}}};
    startUp();
    link.setListPath("D:\\L\\");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        view.partIndicators.fill(true);
        view.messages.clear();
        pauser.pauses.clear();
        simulator.failNext("OpenList", c.error);

        EXPECT_FALSE(link.LoadListFile("JOB1"));
        std::vector<std::string> texts;
        for (const auto& message : view.messages) {
            EXPECT_EQ(message.icon, MessageIcon::Exclamation);
            texts.push_back(message.text);
        }
        EXPECT_EQ(texts, c.messages);
        EXPECT_THAT(pauser.pauses, ElementsAre(600));
        EXPECT_EQ(view.statusText, "Ready.");
        EXPECT_FALSE(view.anyPartIndicator());
    }
    EXPECT_EQ(journal.front(), "OpenList D:\\\\L\\\\JOB1.LST -> error 53");
}

} // namespace
} // namespace quorlan::cnc
