// quorlan-scan: writes scans to a serial device as a barcode scanner does (each argument one scan,
// a pause between scans) and prints what the station answers.
//
//   quorlan-scan [--device PATH] [--baud N] [--gap MS] [--wait MS] [--raw] [--hex] SCAN...
//
// Arguments are taken as UTF-8 and sent in the station's code page (Windows-1252), so "ñ" goes
// out as the byte 0xF1; --raw sends the argument bytes unchanged. --hex takes each scan as hex
// digits ("F1 00 2A"). A scan "-" is read whole from standard input.

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string device;
    int baud = 9600;
    int gapMs = 3000;
    int waitMs = 4000;
    bool raw = false;
    bool hex = false;
    std::vector<std::string> scans;
};

void usage() {
    std::cerr << "usage: quorlan-scan [--device PATH] [--baud N] [--gap MS] [--wait MS] [--raw] [--hex] SCAN...\n"
                 "  --device  the scanner end of the serial line (default $QUORLAN_SCANNER)\n"
                 "  --gap     quiet time between two scans in ms (default 3000; the station frames a scan\n"
                 "            after two quiet ticks of its poll time)\n"
                 "  --wait    how long to print answers after the last scan in ms (default 4000)\n";
}

speed_t speedFor(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// UTF-8 to Windows-1252; characters outside the code page become "?".
std::string toCodePage(const std::string& utf8) {
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t code = c;
        std::size_t length = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < utf8.size()) {
            code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        } else if (c >= 0xE0 && c < 0xF0 && i + 2 < utf8.size()) {
            code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else if (c >= 0xF0) {
            length = 4;
            code = 0x110000;
        }
        i += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] != 0 && kHigh[k] == code) {
                mapped = static_cast<char>(0x80 + k);
            }
        }
        out += mapped;
    }
    return out;
}

std::optional<std::string> fromHex(const std::string& text) {
    std::string out;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != ' ' && c != ':') {
            return std::nullopt;
        }
    }
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return out;
}

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    if (const char* device = std::getenv("QUORLAN_SCANNER")) {
        options.device = device;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        auto number = [&](int& target) {
            const auto text = value();
            if (!text) {
                return false;
            }
            char* end = nullptr;
            const long parsed = std::strtol(text->c_str(), &end, 10);
            if (*end != '\0' || parsed < 0 || parsed > 10'000'000) {
                return false;
            }
            target = static_cast<int>(parsed);
            return true;
        };
        if (arg == "--device") {
            const auto text = value();
            if (!text) {
                return std::nullopt;
            }
            options.device = *text;
        } else if (arg == "--baud" || arg == "--gap" || arg == "--wait") {
            int& target = arg == "--baud" ? options.baud : arg == "--gap" ? options.gapMs : options.waitMs;
            if (!number(target)) {
                return std::nullopt;
            }
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--hex") {
            options.hex = true;
        } else if (arg == "--help" || arg == "-h") {
            return std::nullopt;
        } else if (arg == "-") {
            options.scans.emplace_back(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        } else {
            options.scans.push_back(arg);
        }
    }
    if (options.device.empty() || options.scans.empty()) {
        return std::nullopt;
    }
    return options;
}

int openDevice(const Options& options) {
    const int fd = ::open(options.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::cerr << "quorlan-scan: cannot open " << options.device << ": " << std::strerror(errno) << "\n";
        return -1;
    }
    termios tty{};
    if (tcgetattr(fd, &tty) == 0) {
        cfmakeraw(&tty);
        const speed_t speed = speedFor(options.baud);
        if (speed == B0) {
            std::cerr << "quorlan-scan: unsupported baud rate " << options.baud << "\n";
            ::close(fd);
            return -1;
        }
        cfsetispeed(&tty, speed);
        cfsetospeed(&tty, speed);
        tcsetattr(fd, TCSANOW, &tty);
    }
    return fd;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Prints the station's answers ("ACK" and a carriage return per label) for the given time.
void printAnswers(int fd, int milliseconds, std::string& pending) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (auto end = pending.find('\r'); end != std::string::npos; end = pending.find('\r')) {
            std::cout << "station: " << pending.substr(0, end) << std::endl;
            pending.erase(0, end + 1);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        usage();
        return 2;
    }
    const int fd = openDevice(*options);
    if (fd < 0) {
        return 1;
    }
    std::string answers;
    for (std::size_t i = 0; i < options->scans.size(); ++i) {
        const std::string& scan = options->scans[i];
        std::optional<std::string> bytes = options->hex ? fromHex(scan) : options->raw ? scan : toCodePage(scan);
        if (!bytes) {
            std::cerr << "quorlan-scan: not hex digits: " << scan << "\n";
            ::close(fd);
            return 2;
        }
        if (!writeAll(fd, *bytes)) {
            std::cerr << "quorlan-scan: write failed: " << std::strerror(errno) << "\n";
            ::close(fd);
            return 1;
        }
        std::cout << "scanned: " << scan << std::endl;
        const bool last = i + 1 == options->scans.size();
        printAnswers(fd, last ? options->waitMs : options->gapMs, answers);
    }
    ::close(fd);
    return 0;
}
