// quorlan-bridge: runs on the control's Windows PC and serves the station across the network. Each
// connection must prove that it holds the key shared with the station (cnc/control_link.h); then its
// calls go, by name through IDispatch, to the control's automation server.
#include "cnc/control_address.h"
#include "cnc/control_key.h"
#include "cnc/control_link_server.h"
#include "cnc/control_session.h"
#include "com_control.h"
#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/error.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

using namespace quorlan;

constexpr int kExitUsage = 2;
constexpr int kExitCannotServe = 3;
// A peer that leaves an answer unsent this long is not reading: its connection is closed.
constexpr DWORD kSendTimeoutMs = 5000;

const char* const kUsage =
    "usage: quorlan-bridge --listen tcp:ADDRESS:PORT --key FILE [--application CLASS] [--list PROGID]\n"
    "                      [--server-process]\n";
const char* const kAbout =
    "Serves the CNC control's automation server on this PC to a Quorlan station across the network.\n"
    "Each connection must prove that it holds the key of FILE, the same key file as the station's\n"
    "--cnc-key (quorlan --new-control-key FILE makes one); the link is signed, not encrypted.\n";

constexpr platform::CommandLineOption kOptions[] = {
    {"listen", "tcp:ADDRESS:PORT",
     "serve on ADDRESS (an IPv4 address of this PC, 0.0.0.0 for all) and PORT (0: any free one, which is "
     "printed)"},
    {"key", "FILE", "the key file shared with the station"},
    {"application", "CLASS",
     "the class, {...} or a ProgID, of the control's Application object (default "
     "{288F2FEF-1083-4A1E-BAD7-4B36D0100F29})"},
    {"list", "PROGID", "the ProgID, or {...} class, of its work list (default Koridan.ExeList)"},
    {"server-process", nullptr, "create the control's objects in its own server process only"},
};
constexpr std::size_t kHelpColumn = 29;

void say(const std::string& text) {
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now); local != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S ", local);
    }
    std::fprintf(stderr, "%squorlan-bridge: %s\n", when, text.c_str());
    std::fflush(stderr);
}

struct Options {
    std::string address;
    unsigned short port = 0;
    std::string keyFile;
    bridge::ComClasses classes;
};

// Why the options cannot serve, empty when they can.
std::string readOption(Options& options, const platform::CommandLineItem& item) {
    const std::string_view name = item.option->name;
    if (name == "listen") {
        const auto address = cnc::parseTcpAddress(item.value);
        if (!address) {
            return "--listen takes tcp:ADDRESS:PORT, not \"" + item.value + "\"";
        }
        options.address = address->host;
        options.port = address->port;
    } else if (name == "key") {
        options.keyFile = item.value;
    } else if (name == "application") {
        options.classes.application = item.value;
    } else if (name == "list") {
        options.classes.list = item.value;
    } else if (name == "server-process") {
        options.classes.context = CLSCTX_LOCAL_SERVER;
    }
    return {};
}

// The options, or the exit code of a run that ends here.
std::variant<Options, int> readOptions(int argc, char* argv[]) {
    const platform::CommandLine line = platform::readCommandLine({argv + 1, argv + argc}, kOptions);
    if (line.help) {
        std::printf("%s\n%s\n%s", kUsage, kAbout, platform::optionsHelp(kOptions, kHelpColumn).c_str());
        return 0;
    }
    if (line.version) {
        std::printf("quorlan-bridge %s\n", QUORLAN_VERSION);
        return 0;
    }
    Options options;
    std::string problem = line.error;
    for (const auto& item : line.items) {
        if (problem.empty()) {
            problem = item.option == nullptr ? "unexpected argument \"" + item.value + "\"" : readOption(options, item);
        }
    }
    if (problem.empty() && (options.address.empty() || options.keyFile.empty())) {
        problem = options.address.empty() ? "no --listen tcp:ADDRESS:PORT given" : "no --key FILE given";
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "quorlan-bridge: %s\n%sTry 'quorlan-bridge --help' for more information.\n",
                     problem.c_str(), kUsage);
        return kExitUsage;
    }
    return options;
}

std::string socketError() {
    return "Winsock error " + std::to_string(WSAGetLastError());
}

// The listening socket, or why there is none.
std::variant<SOCKET, std::string> listenOn(const Options& options) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    if (inet_pton(AF_INET, options.address.c_str(), &address.sin_addr) != 1) {
        return options.address + " is no IPv4 address of this PC (give one, or 0.0.0.0 for all)";
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        return socketError();
    }
    // Another program on the same port must not share it.
    BOOL exclusive = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0) {
        const std::string why = WSAGetLastError() == WSAEADDRINUSE ? "another program serves that port" : socketError();
        closesocket(listener);
        return why;
    }
    return listener;
}

// Whether the peer has shut its end: readable with nothing to read.
bool hungUp(SOCKET socket) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval now{0, 0};
    if (select(0, &readable, nullptr, nullptr, &now) != 1) {
        return false;
    }
    char byte = 0;
    return recv(socket, &byte, 1, MSG_PEEK) <= 0;
}

