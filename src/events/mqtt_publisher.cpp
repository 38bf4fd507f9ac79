#include "events/mqtt_publisher.h"

#include "events/payload.h"
#include "history/failure.h"
#include "history/local_time.h"
#include "history/outbox.h"

#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace quorlan::events {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What a session told, queued for the worker: said on the client library's thread, acted on by
// the worker's. The session's number tells a word of an old session, to be ignored.
struct Happening {
    enum class Kind { Connected, Ended, Acknowledged };
    Kind kind;
    int session;
    std::string reason;
    bool wasConnected = false;
    int messageId = 0;
};

} // namespace

std::string publishingFailure(const std::string& reason) {
    return "MQTT events are not being published: " + reason +
           ". Scanning goes on; the events wait in the history and go out once the broker takes them.";
}

std::string publishingRecovered() {
    return "MQTT events are being published again.";
}

class MqttPublisher::Worker {
public:
    Worker(PublisherOptions options, BrokerConnector connector)
        : m_options(std::move(options)), m_connector(std::move(connector)), m_retry(m_options.firstRetry),
          m_sinceMs(nowMs()) {
        // A publisher set up today sends what happens from today on, not the history of a year.
        withOutbox([](history::Outbox& outbox) { outbox.startHereIfNew(); });
    }

    // The thread's work, until stop().
    void run() {
        for (;;) {
            const bool stopping = waitForWork(nextDeadline());
            if (stopping) {
                finish();
                return;
            }
            step();
        }
    }

    void wake() {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_condition.notify_one();
    }

    void requestStop(std::chrono::milliseconds grace) {
        {
            std::lock_guard lock(m_mutex);
            m_stopRequested = true;
            m_grace = grace;
        }
        m_condition.notify_one();
    }

    std::vector<std::string> takeReports() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_reports, {});
    }

