// What publishing the station's events costs the scan path: the nudge to the publisher that
// follows each recorded scan, while the publisher drains the history to a real broker on its own
// thread; recording one scan meanwhile, beside the same without a publisher, in the same run; and
// how long an event takes from its record to a subscriber.
#include "events/mosquitto_session.h"
#include "events/mqtt_publisher.h"
#include "events/test_broker.h"
#include "history_bench.h"

#include <atomic>
#include <optional>

namespace {

namespace bench = quorlan::bench;
namespace events = quorlan::events;
namespace history = quorlan::history;
namespace testing = quorlan::testing;

// A broker started for the benchmark; nothing when mosquitto is not installed.
testing::TestBroker* broker(benchmark::State& state) {
    static std::optional<testing::TestBroker> started;
    if (!started) {
        try {
            started.emplace();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return nullptr;
        }
    }
    return &*started;
}

events::PublisherOptions publisherOptions(const testing::TestBroker& at, const std::string& historyFile) {
    events::PublisherOptions options;
    options.mqtt.broker = {at.host(), at.port()};
    options.mqtt.topic = "quorlan/bench";
    options.historyFile = historyFile;
    options.version = QUORLAN_VERSION;
    options.control = "built-in";
    options.clientId = "quorlan-bench";
    return options;
}

enum class Timed { Record, Nudge };

// Records scans one after another, with or without a publisher sending them to the broker, and
// times either the record or the nudge that follows it (the time shown and the median are of that).
void recordScans(benchmark::State& state, bool publishing, Timed timed) {
    testing::TestBroker* at = broker(state);
    if (at == nullptr) {
        return;
    }
    const testing::TempFolder folder;
    {
        const std::string file = folder.path("history.sqlite");
        history::HistoryStore store({file}, [](const std::string&) {});
        store.open();
        std::optional<events::MqttPublisher> publisher;
        if (publishing) {
            publisher.emplace(publisherOptions(*at, file), events::connectMosquitto);
        }
        bench::Samples samples(state);
        int n = 0;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            store.record(bench::typicalEvent(bench::nowMs(), n++));
            const auto recorded = std::chrono::steady_clock::now();
            if (publisher) {
                publisher->wake();
            }
            const auto nudged = std::chrono::steady_clock::now();
            const auto seconds =
                std::chrono::duration<double>(timed == Timed::Record ? recorded - start : nudged - recorded).count();
            state.SetIterationTime(seconds);
            samples.add(seconds);
        }
    }
}

// The scan path's own cost of publishing: the nudge after each record, while the publisher sends
// each event to the broker as it comes.
void nudgingThePublisher(benchmark::State& state) {
    recordScans(state, true, Timed::Nudge);
}
BENCHMARK(nudgingThePublisher)->UseManualTime();

// Recording one scan while the publisher reads the history and marks what the broker took.
void recordingWhilePublishing(benchmark::State& state) {
    recordScans(state, true, Timed::Record);
}
BENCHMARK(recordingWhilePublishing)->UseManualTime();

// The same without a publisher, in the same run.
void recordingWithoutPublishing(benchmark::State& state) {
    recordScans(state, false, Timed::Record);
}
BENCHMARK(recordingWithoutPublishing)->UseManualTime();

// One scan's event from its record to a subscriber of the broker (QoS 1 both ways).
void eventFromRecordToSubscriber(benchmark::State& state) {
    testing::TestBroker* at = broker(state);
    if (at == nullptr) {
        return;
    }
    const testing::TempFolder folder;
    {
        const std::string file = folder.path("history.sqlite");
        history::HistoryStore store({file}, [](const std::string&) {});
        store.open();
        testing::Subscriber subscriber(*at, "bench-subscriber", "quorlan/bench/events/scan");
        events::MqttPublisher publisher(publisherOptions(*at, file), events::connectMosquitto);
        bench::Samples samples(state);
        int n = 0;
        for (auto _ : state) {
            const std::size_t before = subscriber.messages().size();
            samples.time([&] {
                store.record(bench::typicalEvent(bench::nowMs(), n++));
                publisher.wake();
                while (subscriber.messages().size() == before) {
                    std::this_thread::yield();
                }
            });
        }
    }
}
BENCHMARK(eventFromRecordToSubscriber)->Unit(benchmark::kMillisecond);

} // namespace
