#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "cnc/simulator.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace quorlan::cnc::protocol {
namespace {

std::string bodyOf(const std::string& frame) {
    FrameReader reader;
    reader.append(frame);
    return reader.next().value();
}

const std::string kAnyBytes("\x00\xff;\r\n\\\xf1", 7);
const std::string kClock(8, '\x07');

TEST(ControlProtocol, requestsAndRepliesComeBackAsTheyWereSent) {
    const Request requests[] = {
        {1, 0, Operation::CreateApplication, {}},
        {2, 0, Operation::CreateObject, {std::string("Koridan.ExeList")}},
        {3, 7, Operation::SetLine, {std::int32_t{-5}, kAnyBytes}},
        {0xFFFFFFFF, 0xFFFFFFFE, Operation::Quit, {true}, 0xFEDCBA9876543210},
        {5, 9, Operation::AddLine, {std::string()}},
        {6, 9, Operation::Release, {}},
    };
    for (const Request& sent : requests) {
        SCOPED_TRACE(std::string(operationName(sent.operation)));
        const Request received = decodeRequest(bodyOf(encodeRequest(sent)));
        EXPECT_EQ(received.call, sent.call);
        EXPECT_EQ(received.object, sent.object);
        EXPECT_EQ(received.operation, sent.operation);
        EXPECT_EQ(received.arguments, sent.arguments);
        EXPECT_EQ(received.clock, sent.clock);
    }
    const Reply replies[] = {
        {1, 0, {}, std::monostate{}},
        {2, 0, {}, false},
        {3, 0, {}, std::int32_t{-2147483647 - 1}},
        {4, 0, {}, kAnyBytes},
        {5, 0, {}, std::vector<std::string>{"#161", "", kAnyBytes}},
        {6, 0, {}, ObjectHandle{42}},
        {7, 53, "File not found", std::monostate{}},
        {8, -2147467259, kAnyBytes, std::monostate{}, 0xFFFFFFFFFFFFFFFF},
    };
    for (const Reply& sent : replies) {
        SCOPED_TRACE(sent.call);
        const Reply received = decodeReply(bodyOf(encodeReply(sent)));
        EXPECT_EQ(received.call, sent.call);
        EXPECT_EQ(received.error, sent.error);
        EXPECT_EQ(received.description, sent.description);
        EXPECT_EQ(received.result, sent.result);
        EXPECT_EQ(received.clock, sent.clock);
    }
    EXPECT_EQ(decodePong(bodyOf(encodePong(0x0123456789ABCDEF))), 0x0123456789ABCDEFu);
    EXPECT_NO_THROW(decodePing(bodyOf(encodePing())));
    EXPECT_THROW(decodePing(bodyOf(encodePong(1))), ProtocolError);
    EXPECT_THROW(decodePong(bodyOf(encodePing())), ProtocolError);
    EXPECT_THROW(decodePong("T\0\0\0\0\0\0\0"), ProtocolError);
}

// A station and a control of other versions must still agree: no operation's code or name moves.
TEST(ControlProtocol, everyOperationKeepsItsCodeAndName) {
    std::string byCode;
    for (int code = 0; code <= 255; ++code) {
        byCode += std::string(operationName(static_cast<Operation>(code))) + (code % 8 == 7 ? "\n" : " ");
    }
    const std::string unknown = "? ? ? ? ? ? ? ?\n";
    std::string expected = "? CreateApplication CreateObject Application.Visible Application.Visible Connected "
                           "AccessLevel WindowState\n"
                           "ListOpened Quit OpenList NewList StartList HoldList EndList Setpoint\n"
                           "EnableOpenList EnableSaveList EnableNewList ShowOnTop ListInRun Visible Visible Columns\n"
                           "Rows RepetitionCount ExeRow ColumnInfo AddLine DelLine GetLine SetLine\n"
                           "AppendList Clear ViewWorks ViewWorksThrought CloseList ? ? ?\n";
    for (int line = 5; line < 31; ++line) {
        expected += unknown;
    }
    expected += "? ? ? ? ? ? ? Release\n";
    EXPECT_EQ(byCode, expected);
    EXPECT_EQ(encodeRequest({1, 2, Operation::SetLine, {std::int32_t{3}, std::string("x")}, 0x0102}),
              std::string("\0\0\0\x1e"
                          "Q\0\0\0\1\0\0\0\0\0\0\1\2\0\0\0\2\x1f\2"
                          "I\0\0\0\3"
                          "S\0\0\0\1x",
                          34));
}

TEST(ControlProtocol, anyBodyThatIsNotWhatItClaimsIsRefused) {
    const std::string request = bodyOf(encodeRequest({1, 2, Operation::SetLine, {std::int32_t{1}, kAnyBytes}}));
    const std::string reply = bodyOf(encodeReply({1, 0, {}, std::vector<std::string>{"a", "b"}}));
    for (std::size_t cut = 0; cut < request.size(); ++cut) {
        EXPECT_THROW(decodeRequest(request.substr(0, cut)), ProtocolError) << "request cut at " << cut;
    }
    for (std::size_t cut = 0; cut < reply.size(); ++cut) {
        EXPECT_THROW(decodeReply(reply.substr(0, cut)), ProtocolError) << "reply cut at " << cut;
    }
    const struct {
        const char* what;
        std::string body;
        bool isRequest;
    } cases[] = {
        {"a reply where a request belongs", reply, true},
        {"a request where a reply belongs", request, false},
        {"bytes after the end", request + "x", true},
        {"unknown operation", std::string("Q\0\0\0\1") + kClock + std::string("\0\0\0\0\x77\0", 6), true},
        {"unknown value tag", std::string("R\0\0\0\1") + kClock + std::string("\0\0\0\0X", 5), false},
        {"Boolean that is 2", std::string("R\0\0\0\1") + kClock + std::string("\0\0\0\0B\2", 6), false},
        {"list counting more texts than it has bytes",
         std::string("R\0\0\0\1") + kClock + std::string("\0\0\0\0L\xff\xff\xff\xff", 9), false},
        {"text longer than its message", std::string("R\0\0\0\1") + kClock + std::string("\0\0\0\0S\0\0\0\11abc", 12),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.isRequest) {
            EXPECT_THROW(decodeRequest(c.body), ProtocolError);
        } else {
            EXPECT_THROW(decodeReply(c.body), ProtocolError);
        }
    }
}

TEST(ControlProtocol, greetingsComeBackAsTheyWereSentAndRefuseWhatIsNotOne) {
    Token token{};
    token.fill(0xA5);
    const Hello hello{kVersion, token, {1, 0xFFFFFFFF, 7}, kMaxBoundMs};
    const Hello heard = decodeHello(bodyOf(encodeHello(hello)));
    EXPECT_EQ(heard.session, hello.session);
    EXPECT_EQ(heard.asked, hello.asked);
    EXPECT_EQ(heard.boundMs, hello.boundMs);
    const Welcome welcome{token,
                          true,
                          {{1, CallOutcome::Ran, 0},
                           {2, CallOutcome::Ran, -5},
                           {3, CallOutcome::NeverRan, 0},
                           {4, CallOutcome::Forgotten, 0}},
                          0x8000000000000001};
    const Welcome told = decodeWelcome(bodyOf(encodeWelcome(welcome)));
    EXPECT_EQ(told.session, welcome.session);
    EXPECT_EQ(told.resumed, welcome.resumed);
    EXPECT_EQ(told.answers, welcome.answers);
    EXPECT_EQ(told.clock, welcome.clock);

    const std::string helloBody = bodyOf(encodeHello(hello));
    for (std::size_t cut = 0; cut < helloBody.size(); ++cut) {
        EXPECT_THROW(decodeHello(helloBody.substr(0, cut)), ProtocolError) << "greeting cut at " << cut;
    }
    const std::string welcomeBody = bodyOf(encodeWelcome(welcome));
    for (std::size_t cut = 0; cut < welcomeBody.size(); ++cut) {
        EXPECT_THROW(decodeWelcome(welcomeBody.substr(0, cut)), ProtocolError) << "welcome cut at " << cut;
    }
    std::string otherVersion = helloBody;
    otherVersion[4] = 9;
    EXPECT_THROW(decodeHello(otherVersion), ProtocolError);
    EXPECT_THROW(decodeHello(bodyOf(encodeHello({kVersion, token, std::vector<std::uint32_t>(kMaxAskedCalls + 1)}))),
                 ProtocolError);
    for (const std::uint32_t bound : {0u, kMaxBoundMs + 1}) {
        EXPECT_THROW(decodeHello(bodyOf(encodeHello({kVersion, token, {}, bound}))), ProtocolError) << bound;
    }
    std::string strangeOutcome = welcomeBody;
    strangeOutcome[1 + 16 + 1 + 8 + 4 + 4] = 'X';
    EXPECT_THROW(decodeWelcome(strangeOutcome), ProtocolError);
}

TEST(ControlProtocol, framesComeOutWholeHoweverTheStreamIsCut) {
    const std::string stream = encodeRequest({1, 0, Operation::CreateApplication, {}}) +
                               encodeRequest({2, 5, Operation::AddLine, {std::string(70000, 'x')}}) +
                               encodeRequest({3, 5, Operation::Clear, {}});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, stream.size()}) {
        SCOPED_TRACE(chunk);
        FrameReader reader;
        std::vector<std::uint32_t> calls;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.append(std::string_view(stream).substr(at, chunk));
            while (const auto body = reader.next()) {
                calls.push_back(decodeRequest(*body).call);
            }
        }
        EXPECT_EQ(calls, (std::vector<std::uint32_t>{1, 2, 3}));
        EXPECT_TRUE(reader.empty());
    }
    FrameReader reader;
    reader.append(std::string("\x00\x40\x00\x01", 4)); // one byte over the largest body
    EXPECT_THROW(reader.next(), ProtocolError);
}

