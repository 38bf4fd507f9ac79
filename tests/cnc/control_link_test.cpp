#include "cnc/authenticated_transport.h"
#include "cnc/control_link.h"
#include "cnc/control_link_server.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "fakes/fake_clock.h"
#include "platform/error.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace quorlan::cnc {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kKey(32, '\x5a');
const std::string kOtherKey(32, '\x5b');
const auto kThere = [] { return true; };

std::string bodyOf(const std::string& frame) {
    return frame.substr(4);
}

// The frames of a byte stream, each with its length.
std::vector<std::string> framesOf(std::string bytes) {
    std::vector<std::string> frames;
    while (bytes.size() >= 4) {
        const std::size_t length = (std::size_t{static_cast<unsigned char>(bytes[0])} << 24) |
                                   (std::size_t{static_cast<unsigned char>(bytes[1])} << 16) |
                                   (std::size_t{static_cast<unsigned char>(bytes[2])} << 8) |
                                   static_cast<unsigned char>(bytes[3]);
        frames.push_back(bytes.substr(0, 4 + length));
        bytes.erase(0, 4 + length);
    }
    return frames;
}

// The serving end of a bridge over the simulator, and stations that connect to it without sockets.
class LinkTest : public ::testing::Test {
protected:
    LinkTest() {
        simulator.setJournal([this](const std::string& line) { journal.push_back(line); });
    }

    // A connection of a station that holds key, through its handshake; what the station sent is
    // kept, as one who listens on the network could.
    struct Station {
        Station(LinkServer::ConnectionId connection, const std::string& key)
            : id(connection), end(LinkEnd::Side::Station, key) {}
        LinkServer::ConnectionId id = 0;
        LinkEnd end;
        std::string sent;
        std::uint32_t lastCall = 0;
        std::uint32_t exeList = 0;
    };

    Station connect(const std::string& key = kKey) {
        Station station(server.accept("station").id, key);
        std::string payload;
        const std::string proof = station.end.receive(give(station, station.end.greeting()).send, payload);
        give(station, proof);
        return station;
    }

    LinkServer::Received give(Station& station, const std::string& bytes) {
        station.sent += bytes;
        return server.receive(station.id, bytes, kThere);
    }

    // The protocol's bytes sealed and sent; the protocol's answer unsealed.
    std::string exchange(Station& station, const std::string& protocolBytes) {
        const LinkServer::Received received = give(station, station.end.seal(protocolBytes));
        EXPECT_FALSE(received.close);
        std::string payload;
        station.end.receive(received.send, payload);
        return payload;
    }

