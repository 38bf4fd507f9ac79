#include "cnc/control_protocol.h"

#include <algorithm>
#include <utility>

namespace quorlan::cnc::protocol {

namespace {

constexpr std::size_t kLengthBytes = 4;

class Writer {
public:
    void u8(std::uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void u32(std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            u8(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void u64(std::uint64_t value) {
        u32(static_cast<std::uint32_t>(value >> 32));
        u32(static_cast<std::uint32_t>(value));
    }
    void kind(BodyKind kind) { u8(static_cast<std::uint8_t>(kind)); }
    void text(std::string_view value) {
        u32(static_cast<std::uint32_t>(value.size()));
        m_bytes.append(value);
    }
    void token(const Token& token) { m_bytes.append(token.begin(), token.end()); }
    void value(const Value& value) {
        struct Visit {
            Writer& out;
            void operator()(std::monostate) const { out.u8('N'); }
            void operator()(bool b) const {
                out.u8('B');
                out.u8(b ? 1 : 0);
            }
            void operator()(std::int32_t i) const {
                out.u8('I');
                out.i32(i);
            }
            void operator()(const std::string& s) const {
                out.u8('S');
                out.text(s);
            }
            void operator()(const std::vector<std::string>& list) const {
                out.u8('L');
                out.u32(static_cast<std::uint32_t>(list.size()));
                for (const std::string& s : list) {
                    out.text(s);
                }
            }
            void operator()(ObjectHandle handle) const {
                out.u8('O');
                out.u32(handle.id);
            }
        };
        std::visit(Visit{*this}, value);
    }

    // The body written so far, with its length in front.
    std::string frame() && { return frameOf(m_bytes); }
    std::string bytes() && { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1).front()); }
    std::uint32_t u32() {
        std::uint32_t value = 0;
        for (char byte : take(4)) {
            value = (value << 8) | static_cast<std::uint8_t>(byte);
        }
        return value;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64() {
        const std::uint64_t high = u32();
        return (high << 32) | u32();
    }
    std::string text() { return std::string(take(u32())); }
    Token token() {
        Token token{};
        const std::string_view bytes = take(token.size());
        std::copy(bytes.begin(), bytes.end(), token.begin());
        return token;
    }
    // A count of items of at least itemBytes each: more than the rest of the message holds is a
    // lie, not a reason to allocate.
    std::uint32_t count(std::size_t itemBytes) {
        const std::uint32_t count = u32();
        if (count > m_bytes.size() / itemBytes) {
            throw ProtocolError("count larger than its message");
        }
        return count;
    }
    Value value() {
        switch (u8()) {
        case 'N':
            return std::monostate{};
        case 'B':
            return boolean();
        case 'I':
            return i32();
        case 'S':
            return text();
        case 'L':
            return list();
        case 'O':
            return ObjectHandle{u32()};
        default:
            throw ProtocolError("unknown value tag");
        }
    }
    void expectKind(BodyKind kind, const char* what) {
        if (u8() != static_cast<std::uint8_t>(kind)) {
            throw ProtocolError(std::string("not a ") + what);
        }
    }
    void expectEnd() const {
        if (!m_bytes.empty()) {
            throw ProtocolError("bytes after the end of the message");
        }
    }

private:
    std::string_view take(std::size_t count) {
        if (count > m_bytes.size()) {
            throw ProtocolError("message cut short");
        }
        const std::string_view taken = m_bytes.substr(0, count);
        m_bytes.remove_prefix(count);
        return taken;
    }
    bool boolean() {
        const std::uint8_t b = u8();
        if (b > 1) {
            throw ProtocolError("Boolean neither 0 nor 1");
        }
        return b == 1;
    }
    std::vector<std::string> list() {
        const std::uint32_t total = count(4);
        std::vector<std::string> items;
        items.reserve(total);
        for (std::uint32_t i = 0; i < total; ++i) {
            items.push_back(text());
        }
        return items;
    }

    std::string_view m_bytes;
};

} // namespace

std::string frameOf(std::string_view body) {
    Writer out;
    out.u32(static_cast<std::uint32_t>(body.size()));
    return std::move(out).bytes() += body;
}

std::string_view operationName(Operation operation) {
    if (operation == Operation::Release) {
        return "Release";
    }
    const OperationInfo* info = describe(operation);
    return info == nullptr ? "?" : info->name;
}

std::size_t argumentCount(Operation operation) {
    const OperationInfo* info = describe(operation);
    return info == nullptr ? 0 : info->arguments;
}

std::string encodeRequest(const Request& request) {
    Writer out;
    out.kind(BodyKind::Request);
    out.u32(request.call);
    out.u64(request.clock);
    out.u32(request.object);
    out.u8(static_cast<std::uint8_t>(request.operation));
    out.u8(static_cast<std::uint8_t>(request.arguments.size()));
    for (const Value& argument : request.arguments) {
        out.value(argument);
    }
    return std::move(out).frame();
}

std::string encodeReply(const Reply& reply) {
    Writer out;
    out.kind(BodyKind::Reply);
    out.u32(reply.call);
    out.u64(reply.clock);
    out.i32(reply.error);
    if (reply.error == 0) {
        out.value(reply.result);
    } else {
        out.text(reply.description);
    }
    return std::move(out).frame();
}

Request decodeRequest(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Request, "request");
    Request request;
    request.call = in.u32();
    request.clock = in.u64();
    request.object = in.u32();
    request.operation = static_cast<Operation>(in.u8());
    if (request.operation != Operation::Release && describe(request.operation) == nullptr) {
        throw ProtocolError("unknown operation");
    }
    const std::uint8_t count = in.u8();
    for (std::uint8_t i = 0; i < count; ++i) {
        request.arguments.push_back(in.value());
    }
    in.expectEnd();
    return request;
}

Reply decodeReply(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Reply, "reply");
    Reply reply;
    reply.call = in.u32();
    reply.clock = in.u64();
    reply.error = in.i32();
    if (reply.error == 0) {
        reply.result = in.value();
    } else {
        reply.description = in.text();
    }
    in.expectEnd();
    return reply;
}

std::string encodeHello(const Hello& hello) {
    Writer out;
    out.kind(BodyKind::Hello);
    out.u32(hello.version);
    out.u32(hello.boundMs);
    out.token(hello.session);
    out.u32(static_cast<std::uint32_t>(hello.asked.size()));
    for (const std::uint32_t call : hello.asked) {
        out.u32(call);
    }
    return std::move(out).frame();
}

std::string encodeWelcome(const Welcome& welcome) {
    Writer out;
    out.kind(BodyKind::Welcome);
    out.token(welcome.session);
    out.u8(welcome.resumed ? 1 : 0);
    out.u64(welcome.clock);
    out.u32(static_cast<std::uint32_t>(welcome.answers.size()));
    for (const AskedCall& answer : welcome.answers) {
        out.u32(answer.call);
        out.u8(static_cast<std::uint8_t>(answer.outcome));
        if (answer.outcome == CallOutcome::Ran) {
            out.i32(answer.error);
        }
    }
    return std::move(out).frame();
}

Hello decodeHello(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Hello, "greeting");
    Hello hello;
    hello.version = in.u32();
    if (hello.version != kVersion) {
        throw ProtocolError("protocol version " + std::to_string(hello.version) + ", not " + std::to_string(kVersion));
    }
    hello.boundMs = in.u32();
    if (hello.boundMs == 0 || hello.boundMs > kMaxBoundMs) {
        throw ProtocolError("a bound of " + std::to_string(hello.boundMs) + " ms, not 1 to " +
                            std::to_string(kMaxBoundMs));
    }
    hello.session = in.token();
    const std::uint32_t asked = in.count(4);
    if (asked > kMaxAskedCalls) {
        throw ProtocolError("a greeting asks about more than " + std::to_string(kMaxAskedCalls) + " calls");
    }
    for (std::uint32_t i = 0; i < asked; ++i) {
        hello.asked.push_back(in.u32());
    }
    in.expectEnd();
    return hello;
}