TEST(ControlSession, answersRequestsThatCannotBePerformedWithAnErrorAndGoesOn) {
    Simulator simulator;
    ControlSession session(simulator);
    const auto ask = [&session](Request request) {
        return decodeReply(bodyOf(encodeReply(session.answer(decodeRequest(bodyOf(encodeRequest(request)))).value())));
    };
    const std::uint32_t application = std::get<ObjectHandle>(ask({1, 0, Operation::CreateApplication, {}}).result).id;
    const struct {
        const char* what;
        Request request;
        int error;
    } cases[] = {
        {"too few arguments", {2, application, Operation::SetWindowState, {}}, platform::errc::kWrongArguments},
        {"too many arguments", {3, application, Operation::StartList, {true}}, platform::errc::kWrongArguments},
        {"argument of another kind", {4, application, Operation::OpenList, {true}}, platform::errc::kTypeMismatch},
        {"list operation on the application",
         {5, application, Operation::AddLine, {std::string("x")}},
         platform::errc::kNoSuchMethod},
        {"object never handed out", {6, 999, Operation::Rows, {}}, platform::errc::kServerUnavailable},
        {"the control's own error",
         {7, 0, Operation::CreateObject, {std::string("Other.Thing")}},
         platform::errc::kCannotCreateObject},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Reply reply = ask(c.request);
        EXPECT_EQ(reply.call, c.request.call);
        EXPECT_EQ(reply.error, c.error);
        EXPECT_FALSE(reply.description.empty());
    }
    const std::uint32_t list = std::get<ObjectHandle>(ask({8, application, Operation::NewList, {}}).result).id;
    EXPECT_EQ(ask({9, list, Operation::AddLine, {std::string("#161=A;")}}).error, 0);
    EXPECT_EQ(simulator.rows(), std::vector<std::string>{"#161=A;"});
    EXPECT_EQ(session.objectCount(), 2u);
    EXPECT_FALSE(session.answer({0, list, Operation::Release, {}}));
    EXPECT_EQ(session.objectCount(), 1u);
    EXPECT_EQ(ask({10, list, Operation::Rows, {}}).error, platform::errc::kServerUnavailable);
}

} // namespace
} // namespace quorlan::cnc::protocol
