// The control over a real local socket: the server as cnc-sim runs it, and a channel that
// fails each call within its bound whatever the other end does (vanish, stay silent, answer
// garbage or late, close in the middle of a call).
#include "cnc/control_protocol.h"
#include "cnc/qt/local_control_channel.h"
#include "cnc/qt/local_control_server.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "fakes/error_of.h"
#include "platform/error.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorlan::cnc;
using quorlan::testing::errorOf;
namespace errc = quorlan::platform::errc;

namespace {

// A control that misbehaves as told, speaking just enough of the protocol to do it.
class RogueServer final : public QObject {
public:
    enum class Mode { Silent, Garbage, Close, Answer };

    explicit RogueServer(const QString& name) {
        m_server.listen(name);
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            connect(m_client, &QLocalSocket::readyRead, this, &RogueServer::serve);
        });
    }

    Mode mode = Mode::Answer;
    // The integer each answered call returns: the call number plus this.
    std::int32_t offset = 1000;

private:
    void serve() {
        m_frames.append(m_client->readAll().toStdString());
        while (const auto body = m_frames.next()) {
            m_unanswered.push_back(protocol::decodeRequest(*body).call);
        }
        switch (mode) {
        case Mode::Silent:
            return;
        case Mode::Garbage:
            m_client->write(QByteArrayLiteral("\0\0\0\3xyz"));
            return;
        case Mode::Close:
            m_client->close();
            return;
        case Mode::Answer:
            for (std::uint32_t call : m_unanswered) {
                const std::string reply = protocol::encodeReply({call, 0, {}, std::int32_t(call) + offset});
                m_client->write(reply.data(), static_cast<qint64>(reply.size()));
            }
            m_unanswered.clear();
            return;
        }
    }

    QLocalServer m_server;
    QLocalSocket* m_client = nullptr;
    protocol::FrameReader m_frames;
    std::vector<std::uint32_t> m_unanswered;
};

// What a server killed while listening leaves behind: the socket file, with nobody behind it.
void leaveStaleSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), std::min(sizeof(address.sun_path) - 1, std::size_t(name.size())));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    ::close(fd);
}

protocol::Request rowsRequest() {
    return {0, 1, protocol::Operation::Rows, {}};
}

} // namespace

class LocalControlTest final : public QObject {
    Q_OBJECT

private slots:
    void init() { m_name = m_folder.filePath(QStringLiteral("cnc-%1.sock").arg(++m_count)); }

    void linesReachTheServedListAndSurviveARestartOfTheServer();
    void everyMisbehaviourFailsTheCallWithinItsBound_data();
    void everyMisbehaviourFailsTheCallWithinItsBound();
    void lateReplyIsDroppedAndTheNextCallGetsItsOwn();
    void socketLeftByAKilledServerIsTakenOverButALiveOneIsNot();

private:
    QTemporaryDir m_folder;
    QString m_name;
    int m_count = 0;
};

void LocalControlTest::linesReachTheServedListAndSurviveARestartOfTheServer() {
    Simulator first;
    auto server = std::make_unique<LocalControlServer>(first);
    QCOMPARE(server->listen(m_name), QString());
    RemoteControl remote(std::make_shared<LocalControlChannel>(m_name));
    const auto list = remote.createApplication()->NewList();
    list->AddLine("#161=A;");
    QCOMPARE(first.rows(), std::vector<std::string>{"#161=A;"});
    QCOMPARE(errorOf([&] { list->GetLine(5); }), errc::kSubscriptOutOfRange);

    server.reset();
    QTRY_COMPARE(errorOf([&] { list->Rows(); }), errc::kServerUnavailable);
    QCOMPARE(errorOf([&] { remote.createObject(kExeListProgId); }), errc::kCannotCreateObject);

    Simulator second;
    server = std::make_unique<LocalControlServer>(second);
    QCOMPARE(server->listen(m_name), QString());
    remote.createObject(kExeListProgId)->AddLine("#161=B;");
    QCOMPARE(second.rows(), std::vector<std::string>{"#161=B;"});
    QCOMPARE(errorOf([&] { list->Rows(); }), errc::kServerUnavailable);
}

void LocalControlTest::everyMisbehaviourFailsTheCallWithinItsBound_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("connectionLost");
    QTest::newRow("silent") << int(RogueServer::Mode::Silent) << errc::kAutomation << false;
    QTest::newRow("garbage") << int(RogueServer::Mode::Garbage) << errc::kAutomation << true;
    QTest::newRow("closes mid-call") << int(RogueServer::Mode::Close) << errc::kServerUnavailable << true;
}

void LocalControlTest::everyMisbehaviourFailsTheCallWithinItsBound() {
    QFETCH(int, mode);
    QFETCH(int, error);
    QFETCH(bool, connectionLost);
    RogueServer rogue(m_name);
    rogue.mode = static_cast<RogueServer::Mode>(mode);
    constexpr int kBound = 300;
    LocalControlChannel channel(m_name, kBound);
    channel.connect();

    // The window's timers go on while a call waits: the station does not freeze.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(errorOf([&] { channel.call(rowsRequest()); }), error);
    QVERIFY2(elapsed.elapsed() < kBound + 1000, qPrintable(QString::number(elapsed.elapsed())));
    if (mode == int(RogueServer::Mode::Silent)) {
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
    QCOMPARE(channel.connection() == 0, connectionLost);
    // Once the control behaves, a new connection works again.
    rogue.mode = RogueServer::Mode::Answer;
    channel.connect();
    QCOMPARE(errorOf([&] { channel.call(rowsRequest()); }), 0);
}

void LocalControlTest::lateReplyIsDroppedAndTheNextCallGetsItsOwn() {
    RogueServer rogue(m_name);
    rogue.mode = RogueServer::Mode::Silent;
    LocalControlChannel channel(m_name, 100);
    channel.connect();
    QCOMPARE(errorOf([&] { channel.call(rowsRequest()); }), errc::kAutomation);

    rogue.mode = RogueServer::Mode::Answer; // answers the late call first, then the new one
    const protocol::Reply reply = channel.call(rowsRequest());
    QCOMPARE(std::get<std::int32_t>(reply.result), std::int32_t(reply.call) + rogue.offset);
    QCOMPARE(reply.call, 2u);
}

void LocalControlTest::socketLeftByAKilledServerIsTakenOverButALiveOneIsNot() {
    Simulator simulator;
    leaveStaleSocket(m_name);
    QVERIFY(QFile::exists(m_name));
    LocalControlServer live(simulator);
    QCOMPARE(live.listen(m_name), QString());
    LocalControlServer second(simulator);
    QVERIFY(second.listen(m_name).contains(QStringLiteral("another server answers")));
}

QTEST_MAIN(LocalControlTest)
#include "local_control_test.moc"
