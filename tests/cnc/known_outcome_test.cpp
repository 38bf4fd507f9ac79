// A call the station gave up on never runs later, every label's fate at the control is told, and
// only a list that is really gone is made anew: the station's client, the control's service and
// the work-list link together, with a control that stops, answers late or is restarted.
#include "cnc/control_session.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "fakes/error_of.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"
#include "fakes/loopback_transport.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

using ::testing::ElementsAre;
using testing::errorOf;
using ::testing::HasSubstr;

std::string lineOf(const std::string& program) {
    return "#161=" + program + ".CNC;#168=600;";
}

class KnownOutcomeTest : public ::testing::Test {
protected:
    KnownOutcomeTest()
        : loopback(simulator, &clock),
          client(std::make_shared<ControlClient>(std::make_unique<testing::LoopbackTransport>(loopback),
                                                 ControlClient::kDefaultBound, &clock)),
          remote(client), link(remote, view, pauser) {
        simulator.setJournal([this](const std::string& line) { journal.push_back(line); });
        link.application() = remote.createApplication();
        link.workList() = link.application()->NewList();
        for (const char* part : {"PARTA", "PARTB", "PARTC"}) {
            EXPECT_EQ(link.ConnectListManager(lineOf(part)), LineOutcome::Added);
        }
        journal.clear();
    }

    // What the station says once the control answers again, as a tick between scans does.
    void controlAnswersAgain() {
        loopback.goOn();
        remote.learnOutcomes();
        link.CheckLateOutcomes();
    }

    std::vector<std::string> rows() const { return simulator.rows(); }
    long count(const std::string& program) const {
        return std::count(simulator.rows().begin(), simulator.rows().end(), lineOf(program));
    }
    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : view.messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    // Both ends' clocks, which move only when a test says that time passes.
    testing::FakeClock clock;
    Simulator simulator;
    std::vector<std::string> journal;
    testing::LoopbackControl loopback;
    std::shared_ptr<ControlClient> client;
    RemoteControl remote;
    testing::FakeView view;
    testing::FakePauser pauser;
    WorkListLink link;
};

TEST_F(KnownOutcomeTest, callsGivenUpOnWhileTheControlWasStoppedNeverRunWhenItGoesOn) {
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    EXPECT_THAT(view.statusText,
                HasSubstr("TOP.CNC: the CNC control at loopback did not answer AddLine within 2000 ms"));
    EXPECT_THAT(view.statusText, HasSubstr("not known yet"));
    // More calls and greetings wait behind it while the control is stopped.
    EXPECT_THROW(link.ClearWorkList(), platform::StationError);
    EXPECT_THROW(link.StartWorkList(), platform::StationError);

    controlAnswersAgain();
    EXPECT_TRUE(journal.empty()) << journal.front();
    EXPECT_THAT(rows(), ElementsAre(lineOf("PARTA"), lineOf("PARTB"), lineOf("PARTC")));
    EXPECT_EQ(view.statusText, "TOP.CNC did not reach the work list: scan it again.");
    EXPECT_THAT(messageTexts(), ElementsAre(view.statusText));
    EXPECT_FALSE(remote.awaitingOutcomes());
}

TEST_F(KnownOutcomeTest, aControlThatStopsAnsweringAndAnswersAgain_isToldOnceEach) {
    std::vector<std::string> told;
    client->setReachabilityObserver([&told](bool reachable, const std::string& why) {
        told.push_back(reachable ? "back" : "unreachable: " + why);
    });
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    EXPECT_THROW(link.ClearWorkList(), platform::StationError);
    controlAnswersAgain();
    EXPECT_EQ(link.ConnectListManager(lineOf("NEXT")), LineOutcome::Added);
    loopback.restart(nullptr);
    EXPECT_EQ(link.ConnectListManager(lineOf("GONE")), LineOutcome::NotAdded);
    EXPECT_EQ(link.ConnectListManager(lineOf("GONE")), LineOutcome::NotAdded);
    loopback.restart(&simulator);
    link.ConnectListManager(lineOf("AGAIN"));

    EXPECT_THAT(
        told, ElementsAre("unreachable: the CNC control at loopback did not answer AddLine within 2000 ms", "back",
                          "unreachable: the CNC control at loopback could not be reached: nothing is serving", "back"));
}

