#include "cnc/control_address.h"

#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

TEST(ControlAddressTest, hostAndPortOfEachWayOfWritingIt) {
    const struct {
        const char* text;
        std::optional<TcpAddress> expected;
    } cases[] = {
        {"tcp:cnc-pc:4711", TcpAddress{"cnc-pc", 4711}},
        {"tcp:192.168.1.20:65535", TcpAddress{"192.168.1.20", 65535}},
        {"tcp:127.0.0.1:0", TcpAddress{"127.0.0.1", 0}},
        {"tcp:[fe80::1]:4711", TcpAddress{"fe80::1", 4711}},
        {"tcp:fe80::1:4711", TcpAddress{"fe80::1", 4711}}, // the last colon is the port's
        {"tcp:cnc-pc:65536", std::nullopt},
        {"tcp:cnc-pc:-1", std::nullopt},
        {"tcp:cnc-pc:+1", std::nullopt},
        {"tcp:cnc-pc:47x", std::nullopt},
        {"tcp:cnc-pc:", std::nullopt},
        {"tcp:cnc-pc", std::nullopt},
        {"tcp::4711", std::nullopt},
        {"tcp:[]:4711", std::nullopt},
        {"tcp:", std::nullopt},
        {"local:quorlan-cnc", std::nullopt},
        {"TCP:cnc-pc:4711", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto address = parseTcpAddress(c.text);
        ASSERT_EQ(address.has_value(), c.expected.has_value()) << c.text;
        if (address) {
            EXPECT_EQ(address->host, c.expected->host) << c.text;
            EXPECT_EQ(address->port, c.expected->port) << c.text;
        }
    }
}

} // namespace
} // namespace quorlan::cnc
