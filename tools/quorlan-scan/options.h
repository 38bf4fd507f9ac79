// The scanner emulator's command line: one table of options, which also writes --help.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace quorlan::scan_tool {

// Which scans must be answered with "ACK" for the run to count as a success.
enum class Expect {
    Auto, // the scans the station acknowledges: plain names, completed label sets, 2D and other payloads
    All,  // every scan
    None, // no scan (commands, field codes): answers are only printed
};

struct Options {
    std::string device;
    int baud = 9600;
    int gapMs = 3000;
    int waitMs = 8000;
    bool raw = false;
    bool hex = false;
    Expect expect = Expect::Auto;
    std::vector<std::string> scans;
};

struct ShowHelp {};
struct UsageError {
    std::string why;
};

// arguments without the program name; deviceFromEnvironment is $QUORLAN_SCANNER (may be null).
// A scan "-" is read whole from standard input.
std::variant<Options, ShowHelp, UsageError> parseOptions(const std::vector<std::string>& arguments,
                                                         const char* deviceFromEnvironment);

std::string usageLine();
std::string helpText();

} // namespace quorlan::scan_tool