// A control that runs the line but answers after the bound keeps its list: no new list, no clear.
TEST_F(KnownOutcomeTest, slowAnswerKeepsTheListAndTheLineIsToldToHaveReachedItAfterAll) {
    loopback.loseNextAnswer();
    EXPECT_EQ(link.ConnectListManager(lineOf("PARTD")), LineOutcome::Unknown);
    controlAnswersAgain();

    EXPECT_THAT(journal, ElementsAre("AddLine " + lineOf("PARTD")));
    EXPECT_THAT(rows(), ElementsAre(lineOf("PARTA"), lineOf("PARTB"), lineOf("PARTC"), lineOf("PARTD")));
    EXPECT_EQ(view.statusText, "PARTD.CNC reached the work list after all: nothing to do.");
    EXPECT_TRUE(view.messages.empty());
    // The list object survived the reconnection: the next line goes into the same list.
    EXPECT_EQ(link.ConnectListManager(lineOf("PARTE")), LineOutcome::Added);
    EXPECT_EQ(rows().size(), 5u);
}

TEST_F(KnownOutcomeTest, scanAgainWhileTheOutcomeIsUnknownIsItsRetryAndNeverDoublesThePart) {
    const struct {
        const char* program;
        std::function<void(testing::LoopbackControl&)> fault;
        LineOutcome retried;
    } cases[] = {
        {"RAN", [](auto& control) { control.loseNextAnswer(); }, LineOutcome::ReachedAfterAll},
        {"WAITED", [](auto& control) { control.stop(); }, LineOutcome::Added},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        c.fault(loopback);
        EXPECT_EQ(link.ConnectListManager(lineOf(c.program)), LineOutcome::Unknown);
        loopback.goOn();
        EXPECT_EQ(link.ConnectListManager(lineOf(c.program)), c.retried);
        EXPECT_EQ(count(c.program), 1);
        if (c.retried == LineOutcome::ReachedAfterAll) {
            EXPECT_EQ(view.statusText,
                      "RAN.CNC reached the work list after all, from its earlier scan; it was not added again.");
        }
    }
    EXPECT_TRUE(view.messages.empty());
}

// Two parts of the same program are two scans that were both acknowledged: neither is a retry.
TEST_F(KnownOutcomeTest, partScannedTwiceOnPurposeGetsTwoLines) {
    EXPECT_EQ(link.ConnectListManager(lineOf("FLANGE")), LineOutcome::Added);
    EXPECT_EQ(link.ConnectListManager(lineOf("FLANGE")), LineOutcome::Added);
    EXPECT_EQ(count("FLANGE"), 2);

    // Once the station has said what became of an unknown line, the next scan is a new part too.
    loopback.loseNextAnswer();
    EXPECT_EQ(link.ConnectListManager(lineOf("BASE")), LineOutcome::Unknown);
    controlAnswersAgain();
    EXPECT_EQ(view.statusText, "BASE.CNC reached the work list after all: nothing to do.");
    EXPECT_EQ(link.ConnectListManager(lineOf("BASE")), LineOutcome::Added);
    EXPECT_EQ(count("BASE"), 2);
}

TEST_F(KnownOutcomeTest, scanAgainWhileTheControlStillDoesNotAnswerAddsNothingAndSaysToWait) {
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::NotAdded);
    EXPECT_THAT(view.statusText, HasSubstr("still does not answer"));
    EXPECT_THAT(view.statusText, HasSubstr("Nothing to do"));
    EXPECT_EQ(link.ConnectListManager(lineOf("BASE")), LineOutcome::NotAdded);
    EXPECT_EQ(view.statusText, "BASE.CNC was not queued: the CNC control does not answer (it may be stopped or "
                               "busy). Scan it again once it answers.");
    controlAnswersAgain();
    EXPECT_EQ(view.statusText, "TOP.CNC did not reach the work list: scan it again.");
    EXPECT_TRUE(journal.empty());
}

// Only a restarted control loses the list; what was unknown then is not in the new one.
TEST_F(KnownOutcomeTest, restartedControlWhileAnOutcomeIsUnknownGetsANewListAndTheLineIsToldToBeScannedAgain) {
    Simulator restarted;
    std::vector<std::string> restartedJournal;
    restarted.setJournal([&restartedJournal](const std::string& line) { restartedJournal.push_back(line); });
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    loopback.restart(&restarted);
    remote.learnOutcomes();
    link.CheckLateOutcomes();
    EXPECT_THAT(view.statusText, HasSubstr("TOP.CNC is not in the work list: the CNC control was restarted"));

    EXPECT_EQ(link.ConnectListManager(lineOf("BASE")), LineOutcome::Added);
    // The old list's call never reaches the new control: the station knows that its session is gone.
    EXPECT_THAT(restartedJournal,
                ElementsAre("CreateObject Koridan.ExeList", "Visible True", "Clear", "AddLine " + lineOf("BASE")));
}

