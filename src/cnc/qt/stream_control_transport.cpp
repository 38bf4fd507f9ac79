#include "cnc/qt/stream_control_transport.h"

#include <QEventLoop>
#include <QTimer>

namespace quorlan::cnc {

StreamControlTransport::StreamControlTransport(QIODevice& device, std::uint32_t maxBody, QObject* parent)
    : QObject(parent), m_device(device), m_maxBody(maxBody), m_frames(maxBody) {}

void StreamControlTransport::began() {
    m_frames = protocol::FrameReader(m_maxBody);
    m_arrived.clear();
    m_lost = false;
    m_why.clear();
}

void StreamControlTransport::close() noexcept {
    abort();
    m_frames = protocol::FrameReader(m_maxBody);
    m_arrived.clear();
    m_lost = true;
}

bool StreamControlTransport::send(const std::string& frame) {
    if (!isOpen()) {
        return false;
    }
    m_device.write(frame.data(), static_cast<qint64>(frame.size()));
    flush();
    return isOpen();
}

Arrival StreamControlTransport::receive(std::chrono::milliseconds within) {
    readFrames();
    if (m_arrived.empty() && isOpen()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(within.count()));
        m_waiting = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waiting = nullptr;
    }
    if (!m_arrived.empty()) {
        Arrival arrival{Arrival::Kind::Frame, std::move(m_arrived.front()), {}};
        m_arrived.pop_front();
        return arrival;
    }
    if (!isOpen()) {
        return {Arrival::Kind::Closed, {}, m_why.empty() ? std::string("closed the connection") : m_why};
    }
    return {Arrival::Kind::TimedOut, {}, {}};
}

void StreamControlTransport::readFrames() {
    if (m_lost || !connected()) {
        return;
    }
    try {
        const QByteArray bytes = m_device.readAll();
        m_frames.append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        while (auto body = m_frames.next()) {
            m_arrived.push_back(std::move(*body));
        }
        wake();
    } catch (const protocol::ProtocolError& error) {
        lose(std::string("answered with bytes that are no frame (") + error.what() + ")");
    }
}

void StreamControlTransport::lose(const std::string& why) {
    if (m_lost) {
        return;
    }
    // Frames that came before the end still count.
    readFrames();
    if (m_lost) {
        return;
    }
    m_lost = true;
    m_why = why;
    abort();
    wake();
}

void StreamControlTransport::wake() {
    if (m_waiting != nullptr && (!m_arrived.empty() || m_lost)) {
        m_waiting->quit();
    }
}

} // namespace quorlan::cnc
