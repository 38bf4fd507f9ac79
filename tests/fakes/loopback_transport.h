// The control protocol without a socket: a transport whose connections lead to a service over a
// control in this process, every frame coded and decoded as it would cross between two processes.
// The far end can stop and go on (what waits is then served, as a stopped process does after
// SIGCONT), answer late (the call runs, its answer is held back), or be restarted. As across a
// network, the station's hang-up may never reach the control, and a request may be held up on its
// way while time passes.
#pragma once

#include "cnc/control_client.h"
#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "platform/error.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorlan::testing {

class LoopbackControl {
public:
    // The control's clock is the system's unless a test gives its own.
    explicit LoopbackControl(cnc::ControlFactory& control, platform::Clock* clock = nullptr) : m_clock(clock) {
        restart(&control);
    }

    // Another control takes the place of the one that ran (nullptr: none runs); every connection ends.
    void restart(cnc::ControlFactory* control) {
        for (const auto& link : m_links) {
            link->ended = true;
            link->served.reset(); // it belongs to the service that ends here
        }
        m_links.clear();
        m_stopped = false;
        m_service = control == nullptr ? nullptr : std::make_unique<cnc::ControlService>(*control, nullptr, m_clock);
    }
    // While stopped, what is sent waits unread; goOn() serves it, connection by connection, newest
    // first, as the order in which a process that wakes up reads its sockets is anyone's.
    void stop() { m_stopped = true; }
    void goOn() {
        m_stopped = false;
        for (auto link = m_links.rbegin(); link != m_links.rend(); ++link) {
            serve(**link);
        }
    }
    // The next request runs, and its answer and every later one of that connection never come.
    void loseNextAnswer() { m_loseAnswer = true; }
    // The station's hang-ups do not reach the control, as the end of a connection across a network
    // may not.
    void hideHangUps() { m_hangUpsHidden = true; }
    // The next frame sent is held up on its way while meanwhile() runs (which moves the clocks).
    void holdUpNextFrame(std::function<void()> meanwhile) { m_holdUp = std::move(meanwhile); }
    // How many frames of the kind the station has sent.
    int sent(cnc::protocol::BodyKind kind) const {
        const auto found = m_sent.find(kind);
        return found == m_sent.end() ? 0 : found->second;
    }

    const cnc::ControlService* service() const { return m_service.get(); }

private:
    friend class LoopbackTransport;
    struct Link {
        std::unique_ptr<cnc::ServedConnection> served;
        std::string waiting;             // sent, not read by the control yet
        std::deque<std::string> answers; // bodies the station has not read
        bool closedByStation = false;
        bool ended = false;
        bool answersLost = false;
    };

    std::shared_ptr<Link> open() {
        if (!m_service) {
            throw platform::StationError(platform::errc::kCannotCreateObject,
                                         "the CNC control at loopback could not be reached: nothing is serving");
        }
        auto link = std::make_shared<Link>();
        link->served = m_service->connect();
        m_links.push_back(link);
        return link;
    }
    void deliver(Link& link, const std::string& frame) {
        if (const auto kind = cnc::protocol::kindOf(std::string_view(frame).substr(4))) {
            ++m_sent[*kind];
        }
        if (m_holdUp) {
            std::exchange(m_holdUp, {})();
        }
        link.waiting += frame;
        if (!m_stopped) {
            serve(link);
        }
    }
    void serve(Link& link) {
        if (link.ended || link.waiting.empty()) {
            return;
        }
        const bool loseAnswer = std::exchange(m_loseAnswer, false);
        std::string replies;
        try {
            replies = link.served->receive(std::exchange(link.waiting, {}),
                                           [this, &link] { return m_hangUpsHidden || !link.closedByStation; });
        } catch (const cnc::protocol::ProtocolError&) {
            link.ended = true;
            return;
        }
        link.answersLost = link.answersLost || loseAnswer;
        cnc::protocol::FrameReader frames;
        frames.append(replies);
        while (auto body = frames.next()) {
            if (!link.answersLost) {
                link.answers.push_back(std::move(*body));
            }
        }
    }

    platform::Clock* m_clock;
    std::unique_ptr<cnc::ControlService> m_service;
    std::vector<std::shared_ptr<Link>> m_links;
    bool m_stopped = false;
    bool m_loseAnswer = false;
    bool m_hangUpsHidden = false;
    std::function<void()> m_holdUp;
    std::map<cnc::protocol::BodyKind, int> m_sent;
};

class LoopbackTransport final : public cnc::ControlTransport {
public:
    explicit LoopbackTransport(LoopbackControl& control) : m_control(control) {}

    std::string where() const override { return "the CNC control at loopback"; }
    void open() override {
        close();
        m_link = m_control.open();
    }
    void close() noexcept override {
        if (m_link) {
            m_link->closedByStation = true;
            m_link.reset();
        }
    }
    bool isOpen() const override { return m_link && !m_link->ended; }
    bool send(const std::string& frame) override {
        if (!isOpen()) {
            return false;
        }
        m_control.deliver(*m_link, frame);
        return true;
    }
    cnc::Arrival receive(std::chrono::milliseconds) override {
        if (m_link && !m_link->answers.empty()) {
            cnc::Arrival arrival{cnc::Arrival::Kind::Frame, std::move(m_link->answers.front()), {}};
            m_link->answers.pop_front();
            return arrival;
        }
        if (!isOpen()) {
            return {cnc::Arrival::Kind::Closed, {}, "closed the connection"};
        }
        return {cnc::Arrival::Kind::TimedOut, {}, {}};
    }

private:
    LoopbackControl& m_control;
    std::shared_ptr<LoopbackControl::Link> m_link;
};

} // namespace quorlan::testing
