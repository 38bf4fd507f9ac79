#include "cnc/control_address.h"

#include <charconv>

namespace quorlan::cnc {

bool isTcpAddress(std::string_view text) {
    return text.substr(0, kTcpScheme.size()) == kTcpScheme;
}

std::optional<TcpAddress> parseTcpAddress(std::string_view text) {
    if (!isTcpAddress(text)) {
        return std::nullopt;
    }
    text.remove_prefix(kTcpScheme.size());
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    TcpAddress address;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), address.port);
    if (error != std::errc() || end != port.data() + port.size() || port.empty()) {
        return std::nullopt;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) {
        return std::nullopt;
    }
    address.host = std::string(host);
    return address;
}

} // namespace quorlan::cnc