    // Greets, makes the list and adds a line, as the station does.
    void addLine(Station& station, const std::string& line) {
        if (station.exeList == 0) {
            exchange(station, protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
            const std::string reply = exchange(station, createList(station));
            station.exeList = std::get<protocol::ObjectHandle>(protocol::decodeReply(bodyOf(reply)).result).id;
        }
        exchange(station, addLineRequest(station, line));
    }

    std::string createList(Station& station) {
        return protocol::encodeRequest(
            {++station.lastCall, 0, Operation::CreateObject, {std::string(kExeListProgId)}, service.clock()});
    }
    std::string addLineRequest(Station& station, const std::string& line) {
        return protocol::encodeRequest(
            {++station.lastCall, station.exeList, Operation::AddLine, {line}, service.clock()});
    }

    testing::FakeClock clock;
    Simulator simulator;
    std::vector<std::string> journal;
    // The lines that reached the list.
    std::vector<std::string> added() const {
        std::vector<std::string> lines;
        std::copy_if(journal.begin(), journal.end(), std::back_inserter(lines),
                     [](const std::string& entry) { return entry.starts_with("AddLine "); });
        return lines;
    }
    ControlService service{simulator, {}, &clock};
    std::vector<std::string> notes;
    LinkServer server{service, kKey, clock, [this](const std::string& note) { notes.push_back(note); }};
};

TEST_F(LinkTest, stationThatHoldsTheKeyIsServedAndItsLinesReachTheControlOnce) {
    Station station = connect();
    EXPECT_TRUE(station.end.established());
    EXPECT_EQ(server.provenCount(), 1u);
    addLine(station, "#161=A;");
    addLine(station, "#161=B;");
    EXPECT_THAT(added(), ElementsAre("AddLine #161=A;", "AddLine #161=B;"));
    EXPECT_THAT(notes, ElementsAre("station: a station proved that it holds the key, and is served"));
}

TEST_F(LinkTest, protocolBytesLargerThanOneRecordArriveWhole) {
    LinkEnd station(LinkEnd::Side::Station, kKey);
    LinkEnd control(LinkEnd::Side::Control, kKey);
    std::string ignored;
    const std::string answer = control.receive(station.greeting(), ignored);
    control.receive(station.receive(answer, ignored), ignored);
    ASSERT_TRUE(control.established());
    std::string big(kMaxRecordPayload * 2 + 5, 'x');
    big[kMaxRecordPayload] = 'y';
    const std::string sealed = station.seal(big);
    EXPECT_EQ(framesOf(sealed).size(), 3u);
    std::string payload;
    control.receive(sealed, payload);
    EXPECT_EQ(payload, big);
}

// Whatever an attacker sends on a connection of its own ends that connection, nothing of it runs,
// and the station's own connection, open beside it all along, goes on working.
TEST_F(LinkTest, anythingButTheKeysHolderEndsItsConnectionAndNothingOfItRuns) {
    Station own = connect();
    addLine(own, "#161=OWN;");
    // What a station sent in a whole session, as someone listening on the network has it.
    Station recorded = connect();
    addLine(recorded, "#161=RECORDED;");
    server.closed(recorded.id);
    journal.clear();

    std::mt19937 random(20);
    const auto randomBytes = [&random](std::size_t count) {
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i) {
            bytes += static_cast<char>(random());
        }
        return bytes;
    };
    // Each attack gets a connection and sends its bytes, perhaps after a handshake of its own.
    const struct {
        const char* what;
        std::function<std::string(Station&)> attack;
        const char* noted;
        bool proven = false; // the attack comes after a handshake with the key
    } cases[] = {
        {"the protocol spoken without the link",
         [](Station&) {
             return protocol::encodeHello({protocol::kVersion, {}, {}, 2000});
         },
         "does not speak"},
        {"a greeting of another version",
         [](Station&) { return protocol::frameOf("QLNK" + std::string("\0\0\0\2", 4) + std::string(32, 'n')); },
         "another version"},
        {"a proof made with another key",
         [this](Station& s) {
             s.end = LinkEnd(LinkEnd::Side::Station, kOtherKey);
             const std::string answer = bodyOf(give(s, s.end.greeting()).send);
             const std::string stationNonce = bodyOf(s.sent).substr(8, kNonceBytes);
             const platform::Mac proof = platform::hmacSha256(
                 kOtherKey, {"quorlan station proof", stationNonce, answer.substr(8, kNonceBytes)});
             return protocol::frameOf(std::string(proof.begin(), proof.end()));
         },
         "does not hold the key"},
        {"a recorded session played back", [&recorded](Station&) { return recorded.sent; }, "does not hold the key"},
        {"a greeting longer than a greeting",
         [](Station&) { return std::string("\0\0\0\x49", 4) + std::string(0x49, 'Q'); }, "does not speak"},
        {"random bytes", [&](Station&) { return randomBytes(4096); }, "closed"},
        {"a flipped bit in a request",
         [this](Station& s) {
             std::string sealed = s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
             sealed[12] = static_cast<char>(sealed[12] ^ 0x04);
             return sealed;
         },
         "no holder of the key", true},
        {"a flipped bit in a MAC",
         [this](Station& s) {
             std::string sealed = s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
             sealed.back() = static_cast<char>(sealed.back() ^ 0x80);
             return sealed;
         },
         "no holder of the key", true},
        {"records in another order",
         [this](Station& s) {
             const std::string hello = s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
             const std::string request = s.end.seal(createList(s));
             return request + hello;
         },
         "no holder of the key", true},
        {"a record left out",
         [this](Station& s) {
             s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
             return s.end.seal(createList(s));
         },
         "no holder of the key", true},
        {"a record of the session played back into its own connection",
         [this](Station& s) {
             const std::string hello = s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}));
             return hello + hello;
         },
         "no holder of the key", true},
        {"the bridge's own record sent back to it",
         [this](Station& s) {
             return give(s, s.end.seal(protocol::encodeHello({protocol::kVersion, {}, {}, 2000}))).send;
         },
         "no holder of the key", true},
        {"a record longer than any", [](Station&) { return std::string("\xff\xff\xff\xf0", 4); }, "longer than", true},
        {"random bytes after the handshake", [&](Station&) { return randomBytes(4096); }, "no holder of the key", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        notes.clear();
        Station attacker = c.proven ? connect() : Station(server.accept("attacker").id, kKey);
        const std::string bytes = c.attack(attacker);
        const LinkServer::Received received = give(attacker, bytes);
        EXPECT_TRUE(received.close);
        EXPECT_TRUE(received.send.empty());
        ASSERT_FALSE(notes.empty());
        EXPECT_THAT(notes.back(), HasSubstr(c.noted));
        EXPECT_THAT(journal, IsEmpty());
        EXPECT_EQ(server.connectionCount(), 1u); // the station's own alone

        addLine(own, "#161=STILL;");
        EXPECT_THAT(journal, ElementsAre("AddLine #161=STILL;"));
        journal.clear();
    }
}

