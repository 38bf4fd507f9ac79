// The control over a real local socket: the server as cnc-sim runs it, and a client that fails
// each call within its bound whatever the other end does (vanish, stay silent, answer garbage or
// late, close in the middle of a call), and only ever talks to a server in a private folder.
#include "cnc/control_client.h"
#include "cnc/control_protocol.h"
#include "cnc/qt/local_control_server.h"
#include "cnc/qt/local_control_transport.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "fakes/error_of.h"
#include "platform/error.h"

#include <QDir>
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

// A control that greets, then misbehaves as told, speaking just enough of the protocol to do it.
class RogueServer final : public QObject {
public:
    enum class Mode { Silent, Garbage, Close, Answer };

    explicit RogueServer(const QString& name) {
        m_server.listen(name);
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            m_unanswered.clear();
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
            if (body->front() == 'H') {
                const std::string welcome = protocol::encodeWelcome({protocol::decodeHello(*body).session, false, {}});
                m_client->write(welcome.data(), static_cast<qint64>(welcome.size()));
                continue;
            }
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

std::shared_ptr<ControlClient> clientOf(const QString& name, int bound = 2000) {
    return std::make_shared<ControlClient>(std::make_unique<LocalControlTransport>(name),
                                           std::chrono::milliseconds(bound));
}

} // namespace

class LocalControlTest final : public QObject {
    Q_OBJECT

private slots:
    void init() { m_name = m_folder.filePath(QStringLiteral("cnc-%1.sock").arg(++m_count)); }

    void linesReachTheServedListAndSurviveARestartOfTheServer();
    void everyMisbehaviourFailsTheCallWithinItsBound_data();
    void everyMisbehaviourFailsTheCallWithinItsBound();
    void aNameIsServedInTheRuntimeFolder();
    void socketLeftByAKilledServerIsTakenOverButALiveOneIsNot();
    void folderOthersMayEnterIsRefused();

private:
    QTemporaryDir m_folder;
    QString m_name;
    int m_count = 0;
};

void LocalControlTest::linesReachTheServedListAndSurviveARestartOfTheServer() {
    Simulator first;
    auto server = std::make_unique<LocalControlServer>(first);
    QCOMPARE(server->listen(m_name), QString());
    RemoteControl remote(clientOf(m_name));
    const auto list = remote.createApplication()->NewList();
    list->AddLine("#161=A;");
    QCOMPARE(first.rows(), std::vector<std::string>{"#161=A;"});
    QCOMPARE(errorOf([&] { list->GetLine(5); }), errc::kSubscriptOutOfRange);

    server.reset();
    QTRY_COMPARE(errorOf([&] { list->Rows(); }), errc::kCannotCreateObject);
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
    QTest::newRow("silent") << int(RogueServer::Mode::Silent) << errc::kNoAnswer;
    QTest::newRow("garbage") << int(RogueServer::Mode::Garbage) << errc::kNoAnswer;
    QTest::newRow("closes mid-call") << int(RogueServer::Mode::Close) << errc::kNoAnswer;
}

void LocalControlTest::everyMisbehaviourFailsTheCallWithinItsBound() {
    QFETCH(int, mode);
    QFETCH(int, error);
    RogueServer rogue(m_name);
    rogue.mode = static_cast<RogueServer::Mode>(mode);
    constexpr int kBound = 300;
    ControlClient client(std::make_unique<LocalControlTransport>(m_name), std::chrono::milliseconds(kBound));
    client.attach();

    // The window's timers go on while a call waits: the station does not freeze.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(errorOf([&] { client.call(rowsRequest(), 0); }), error);
    QVERIFY2(elapsed.elapsed() < kBound + 1000, qPrintable(QString::number(elapsed.elapsed())));
    if (mode == int(RogueServer::Mode::Silent)) {
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
    // Given up on, the call is held until the control tells what became of it.
    QVERIFY(client.awaitingOutcomes());
    // Once the control behaves, a new connection works again.
    rogue.mode = RogueServer::Mode::Answer;
    QCOMPARE(errorOf([&] { client.call(rowsRequest(), 0); }), 0);
}

void LocalControlTest::aNameIsServedInTheRuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder.path()));
    Simulator simulator;
    LocalControlServer server(simulator);
    QCOMPARE(server.listen(QStringLiteral("named")), QString());
    QCOMPARE(server.socketPath(), m_folder.filePath(QStringLiteral("named")));
    RemoteControl remote(clientOf(QStringLiteral("named")));
    remote.createObject(kExeListProgId)->AddLine("#161=A;");
    QCOMPARE(simulator.rows(), std::vector<std::string>{"#161=A;"});
    qputenv("XDG_RUNTIME_DIR", runtime);
}

void LocalControlTest::socketLeftByAKilledServerIsTakenOverButALiveOneIsNot() {
    Simulator simulator;
    leaveStaleSocket(m_name);
    QVERIFY(QFile::exists(m_name));
    LocalControlServer live(simulator);
    QCOMPARE(live.listen(m_name), QString());
    LocalControlServer second(simulator);
    const QString why = second.listen(m_name);
    QVERIFY2(why.contains(QStringLiteral("another server answers")), qPrintable(why));
}

void LocalControlTest::folderOthersMayEnterIsRefused() {
    const QString open = m_folder.filePath(QStringLiteral("open"));
    QVERIFY(QDir().mkdir(open));
    QVERIFY(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
    Simulator simulator;
    LocalControlServer server(simulator);
    const QString why = server.listen(open + QStringLiteral("/cnc.sock"));
    QVERIFY2(why.contains(QStringLiteral("other users may enter it")), qPrintable(why));
    QVERIFY(!QFile::exists(open + QStringLiteral("/cnc.sock")));
}

QTEST_MAIN(LocalControlTest)
#include "local_control_test.moc"
