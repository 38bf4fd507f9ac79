// The scanner emulator's command line: one table of options, which also writes --help.
#pragma once

#include "tool_start.h"

#include <string>
#include <variant>
#include <vector>

namespace quorlan::scan_tool {

// Which scans must be answered with "ACK" for the run to count as a success.
enum class Expect {
    Auto, // the scans the station acknowledges: plain names and completed label sets, not 2D programs
    All,  // every scan
    None, // no scan (commands, field codes): answers are only printed
};

// A SCAN argument as it is given, or a 2D scan built from a header and a program file.
enum class ScanKind {
    Given,    // sent as --raw, --hex or text says
    Program,  // --2d HEADER=FILE
    ListLoad, // --2d-list NAME
};

struct ScanArgument {
    ScanKind kind = ScanKind::Given;
    std::string text;        // the argument, the header or the list name
    std::string programFile; // for a program
};

struct Options {
    std::string device;
    int baud = 9600;
    int gapMs = 3000;
    int waitMs = 8000;
    bool raw = false;
    bool hex = false;
    bool prefix = false;   // 2D scans start with the "Ñ" prefix
    bool compress = false; // 2D scans go out compressed
    bool images = false;   // each scan argument names an image file to decode
    Expect expect = Expect::Auto;
    std::vector<ScanArgument> scans;
};

using tools::ShowHelp;
using tools::ShowVersion;
using tools::UsageError;

// arguments without the program name; deviceFromEnvironment is $QUORLAN_SCANNER (may be null).
// A scan "-" is read whole from standard input.
std::variant<Options, ShowHelp, ShowVersion, UsageError> parseOptions(const std::vector<std::string>& arguments,
                                                                      const char* deviceFromEnvironment);

std::string usageLine();
std::string helpText();

} // namespace quorlan::scan_tool