TEST_F(LinkTest, stationTellsAControlWithAnotherKeyFromOneThatIsNoBridge) {
    const struct {
        const char* what;
        std::function<std::string(const std::string& greeting)> answer;
        LinkError::Kind kind;
    } cases[] = {
        {"another key",
         [](const std::string& greeting) {
             LinkEnd other(LinkEnd::Side::Control, kOtherKey);
             std::string ignored;
             return other.receive(greeting, ignored);
         },
         LinkError::Kind::WrongKey},
        {"its own proof sent back", [](const std::string& greeting) { return greeting; }, LinkError::Kind::NotALink},
        {"the protocol's welcome", [](const std::string&) { return protocol::encodeWelcome({}); },
         LinkError::Kind::NotALink},
        {"a length far too long", [](const std::string&) { return std::string("\0\1\0\0", 4); },
         LinkError::Kind::NotALink},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LinkEnd station(LinkEnd::Side::Station, kKey);
        std::string payload;
        try {
            station.receive(c.answer(station.greeting()), payload);
            ADD_FAILURE() << "accepted";
        } catch (const LinkError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
        }
        EXPECT_FALSE(station.established());
    }
}

TEST_F(LinkTest, connectionThatDoesNotProveTheKeyInTimeIsClosed) {
    const LinkServer::ConnectionId silent = server.accept("silent").id;
    clock.advanceMs(1000);
    const LinkServer::ConnectionId halfway = server.accept("halfway").id;
    LinkEnd end(LinkEnd::Side::Station, kKey);
    EXPECT_FALSE(server.receive(halfway, end.greeting(), kThere).close);
    Station station = connect();

    EXPECT_EQ(server.msUntilNextExpiry(), LinkServer::kHandshakeMs - 1000);
    clock.advanceMs(LinkServer::kHandshakeMs - 1001);
    EXPECT_THAT(server.expire(), IsEmpty());
    clock.advanceMs(1);
    EXPECT_THAT(server.expire(), ElementsAre(silent));
    clock.advanceMs(1000);
    EXPECT_THAT(server.expire(), ElementsAre(halfway));
    EXPECT_EQ(server.msUntilNextExpiry(), -1);
    EXPECT_THAT(notes, ::testing::Contains(HasSubstr("silent: closed: it said nothing")));
    EXPECT_THAT(notes, ::testing::Contains(HasSubstr("halfway: closed: it began the handshake but did not prove")));

    clock.advanceMs(3600 * 1000); // the proven one stays however quiet it is
    EXPECT_THAT(server.expire(), IsEmpty());
    addLine(station, "#161=LATER;");
    EXPECT_THAT(added(), ElementsAre("AddLine #161=LATER;"));
}

// A flood of connections that say nothing closes the oldest of them, never the station's own, and a
// station that connects during the flood gets in.
TEST_F(LinkTest, floodOfIdleConnectionsNeitherKeepsTheStationOutNorClosesItsConnection) {
    Station before = connect();
    std::vector<LinkServer::ConnectionId> closed;
    for (int i = 0; i < 100; ++i) {
        const LinkServer::Accepted accepted = server.accept("idle");
        closed.insert(closed.end(), accepted.closed.begin(), accepted.closed.end());
    }
    EXPECT_EQ(closed.size(), 100 - LinkServer::kMaxUnproven);
    EXPECT_EQ(std::count(closed.begin(), closed.end(), before.id), 0);
    EXPECT_EQ(server.connectionCount(), LinkServer::kMaxUnproven + 1);

    Station during = connect();
    EXPECT_TRUE(during.end.established());
    addLine(before, "#161=BEFORE;");
    addLine(during, "#161=DURING;");
    EXPECT_THAT(added(), ElementsAre("AddLine #161=BEFORE;", "AddLine #161=DURING;"));
}