TEST_F(KnownOutcomeTest, lateOutcomesOfOtherCallsAreToldByName) {
    loopback.loseNextAnswer();
    EXPECT_EQ(errorOf([&] { link.StartWorkList(); }), platform::errc::kNoAnswer);
    controlAnswersAgain();
    EXPECT_EQ(view.statusText, "The CNC control did run StartList after all: nothing to do.");

    loopback.stop();
    EXPECT_EQ(errorOf([&] { link.ClearWorkList(); }), platform::errc::kNoAnswer);
    controlAnswersAgain();
    EXPECT_EQ(view.statusText, "The CNC control did not run Clear: scan the label that asked for it again.");
    EXPECT_EQ(rows().size(), 3u);
}

// Across a network the station's hang-up may never reach the control. A request held up on its way
// runs only while the station still waits for it; held up longer, it is not run, and the station
// is told so once it reaches the control again.
TEST_F(KnownOutcomeTest, requestHeldUpOnItsWayLongerThanTheBoundNeverRunsThoughNoHangUpArrives) {
    loopback.hideHangUps();
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    clock.advanceMs(ControlClient::kDefaultBound.count() + 1);
    loopback.goOn();
    EXPECT_TRUE(journal.empty()) << journal.front();

    controlAnswersAgain();
    EXPECT_EQ(view.statusText, "TOP.CNC did not reach the work list: scan it again.");
    EXPECT_EQ(count("TOP"), 0);
}

// The station gives up, greets again while its request is still on its way, and asks: the answer
// is final, as the greeting took the session over from the connection that carries the request.
TEST_F(KnownOutcomeTest, requestStillOnItsWayWhenTheStationAsksAboutItNeverRunsAfterwards) {
    loopback.hideHangUps();
    loopback.stop();
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Unknown);
    remote.learnOutcomes(); // its greeting waits too, behind the stop
    loopback.goOn();        // the newer connection comes through first
    controlAnswersAgain();

    EXPECT_EQ(view.statusText, "TOP.CNC did not reach the work list: scan it again.");
    EXPECT_TRUE(journal.empty()) << journal.front();
}

TEST_F(KnownOutcomeTest, requestHeldUpWithinTheBoundRunsOnce) {
    loopback.holdUpNextFrame([this] { clock.advanceMs(ControlClient::kDefaultBound.count() * 3 / 4); });
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Added);
    EXPECT_THAT(journal, ElementsAre("AddLine " + lineOf("TOP")));
}

// Only a station that stalled as long as its request (its process stopped, say) still waits for a
// request the control refused as too late: it is sent once more, and runs once.
TEST_F(KnownOutcomeTest, requestThatCameTooLateWhileTheStationStillWaitedIsSentAgainAndRunsOnce) {
    const auto stall = [this] { clock.advanceMs(ControlClient::kDefaultBound.count() + 500); };
    loopback.holdUpNextFrame(stall);
    EXPECT_EQ(link.ConnectListManager(lineOf("TOP")), LineOutcome::Added);
    EXPECT_THAT(journal, ElementsAre("AddLine " + lineOf("TOP")));
    EXPECT_EQ(loopback.sent(protocol::BodyKind::Ping), 1);

    // Too late twice: the line did not go, and the operator is told to scan it again.
    journal.clear();
    loopback.holdUpNextFrame([&] {
        stall();
        loopback.holdUpNextFrame([&] { loopback.holdUpNextFrame(stall); }); // past the ping, the second try
    });
    EXPECT_EQ(link.ConnectListManager(lineOf("BASE")), LineOutcome::NotAdded);
    EXPECT_THAT(view.statusText, HasSubstr("BASE.CNC was not queued"));
    EXPECT_THAT(view.statusText, HasSubstr("received the call too late to run it"));
    EXPECT_TRUE(journal.empty()) << journal.front();
}

// The control's clock is reckoned on from the last one it told; after a long pause it is asked for
// first, so that the reckoning never strays.
TEST_F(KnownOutcomeTest, callAfterALongPauseAsksForTheControlsClockFirstAndRuns) {
    const int requests = loopback.sent(protocol::BodyKind::Request);
    clock.advanceMs(protocol::kClockLifeMs / 2);
    EXPECT_EQ(link.ConnectListManager(lineOf("SOON")), LineOutcome::Added);
    EXPECT_EQ(loopback.sent(protocol::BodyKind::Ping), 0);
    clock.advanceMs(8 * 3600 * 1000);
    EXPECT_EQ(link.ConnectListManager(lineOf("LATER")), LineOutcome::Added);
    EXPECT_EQ(loopback.sent(protocol::BodyKind::Ping), 1);
    EXPECT_EQ(loopback.sent(protocol::BodyKind::Request), requests + 2);
    EXPECT_EQ(count("LATER"), 1);
}