Welcome decodeWelcome(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Welcome, "welcome");
    Welcome welcome;
    welcome.session = in.token();
    const std::uint8_t resumed = in.u8();
    if (resumed > 1) {
        throw ProtocolError("resumed neither 0 nor 1");
    }
    welcome.resumed = resumed == 1;
    welcome.clock = in.u64();
    const std::uint32_t answers = in.count(5);
    for (std::uint32_t i = 0; i < answers; ++i) {
        AskedCall answer;
        answer.call = in.u32();
        answer.outcome = static_cast<CallOutcome>(in.u8());
        switch (answer.outcome) {
        case CallOutcome::Ran:
            answer.error = in.i32();
            break;
        case CallOutcome::NeverRan:
        case CallOutcome::Forgotten:
            break;
        default:
            throw ProtocolError("unknown outcome of a call");
        }
        welcome.answers.push_back(answer);
    }
    in.expectEnd();
    return welcome;
}

std::optional<BodyKind> kindOf(std::string_view body) {
    if (body.empty()) {
        return std::nullopt;
    }
    return static_cast<BodyKind>(body.front());
}

std::string encodePing() {
    Writer out;
    out.kind(BodyKind::Ping);
    return std::move(out).frame();
}

std::string encodePong(ControlClock clock) {
    Writer out;
    out.kind(BodyKind::Pong);
    out.u64(clock);
    return std::move(out).frame();
}

void decodePing(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Ping, "ping");
    in.expectEnd();
}

ControlClock decodePong(std::string_view body) {
    Reader in(body);
    in.expectKind(BodyKind::Pong, "pong");
    const ControlClock clock = in.u64();
    in.expectEnd();
    return clock;
}

std::size_t FrameReader::waiting() const {
    std::size_t frames = 0;
    std::string_view rest = std::string_view(m_buffer).substr(m_start);
    while (rest.size() >= kLengthBytes) {
        const std::uint32_t length = Reader(rest.substr(0, kLengthBytes)).u32();
        if (length > m_maxBody || rest.size() - kLengthBytes < length) {
            break;
        }
        ++frames;
        rest.remove_prefix(kLengthBytes + length);
    }
    return frames;
}

void FrameReader::append(std::string_view bytes) {
    // Bodies already taken are dropped before more bytes come in, so the buffer never keeps them.
    if (m_start > 0) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    m_buffer.append(bytes);
}

std::optional<std::string> FrameReader::next() {
    const std::string_view rest = std::string_view(m_buffer).substr(m_start);
    if (rest.size() < kLengthBytes) {
        return std::nullopt;
    }
    const std::uint32_t length = Reader(rest.substr(0, kLengthBytes)).u32();
    if (length > m_maxBody) {
        throw ProtocolError("a frame of " + std::to_string(length) + " bytes, longer than " +
                            std::to_string(m_maxBody));
    }
    if (rest.size() - kLengthBytes < length) {
        return std::nullopt;
    }
    m_start += kLengthBytes + length;
    return std::string(rest.substr(kLengthBytes, length));
}

} // namespace quorlan::cnc::protocol
