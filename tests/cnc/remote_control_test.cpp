#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "fakes/error_of.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"
#include "fakes/loopback_transport.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

using platform::StationError;
using ::testing::ElementsAre;
using testing::errorOf;

// What a call gave: its result as text, or its error.
std::string outcome(const std::function<std::string()>& call) {
    try {
        return call();
    } catch (const StationError& error) {
        return "error " + std::to_string(error.number()) + " " + error.description();
    }
}

std::string yes(bool value) {
    return value ? "True" : "False";
}

struct Objects {
    ControlFactory& factory;
    Application& application;
    ExeList& list;
};

using Step = std::function<std::string(Objects&)>;

std::vector<Step> everyOperation(const std::string& listFile, const std::string& missingFile) {
    const std::string anyBytes("#161=\xf1\x00\\\x01;", 10);
    return {
        [](Objects& o) { return yes(o.application.Visible()); },
        [](Objects& o) { return o.application.SetVisible(true), yes(o.application.Visible()); },
        [](Objects& o) { return yes(o.application.Connected()); },
        [](Objects& o) { return std::to_string(o.application.AccessLevel()); },
        [](Objects& o) { return o.application.SetWindowState(2), std::string(); },
        [](Objects& o) { return o.application.SetWindowState(7), std::string(); },
        [](Objects& o) { return o.application.EnableOpenList(false), std::string(); },
        [](Objects& o) { return o.application.EnableSaveList(true), std::string(); },
        [](Objects& o) { return o.application.EnableNewList(false), std::string(); },
        [](Objects& o) { return o.application.ShowOnTop(true), std::string(); },
        [](Objects& o) { return o.application.Setpoint(), std::string(); },
        [](Objects& o) { return std::to_string(o.list.AddLine("#161=A;")); },
        [anyBytes](Objects& o) { return std::to_string(o.list.AddLine(anyBytes)); },
        [](Objects& o) { return o.list.GetLine(2); },
        [](Objects& o) { return o.list.GetLine(0); },
        [](Objects& o) { return o.list.SetLine(1, "#161=B;"), o.list.GetLine(1); },
        [](Objects& o) { return std::to_string(o.list.DelLine(2)) + " " + std::to_string(o.list.Rows()); },
        [](Objects& o) { return std::to_string(o.list.Columns()) + " " + o.list.ColumnInfo().back(); },
        [](Objects& o) { return std::to_string(o.list.RepetitionCount()); },
        [](Objects& o) { return o.application.StartList(), yes(o.list.ListInRun()) + std::to_string(o.list.ExeRow()); },
        [](Objects& o) { return o.application.HoldList(), o.application.EndList(), yes(o.list.ListInRun()); },
        [](Objects& o) { return o.list.SetVisible(true), yes(o.list.Visible()); },
        [](Objects& o) { return o.list.ViewWorks(), o.list.ViewWorksThrought(), std::string(); },
        [listFile](Objects& o) { return std::to_string(o.list.AppendList(listFile)); },
        [missingFile](Objects& o) { return std::to_string(o.list.AppendList(missingFile)); },
        [listFile](Objects& o) { return o.application.OpenList(listFile)->GetLine(1); },
        [missingFile](Objects& o) { return o.application.OpenList(missingFile) ? "list" : "none"; },
        [](Objects& o) { return std::to_string(o.application.ListOpened()); },
        [](Objects& o) { return std::to_string(o.application.NewList()->Rows()); },
        [](Objects& o) { return o.list.Clear(), std::to_string(o.list.Rows()); },
        [](Objects& o) { return o.list.CloseList(true), yes(o.list.Visible()); },
        [](Objects& o) { return o.application.Quit(false), std::string(); },
        [](Objects& o) { return o.factory.createObject("Other.Thing") ? "object" : "none"; },
    };
}

struct Outcomes {
    std::vector<std::string> outcomes;
    std::vector<std::string> journal;
};