// The serving end alone: requests that wait in a connection run only while it is open and speaks
// for its session.
TEST(ControlService, requestsOfAConnectionThatHungUpOrWasTakenOverNeverRun) {
    Simulator simulator;
    testing::FakeClock clock;
    ControlService service(simulator, {}, &clock);
    const auto now = static_cast<protocol::ControlClock>(clock.steady);
    const auto frames = [](std::initializer_list<std::string> list) {
        std::string joined;
        for (const auto& frame : list) {
            joined += frame;
        }
        return joined;
    };
    const auto first = service.connect();
    const std::string welcome = first->receive(protocol::encodeHello({}), [] { return true; });
    protocol::FrameReader reader;
    reader.append(welcome);
    const protocol::Welcome greeted = protocol::decodeWelcome(*reader.next());
    first->receive(
        frames({protocol::encodeRequest({1, 0, Operation::CreateObject, {std::string(kExeListProgId)}, now})}),
        [] { return true; });

    std::string waiting;
    for (std::uint32_t call = 2; call < 12; ++call) {
        waiting += protocol::encodeRequest({call, 1, Operation::AddLine, {std::string("#161=LATE;")}, now});
    }
    // Hung up with ten requests waiting: not one runs.
    EXPECT_EQ(first->receive(waiting, [] { return false; }), "");
    EXPECT_TRUE(first->ended());
    EXPECT_TRUE(simulator.rows().empty());

    // The next connection resumes the session and hears what became of the calls: final answers.
    const auto second = service.connect();
    reader.append(
        second->receive(protocol::encodeHello({protocol::kVersion, greeted.session, {1, 2}}), [] { return true; }));
    const protocol::Welcome resumed = protocol::decodeWelcome(*reader.next());
    EXPECT_TRUE(resumed.resumed);
    EXPECT_THAT(resumed.answers, ElementsAre(protocol::AskedCall{1, protocol::CallOutcome::Ran, 0},
                                             protocol::AskedCall{2, protocol::CallOutcome::NeverRan, 0}));

    // Still open as far as this end knows (a network link whose end has not arrived yet), but a newer
    // connection resumed its session: the old one's requests are refused.
    const auto third = service.connect();
    third->receive(protocol::encodeHello({protocol::kVersion, greeted.session, {}}), [] { return true; });
    EXPECT_THROW(second->receive(waiting, [] { return true; }), protocol::ProtocolError);
    EXPECT_TRUE(simulator.rows().empty());
}

TEST(ControlService, boundsOfAClient) {
    Simulator simulator;
    ControlService service(simulator);
    std::string flood = protocol::encodeHello({});
    for (std::size_t call = 1; call <= protocol::kMaxRequestsInFlight + 1; ++call) {
        flood += protocol::encodeRequest({static_cast<std::uint32_t>(call), 0, Operation::CreateApplication, {}});
    }
    EXPECT_THROW(service.connect()->receive(flood, [] { return true; }), protocol::ProtocolError);

    // Sessions beyond the bound push out the one detached the longest; attached ones stay.
    std::vector<std::unique_ptr<ServedConnection>> held;
    for (std::size_t i = 0; i < protocol::kMaxSessions + 5; ++i) {
        auto connection = service.connect();
        connection->receive(protocol::encodeHello({}), [] { return true; });
        if (i % 2 == 0) {
            held.push_back(std::move(connection));
        }
    }
    EXPECT_EQ(service.sessionCount(), protocol::kMaxSessions);
}

TEST(ControlSession, callsBeyondTheRecordAreToldAsForgotten) {
    Simulator simulator;
    ControlSession session(simulator);
    for (std::uint32_t call = 1; call <= protocol::kRememberedCalls + 10; ++call) {
        session.answer({call, 0, Operation::CreateApplication, {}});
        session.answer({0, static_cast<std::uint32_t>(call), Operation::Release, {}});
    }
    EXPECT_EQ(session.outcomeOf(5).outcome, protocol::CallOutcome::Forgotten);
    EXPECT_EQ(session.outcomeOf(protocol::kRememberedCalls + 10).outcome, protocol::CallOutcome::Ran);
    EXPECT_EQ(session.outcomeOf(protocol::kRememberedCalls + 11).outcome, protocol::CallOutcome::NeverRan);
}

} // namespace
} // namespace quorlan::cnc