private:
    // Hears one session for the worker.
    class Listener final : public BrokerListener {
    public:
        Listener(Worker& worker, int session) : m_worker(worker), m_session(session) {}
        void connected() override { m_worker.happen({Happening::Kind::Connected, m_session, {}}); }
        void ended(const std::string& reason, bool wasConnected) override {
            m_worker.happen({Happening::Kind::Ended, m_session, reason, wasConnected});
        }
        void acknowledged(int messageId) override {
            m_worker.happen({Happening::Kind::Acknowledged, m_session, {}, false, messageId});
        }

    private:
        Worker& m_worker;
        int m_session;
    };

    struct InFlight {
        int messageId;
        std::int64_t id;
        bool acknowledged = false;
    };

    void happen(Happening happening) {
        {
            std::lock_guard lock(m_mutex);
            m_happenings.push_back(std::move(happening));
        }
        m_condition.notify_one();
    }

    // Waits for a nudge, a session's word, a stop or the deadline, and acts on the sessions'
    // words. True when the station stops.
    bool waitForWork(Clock::time_point deadline) {
        std::deque<Happening> happenings;
        bool stopping = false;
        {
            std::unique_lock lock(m_mutex);
            m_condition.wait_until(lock, deadline,
                                   [this] { return m_woken || m_stopRequested || !m_happenings.empty(); });
            m_woken = false;
            happenings.swap(m_happenings);
            stopping = m_stopRequested;
        }
        for (auto& happening : happenings) {
            handle(happening);
        }
        return stopping;
    }

    // The earliest moment something is due without a word from anyone.
    Clock::time_point nextDeadline() const {
        Clock::time_point deadline = Clock::now() + std::chrono::hours(1);
        const auto consider = [&deadline](Clock::time_point moment) { deadline = std::min(deadline, moment); };
        if (!m_session) {
            consider(m_nextAttempt);
        } else if (!m_online) {
            consider(m_attemptStarted + m_options.connectTimeout);
        } else {
            if (m_ackedThrough > m_markedThrough) {
                consider(m_nextMark);
            }
            if (m_statusDue) {
                consider(m_nextStatus);
            }
            if (!m_outbox) {
                consider(m_nextOutboxTry);
            }
        }
        return deadline;
    }

    void step() {
        const auto now = Clock::now();
        if (!m_session && now >= m_nextAttempt) {
            connect(now);
        } else if (m_session && !m_online && now - m_attemptStarted >= m_options.connectTimeout) {
            dropSession();
            failed("the broker " + broker() + " did not answer within " +
                   std::to_string(m_options.connectTimeout.count() / 1000) + " s");
        }
        if (m_online) {
            send();
            markAcknowledged(false);
            sendStatusWhenDue();
            if (m_outbox && m_markKnown) {
                recovered();
            }
        }
    }

    void handle(const Happening& happening) {
        if (happening.session != m_sessionNumber || !m_session) {
            return; // from a session let go already
        }
        switch (happening.kind) {
        case Happening::Kind::Connected:
            m_online = true;
            m_retry = m_options.firstRetry;
            m_markKnown = false;
            m_statusDue = true;
            m_nextStatus = Clock::now();
            break;
        case Happening::Kind::Ended:
            dropSession();
            if (happening.wasConnected) {
                // Not said by itself: the next attempt, soon, either mends it unseen or tells why
                // it cannot (the broker gone, refusing now), which is what the operator can act on.
                m_retry = m_options.firstRetry;
                m_nextAttempt = Clock::now() + nextPause();
            } else {
                failed(happening.reason);
            }
            break;
        case Happening::Kind::Acknowledged:
            acknowledge(happening.messageId);
            break;
        }
    }

    std::chrono::milliseconds nextPause() {
        const auto pause = m_retry;
        m_retry = std::min(m_retry * 2, m_options.longestRetry);
        return pause;
    }

    std::string broker() const { return m_options.mqtt.broker.host + ":" + std::to_string(m_options.mqtt.broker.port); }

    void connect(Clock::time_point now) {
        m_attemptStarted = now;
        m_nextAttempt = now + nextPause();
        BrokerOptions options;
        options.host = m_options.mqtt.broker.host;
        options.port = m_options.mqtt.broker.port;
        options.clientId = m_options.clientId;
        options.keepAliveSeconds = m_options.keepAliveSeconds;
        options.caFile = m_options.mqtt.caFile;
        options.user = m_options.mqtt.user;
        options.willTopic = statusTopic(m_options.mqtt.topic);
        options.willPayload = willPayload(m_options.version, m_options.control);
        // Read at each attempt, so that a mended file is taken without a restart.
        if (!m_options.mqtt.passwordFile.empty()) {
            const auto password = readPassword(m_options.mqtt.passwordFile);
            if (!password) {
                failed("the password file " + m_options.mqtt.passwordFile + " (MqttPasswordFile) cannot be read");
                return;
            }
            options.password = *password;
        }
        m_listener = std::make_unique<Listener>(*this, ++m_sessionNumber);
        try {
            m_session = m_connector(options, *m_listener);
        } catch (const std::exception& error) {
            dropSession();
            failed(error.what());
        }
    }

    static std::optional<std::string> readPassword(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::string password;
        std::getline(file, password);
        if (file.bad()) {
            return std::nullopt;
        }
        if (password.ends_with('\r')) {
            password.pop_back();
        }
        return password;
    }

    // Lets the session go (saying goodbye when it is connected) and forgets what it had in flight:
    // the next session reads it from the outbox again.
    void dropSession() {
        markAcknowledged(true);
        m_session.reset();
        m_listener.reset();
        m_online = false;
        m_inFlight.clear();
        m_offlineMessage.reset();
    }

    // Hands the broker what comes after the last entry handed over, as far as the window lets.
    // True when nothing more is waiting in the outbox.
    bool send() {
        if (!m_markKnown && !withOutbox([this](history::Outbox& outbox) {
                outbox.startHereIfNew();
                m_sentThrough = m_ackedThrough = m_markedThrough = outbox.publishedThrough();
            })) {
            return false;
        }
        m_markKnown = true;
        while (m_inFlight.size() < m_options.window) {
            std::vector<history::Entry> entries;
            if (!withOutbox([&](history::Outbox& outbox) {
                    entries = outbox.after(m_sentThrough, m_options.window - m_inFlight.size());
                })) {
                return false;
            }
            if (entries.empty()) {
                return true;
            }
            for (const auto& entry : entries) {
                const auto messageId =
                    m_session->publish(eventTopic(m_options.mqtt.topic, entry), eventPayload(entry), false);
                if (!messageId) {
                    return false; // the connection is going; its end is on its way
                }
                m_inFlight.push_back({*messageId, history::idOf(entry)});
                m_sentThrough = history::idOf(entry);
                m_statusDue = m_statusDue || std::holds_alternative<history::Event>(entry);
            }
        }
        return false;
    }

    void acknowledge(int messageId) {
        if (m_offlineMessage == messageId) {
            m_offlineAcknowledged = true;
            return;
        }
        for (auto& inFlight : m_inFlight) {
            if (inFlight.messageId == messageId) {
                inFlight.acknowledged = true;
                break;
            }
        }
        // Only an unbroken run from the oldest counts: the mark may never pass an entry still out.
        while (!m_inFlight.empty() && m_inFlight.front().acknowledged) {
            m_ackedThrough = m_inFlight.front().id;
            m_inFlight.pop_front();
        }
    }

    // The mark in the file follows the acknowledgements, a little behind to keep the writes few.
    void markAcknowledged(bool now) {
        const auto time = Clock::now();
        if (m_ackedThrough <= m_markedThrough || (!now && time < m_nextMark)) {
            return;
        }
        if (withOutbox([this](history::Outbox& outbox) { outbox.markPublished(m_ackedThrough); })) {
            m_markedThrough = m_ackedThrough;
            m_nextMark = time + m_options.markEvery;
        }
    }

    std::optional<int> sendStatus(bool online) {
        StationStatus status;
        status.online = online;
        status.timeMs = nowMs();
        status.sinceMs = m_sinceMs;
        status.version = m_options.version;
        status.control = m_options.control;
        withOutbox([&status](history::Outbox& outbox) {
            status.today = outbox.tally(history::dayRange(history::dayOf(status.timeMs)));
        });
        return m_session->publish(statusTopic(m_options.mqtt.topic), statusPayload(status), true);
    }

    void sendStatusWhenDue() {
        const auto now = Clock::now();
        if (m_statusDue && now >= m_nextStatus) {
            sendStatus(true);
            m_statusDue = false;
            m_nextStatus = now + m_options.statusEvery;
        }
    }

    // Runs work on the outbox, opening it when needed. A failure closes it, is reported, and is
    // tried again after a pause.
    bool withOutbox(const std::function<void(history::Outbox&)>& work) {
        const auto now = Clock::now();
        if (!m_outbox && now < m_nextOutboxTry) {
            return false;
        }
        try {
            if (!m_outbox) {
                m_outbox.emplace(m_options.historyFile, kOutboxConsumer);
            }
            work(*m_outbox);
            return true;
        } catch (const std::exception& error) {
            m_outbox.reset();
            m_nextOutboxTry = now + m_options.firstRetry;
            failed(history::describeFailure(m_options.historyFile, error));
            return false;
        }
    }

    // The station stops: the outbox is emptied while the grace lasts, the offline status follows,
    // and the session says goodbye, so that the broker does not send the last will.
    void finish() {
        const auto deadline = Clock::now() + m_grace;
        const auto pumpUntil = [&](const std::function<bool()>& done) {
            while (m_online && !done() && Clock::now() < deadline) {
                waitForWork(deadline);
            }
        };
        if (m_online) {
            pumpUntil([this] { return send() && m_inFlight.empty(); });
        }
        if (m_online) {
            m_offlineMessage = sendStatus(false);
            pumpUntil([this] { return !m_offlineMessage || m_offlineAcknowledged; });
        }
        dropSession();
    }

    void failed(const std::string& reason) {
        if (reason == m_failure) {
            return;
        }
        m_failure = reason;
        std::lock_guard lock(m_mutex);
        m_reports.push_back(publishingFailure(reason));
    }

    void recovered() {
        if (m_failure.empty()) {
            return;
        }
        m_failure.clear();
        std::lock_guard lock(m_mutex);
        m_reports.push_back(publishingRecovered());
    }

    const PublisherOptions m_options;
    const BrokerConnector m_connector;

    // Shared with the station's thread and the sessions' threads.
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_woken = false;
    bool m_stopRequested = false;
    std::chrono::milliseconds m_grace{0};
    std::deque<Happening> m_happenings;
    std::vector<std::string> m_reports;

    // The worker's own.
    std::unique_ptr<Listener> m_listener; // outlives the session it hears
    std::unique_ptr<BrokerSession> m_session;
    int m_sessionNumber = 0;
    bool m_online = false;
    Clock::time_point m_attemptStarted;
    Clock::time_point m_nextAttempt;
    std::chrono::milliseconds m_retry;

    std::optional<history::Outbox> m_outbox;
    Clock::time_point m_nextOutboxTry;
    bool m_markKnown = false;
    std::deque<InFlight> m_inFlight;
    std::int64_t m_sentThrough = 0;
    std::int64_t m_ackedThrough = 0;
    std::int64_t m_markedThrough = 0;
    Clock::time_point m_nextMark;

    const std::int64_t m_sinceMs;
    bool m_statusDue = false;
    Clock::time_point m_nextStatus;
    std::optional<int> m_offlineMessage;
    bool m_offlineAcknowledged = false;

    std::string m_failure; // the reason last reported, empty while all is well
};

MqttPublisher::MqttPublisher(PublisherOptions options, BrokerConnector connector)
    : m_worker(std::make_unique<Worker>(std::move(options), std::move(connector))),
      m_thread([this] { m_worker->run(); }) {}

MqttPublisher::~MqttPublisher() {
    stop(std::chrono::milliseconds(0));
}

void MqttPublisher::wake() {
    m_worker->wake();
}

std::vector<std::string> MqttPublisher::takeReports() {
    return m_worker->takeReports();
}

void MqttPublisher::stop(std::chrono::milliseconds grace) {
    if (m_thread.joinable()) {
        m_worker->requestStop(grace);
        m_thread.join();
    }
}

} // namespace quorlan::events