Outcomes runEveryOperation(ControlFactory& factory, Simulator& simulator, const testing::TempFolder& folder) {
    Outcomes run;
    simulator.setJournal([&run](const std::string& line) { run.journal.push_back(line); });
    const auto application = factory.createApplication();
    const auto list = factory.createObject(kExeListProgId);
    Objects objects{factory, *application, *list};
    for (const Step& step : everyOperation(folder.prefix() + "JOB.LST", folder.prefix() + "NONE.LST")) {
        run.outcomes.push_back(outcome([&] { return step(objects); }));
    }
    return run;
}

TEST(RemoteControl, everyOperationCrossesWithItsArgumentsResultsAndErrors) {
    testing::TempFolder folder;
    folder.write("JOB.LST", "#161=J1;\r\n#161=J2;\r\n");
    Simulator here;
    const Outcomes direct = runEveryOperation(here, here, folder);

    Simulator there;
    testing::LoopbackControl loopback(there);
    RemoteControl remote(std::make_shared<ControlClient>(std::make_unique<testing::LoopbackTransport>(loopback)));
    const Outcomes crossed = runEveryOperation(remote, there, folder);

    EXPECT_EQ(crossed.outcomes, direct.outcomes);
    EXPECT_EQ(crossed.journal, direct.journal);
    EXPECT_EQ(there.rows(), here.rows());
    // The script does reach errors, so they cross too.
    EXPECT_GE(std::count_if(direct.outcomes.begin(), direct.outcomes.end(),
                            [](const std::string& o) { return o.starts_with("error "); }),
              4);
}

class RestartTest : public ::testing::Test {
protected:
    RestartTest()
        : loopback(first),
          remote(std::make_shared<ControlClient>(std::make_unique<testing::LoopbackTransport>(loopback))),
          link(remote, view, pauser) {
        link.application() = remote.createApplication();
        link.workList() = link.application()->NewList();
    }

    Simulator first;
    Simulator second;
    testing::LoopbackControl loopback;
    RemoteControl remote;
    testing::FakeView view;
    testing::FakePauser pauser;
    WorkListLink link;
};

TEST_F(RestartTest, objectsOfTheEndedControlFailAndTheRecoveryPutsTheLineIntoTheNewOne) {
    EXPECT_EQ(link.ConnectListManager("#161=A;"), LineOutcome::Added);
    loopback.restart(&second);

    EXPECT_EQ(errorOf([&] { link.workList()->Rows(); }), platform::errc::kServerUnavailable);
    EXPECT_EQ(link.ConnectListManager("#161=B;"), LineOutcome::Added);
    EXPECT_THAT(first.rows(), ElementsAre("#161=A;"));
    EXPECT_THAT(second.rows(), ElementsAre("#161=B;"));
    EXPECT_TRUE(second.listVisible());
    EXPECT_THAT(view.statusText, ::testing::HasSubstr("work list was gone"));
    // The application object the station held is gone too: it is made anew for the start.
    link.StartWorkList();
    EXPECT_TRUE(second.inRun());
}

TEST_F(RestartTest, whileTheControlIsDownTheLineIsNotQueuedAndTheOperatorIsToldToScanItAgain) {
    loopback.restart(nullptr);
    EXPECT_EQ(link.ConnectListManager("#161=A;"), LineOutcome::NotAdded);
    EXPECT_THAT(view.statusText, ::testing::HasSubstr("A was not queued: the CNC control at loopback could not be "
                                                      "reached"));
    EXPECT_THAT(view.statusText, ::testing::EndsWith("Scan it again once the control answers."));
    loopback.restart(&second);
    EXPECT_EQ(link.ConnectListManager("#161=A;"), LineOutcome::Added);
    EXPECT_THAT(second.rows(), ElementsAre("#161=A;"));
}

TEST_F(RestartTest, objectsLetGoAreForgottenByTheControl) {
    const std::size_t held = loopback.service()->objectCount();
    for (int i = 0; i < 50; ++i) {
        link.application()->NewList();
        errorOf([&] { link.application()->OpenList("C:\\NONE.LST"); });
    }
    EXPECT_EQ(loopback.service()->objectCount(), held);
}

} // namespace
} // namespace quorlan::cnc
