// A real mosquitto broker for the tests, on 127.0.0.1 and a free port, started and stopped by the
// test (its state kept across a restart, as a broker in a shop keeps it), and a subscriber with a
// session that the broker keeps while it is away, as an integrator's consumer would have.
#pragma once

#include "fakes/temp_folder.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quorlan::testing {

inline int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool acceptsConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

// Waits (at most a bound that only a fault reaches) until the condition holds.
inline bool eventually(const std::function<bool()>& condition, std::chrono::seconds bound = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// Runs a command line through the shell; true when it succeeded.
inline bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A certificate authority, a broker certificate it signed for 127.0.0.1 and localhost, and a
// second authority that signed nothing the broker has.
struct Certificates {
    explicit Certificates(const TempFolder& folder)
        : ca(folder.path("ca.pem")), otherCa(folder.path("other-ca.pem")), server(folder.path("server.pem")),
          serverKey(folder.path("server.key")) {
        const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const std::string dir = folder.path();
        const bool made =
            run("openssl req -x509 " + key + " -keyout " + dir + "/ca.key -out " + ca + " -days 2 -subj /CN=Test-CA") &&
            run("openssl req -x509 " + key + " -keyout " + dir + "/other.key -out " + otherCa +
                " -days 2 -subj /CN=Other-CA") &&
            run("openssl req " + key + " -keyout " + serverKey + " -out " + dir + "/server.csr -subj /CN=localhost") &&
            run("printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > " + dir + "/san.cnf") &&
            run("openssl x509 -req -in " + dir + "/server.csr -CA " + ca + " -CAkey " + dir +
                "/ca.key -CAcreateserial -days 2 -out " + server + " -extfile " + dir + "/san.cnf");
        if (!made) {
            throw std::runtime_error("openssl could not make the test certificates");
        }
    }
    std::string ca, otherCa, server, serverKey;
};

struct TestBrokerOptions {
    const Certificates* tls = nullptr; // a TLS listener with the broker certificate
    std::string user;                  // with a password: anonymous clients are refused
    std::string password;
};

class TestBroker final {
public:
    using Options = TestBrokerOptions;

    TestBroker() : TestBroker(Options{}) {}
    explicit TestBroker(Options options) : m_options(std::move(options)), m_port(freePort()) {
        std::string config = "listener " + std::to_string(m_port) + " 127.0.0.1\n";
        config += "persistence true\npersistence_location " + m_folder.path() + "/\n";
        // Run as root, the broker would switch to a user that cannot read the test's files.
        if (const passwd* me = ::getpwuid(::getuid())) {
            config += std::string("user ") + me->pw_name + "\n";
        }
        if (m_options.tls != nullptr) {
            config += "cafile " + m_options.tls->ca + "\ncertfile " + m_options.tls->server + "\nkeyfile " +
                      m_options.tls->serverKey + "\n";
        }
        if (m_options.user.empty()) {
            config += "allow_anonymous true\n";
        } else {
            const std::string passwords = m_folder.path("passwords");
            if (!run("mosquitto_passwd -b -c " + passwords + " " + m_options.user + " " + m_options.password)) {
                throw std::runtime_error("mosquitto_passwd failed");
            }
            config += "allow_anonymous false\npassword_file " + passwords + "\n";
        }
        m_folder.write("mosquitto.conf", config);
        start();
    }
    ~TestBroker() { stop(); }
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    int port() const { return m_port; }
    const Options& options() const { return m_options; }
    // A certificate names a host, not an address: with TLS the broker is reached by its name.
    std::string host() const { return m_options.tls != nullptr ? "localhost" : "127.0.0.1"; }

    void start() {
        const std::string config = m_folder.path("mosquitto.conf");
        const std::string log = m_folder.path("mosquitto.log");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const std::string program = mosquittoProgram();
        std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("-c"),
                                   const_cast<char*>(config.c_str()), nullptr};
        const int spawned = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0 || !eventually([this] { return acceptsConnections(m_port); }, std::chrono::seconds(10))) {
            throw std::runtime_error("mosquitto did not start: " + m_folder.read("mosquitto.log"));
        }
    }

    // As an administrator stops it: it saves its state and ends every connection.
    void stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    static std::string mosquittoProgram() {
        for (const char* candidate : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"}) {
            if (::access(candidate, X_OK) == 0) {
                return candidate;
            }
        }
        throw std::runtime_error("mosquitto is not installed (scripts/setup.sh installs it)");
    }

    Options m_options;
    TempFolder m_folder;
    int m_port;
    pid_t m_pid = -1;
};

struct Message {
    std::string topic;
    std::string payload;
    bool retained;
};

// Subscribes to everything with QoS 1 and a session the broker keeps, and keeps what arrives.
class Subscriber final {
public:
    Subscriber(const TestBroker& broker, const std::string& id, const std::string& topic = "#") : m_topic(topic) {
        mosquitto_lib_init();
        m_client = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(m_client, [](mosquitto* client, void* self, int code) {
            if (code == 0) {
                mosquitto_subscribe(client, nullptr, static_cast<Subscriber*>(self)->m_topic.c_str(), 1);
            }
        });
        // Ready once the broker holds the subscription: what is published from then on is the
        // subscriber's, also while it is away.
        mosquitto_subscribe_callback_set(m_client, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscriber*>(self)->m_subscribed = true;
        });
        mosquitto_message_callback_set(m_client, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto& subscriber = *static_cast<Subscriber*>(self);
            std::lock_guard lock(subscriber.m_mutex);
            subscriber.m_messages.push_back(
                {message->topic,
                 std::string(static_cast<const char*>(message->payload), static_cast<std::size_t>(message->payloadlen)),
                 message->retain});
        });
        if (broker.options().tls != nullptr) {
            mosquitto_tls_set(m_client, broker.options().tls->ca.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
        if (!broker.options().user.empty()) {
            mosquitto_username_pw_set(m_client, broker.options().user.c_str(), broker.options().password.c_str());
        }
        mosquitto_reconnect_delay_set(m_client, 1, 1, false);
        mosquitto_connect(m_client, broker.host().c_str(), broker.port(), 30);
        mosquitto_loop_start(m_client);
        if (!eventually([this] { return m_subscribed.load(); })) {
            throw std::runtime_error("the test's subscriber did not connect");
        }
    }
    ~Subscriber() {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    std::vector<Message> messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    // The payloads that came on topics holding part, in the order they came.
    std::vector<std::string> payloads(const std::string& part) {
        std::vector<std::string> result;
        for (const auto& message : messages()) {
            if (message.topic.find(part) != std::string::npos) {
                result.push_back(message.payload);
            }
        }
        return result;
    }

private:
    std::string m_topic;
    mosquitto* m_client = nullptr;
    std::atomic<bool> m_subscribed{false};
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

} // namespace quorlan::testing
