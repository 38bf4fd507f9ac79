// A broker in memory for the publisher's tests: it records what was published, connects and
// acknowledges when the test says so (or at once), and ends sessions as a broker that goes away.
#pragma once

#include "events/broker.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorlan::testing {

struct Published {
    int session;
    int messageId;
    std::string topic;
    std::string payload;
    bool retain;
};

class FakeBroker final {
public:
    // How a new session fares: connected at once, ended at once with a reason, or left waiting.
    enum class Answer { Connect, Refuse, Silence };
    Answer answer = Answer::Connect;
    std::string refusal = "no broker answers at fake:1883 (connection refused)";
    bool acknowledgeAtOnce = false;

    events::BrokerConnector connector() {
        return [this](const events::BrokerOptions& options, events::BrokerListener& listener) {
            std::lock_guard lock(m_mutex);
            m_options.push_back(options);
            m_listeners.push_back(&listener);
            const int number = static_cast<int>(m_listeners.size()) - 1;
            if (answer == Answer::Connect) {
                listener.connected();
            } else if (answer == Answer::Refuse) {
                listener.ended(refusal, false);
            }
            return std::make_unique<Session>(*this, number);
        };
    }

    // Waits (at most a bound that only a fault reaches) until the condition holds.
    bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }

    std::vector<Published> published() {
        std::lock_guard lock(m_mutex);
        return m_published;
    }
    std::vector<events::BrokerOptions> attempts() {
        std::lock_guard lock(m_mutex);
        return m_options;
    }
    int sessions() {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_listeners.size());
    }

    // Each tells the session's listener, unless the publisher let that session go already.
    void acknowledge(const Published& message) {
        tell(message.session, [&](events::BrokerListener& listener) { listener.acknowledged(message.messageId); });
    }
    // The broker goes away under the newest session.
    void dropConnection() {
        tell(sessions() - 1, [](events::BrokerListener& l) { l.ended("the connection to fake:1883 was lost", true); });
    }
    void connectNewest() {
        tell(sessions() - 1, [](events::BrokerListener& listener) { listener.connected(); });
    }

private:
    class Session final : public events::BrokerSession {
    public:
        Session(FakeBroker& broker, int number) : m_broker(broker), m_number(number) {}
        ~Session() override {
            std::lock_guard lock(m_broker.m_mutex);
            m_broker.m_listeners[static_cast<std::size_t>(m_number)] = nullptr;
        }
        std::optional<int> publish(const std::string& topic, const std::string& payload, bool retain) override {
            Published message{m_number, ++m_lastId, topic, payload, retain};
            std::lock_guard lock(m_broker.m_mutex);
            m_broker.m_published.push_back(message);
            if (m_broker.acknowledgeAtOnce) {
                m_broker.m_listeners[static_cast<std::size_t>(m_number)]->acknowledged(message.messageId);
            }
            return message.messageId;
        }

    private:
        FakeBroker& m_broker;
        int m_number;
        int m_lastId = 0;
    };

    // Under the lock, so that the publisher cannot let the session go meanwhile.
    void tell(int session, const std::function<void(events::BrokerListener&)>& word) {
        std::lock_guard lock(m_mutex);
        if (auto* listener = m_listeners.at(static_cast<std::size_t>(session))) {
            word(*listener);
        }
    }

    std::mutex m_mutex;
    std::vector<events::BrokerOptions> m_options;
    std::vector<events::BrokerListener*> m_listeners; // null once the session is let go
    std::vector<Published> m_published;
};

} // namespace quorlan::testing