class Bridge {
public:
    Bridge(cnc::ControlService& service, std::string key, SOCKET listener)
        : m_link(service, std::move(key), m_clock, say), m_listener(listener) {}

    [[noreturn]] void run() {
        while (true) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(m_listener, &readable);
            for (const auto& [id, socket] : m_sockets) {
                FD_SET(socket, &readable);
            }
            const std::int64_t next = m_link.msUntilNextExpiry();
            const std::int64_t wait = next < 0 ? 60000 : next;
            timeval timeout{static_cast<long>(wait / 1000), static_cast<long>(wait % 1000 * 1000)};
            if (select(0, &readable, nullptr, nullptr, &timeout) == SOCKET_ERROR) {
                say("waiting for connections failed: " + socketError());
                Sleep(100);
                continue;
            }
            if (FD_ISSET(m_listener, &readable)) {
                accept();
            }
            std::vector<cnc::LinkServer::ConnectionId> ready;
            for (const auto& [id, socket] : m_sockets) {
                if (FD_ISSET(socket, &readable)) {
                    ready.push_back(id);
                }
            }
            for (const cnc::LinkServer::ConnectionId id : ready) {
                serve(id);
            }
            drop(m_link.expire());
        }
    }

private:
    void accept() {
        sockaddr_in peer{};
        int length = sizeof peer;
        const SOCKET socket = ::accept(m_listener, reinterpret_cast<sockaddr*>(&peer), &length);
        if (socket == INVALID_SOCKET) {
            return;
        }
        char name[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &peer.sin_addr, name, sizeof name);
        BOOL noDelay = TRUE;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&kSendTimeoutMs),
                   sizeof kSendTimeoutMs);
        const cnc::LinkServer::Accepted accepted =
            m_link.accept(std::string(name) + ":" + std::to_string(ntohs(peer.sin_port)));
        drop(accepted.closed);
        m_sockets.emplace(accepted.id, socket);
    }

    void serve(cnc::LinkServer::ConnectionId id) {
        const SOCKET socket = m_sockets.at(id);
        char buffer[65536];
        const int received = recv(socket, buffer, sizeof buffer, 0);
        if (received <= 0) {
            m_link.closed(id);
            drop({id});
            return;
        }
        const cnc::LinkServer::Received answer = m_link.receive(
            id, std::string_view(buffer, static_cast<std::size_t>(received)), [socket] { return !hungUp(socket); });
        drop(answer.closed);
        if (answer.close) {
            drop({id});
            return;
        }
        if (!sendAll(socket, answer.send)) {
            say("a connection was closed: its answers could not be sent (" + socketError() + ")");
            m_link.closed(id);
            drop({id});
        }
    }

    static bool sendAll(SOCKET socket, std::string_view bytes) {
        while (!bytes.empty()) {
            const int sent =
                send(socket, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    void drop(const std::vector<cnc::LinkServer::ConnectionId>& ids) {
        for (const cnc::LinkServer::ConnectionId id : ids) {
            if (const auto found = m_sockets.find(id); found != m_sockets.end()) {
                closesocket(found->second);
                m_sockets.erase(found);
            }
        }
    }

    platform::SystemClock m_clock;
    cnc::LinkServer m_link;
    SOCKET m_listener;
    std::map<cnc::LinkServer::ConnectionId, SOCKET> m_sockets;
};

} // namespace

int main(int argc, char* argv[]) {
    const auto read = readOptions(argc, argv);
    if (const int* exitCode = std::get_if<int>(&read)) {
        return *exitCode;
    }
    const Options& options = std::get<Options>(read);
    std::string key;
    try {
        key = cnc::readControlKey(options.keyFile);
    } catch (const platform::StationError& error) {
        say(error.description());
        return kExitCannotServe;
    }
    WSADATA winsock{};
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) {
        say("Winsock cannot be started");
        return kExitCannotServe;
    }
    if (const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(result)) {
        say("COM cannot be started (error " + std::to_string(static_cast<long>(result)) + ")");
        return kExitCannotServe;
    }
    const auto listener = listenOn(options);
    if (const std::string* why = std::get_if<std::string>(&listener)) {
        say("cannot serve on tcp:" + options.address + ":" + std::to_string(options.port) + ": " + *why);
        return kExitCannotServe;
    }
    const SOCKET socket = std::get<SOCKET>(listener);
    sockaddr_in bound{};
    int length = sizeof bound;
    getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length);
    bridge::ComControl control(options.classes);
    cnc::ControlService service(control);
    std::printf("quorlan-bridge: serving the CNC control (%s, %s) on tcp:%s:%u; start the station with --cnc "
                "tcp:THIS-PC:%u --cnc-key FILE, with the same key\n",
                options.classes.application.c_str(), options.classes.list.c_str(), options.address.c_str(),
                ntohs(bound.sin_port), ntohs(bound.sin_port));
    std::fflush(stdout);
    Bridge(service, std::move(key), socket).run();
}