TEST_F(LinkTest, oneConnectionMoreThanTheControlServesClosesTheQuietestOne) {
    std::vector<Station> stations;
    for (std::size_t i = 0; i < protocol::kMaxClients; ++i) {
        stations.push_back(connect());
        clock.advanceMs(10);
    }
    addLine(stations.front(), "#161=FIRST;"); // now the second is the quietest
    Station extra(server.accept("extra").id, kKey);
    std::string payload;
    const std::string proof = extra.end.receive(give(extra, extra.end.greeting()).send, payload);
    const LinkServer::Received received = give(extra, proof);
    EXPECT_THAT(received.closed, ElementsAre(stations[1].id));
    EXPECT_EQ(server.provenCount(), protocol::kMaxClients);
    addLine(extra, "#161=EXTRA;");
    EXPECT_THAT(added(), ElementsAre("AddLine #161=FIRST;", "AddLine #161=EXTRA;"));
}

// The station's end over a connection to the serving end, in this process: what one sends, the
// other receives at once.
class Pipe final : public ControlTransport {
public:
    explicit Pipe(LinkServer& server) : m_server(server) {}
    std::string where() const override { return "the CNC control at tcp:bridge:4711"; }
    void open() override {
        m_id = m_server.accept("station").id;
        m_open = true;
        ++opened;
    }
    void close() noexcept override {
        if (m_open) {
            m_server.closed(m_id);
        }
        m_open = false;
        m_arrived.clear();
    }
    bool isOpen() const override { return m_open; }
    bool send(const std::string& frame) override {
        const LinkServer::Received received = m_server.receive(m_id, frame, kThere);
        if (received.close) {
            m_open = false;
        }
        for (const std::string& reply : framesOf(received.send)) {
            m_arrived.push_back(bodyOf(reply));
        }
        return true;
    }
    Arrival receive(std::chrono::milliseconds) override {
        if (m_arrived.empty()) {
            return m_open ? Arrival{} : Arrival{Arrival::Kind::Closed, {}, "closed the connection"};
        }
        Arrival arrival{Arrival::Kind::Frame, m_arrived.front(), {}};
        m_arrived.pop_front();
        return arrival;
    }

    int opened = 0;

private:
    LinkServer& m_server;
    LinkServer::ConnectionId m_id = 0;
    bool m_open = false;
    std::deque<std::string> m_arrived;
};

TEST_F(LinkTest, stationReachesTheControlThroughTheLinkAndSaysPlainlyWhyNot) {
    const struct {
        const char* what;
        std::string key;
        std::string keyProblem;
        const char* told; // empty: the line reaches the list
    } cases[] = {
        {"the same key", kKey, {}, ""},
        {"another key", kOtherKey, {}, "is refused: it holds another key than this station"},
        {"no key file", {}, "the key file /etc/k cannot be read", "cannot be reached: the key file /etc/k"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        journal.clear();
        auto pipe = std::make_unique<Pipe>(server);
        Pipe& wire = *pipe;
        RemoteControl control(std::make_shared<ControlClient>(
            std::make_unique<AuthenticatedTransport>(std::move(pipe), c.key, c.keyProblem),
            ControlClient::kDefaultBound, &clock));
        if (*c.told == '\0') {
            control.createObject(kExeListProgId)->AddLine("#161=LINK;");
            EXPECT_THAT(added(), ElementsAre("AddLine #161=LINK;"));
            continue;
        }
        try {
            control.createObject(kExeListProgId);
            ADD_FAILURE() << "reached";
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), platform::errc::kCannotCreateObject);
            EXPECT_THAT(error.description(), HasSubstr("the CNC control at tcp:bridge:4711"));
            EXPECT_THAT(error.description(), HasSubstr(c.told));
        }
        EXPECT_THAT(journal, IsEmpty());
        EXPECT_EQ(wire.opened, c.keyProblem.empty() ? 1 : 0);
        if (c.keyProblem.empty()) { // the bridge's side says why the station went
            ASSERT_FALSE(notes.empty());
            EXPECT_THAT(notes.back(), HasSubstr("hung up during the handshake: a station whose key differs"));
        }
    }
}

} // namespace
} // namespace quorlan::cnc
