#include "options.h"

#include "platform/command_line.h"

#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>

namespace quorlan::scan_tool {

namespace {

constexpr std::size_t kHelpColumn = 18;
constexpr int kBaudRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr long kMaxMilliseconds = 3'600'000;

struct OptionRow {
    platform::CommandLineOption option;
    // Takes the value (empty for a switch); the text of a usage error, or nothing.
    std::optional<std::string> (*apply)(Options& options, const std::string& value);
};

std::optional<long> number(const std::string& text, long low, long high) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::string> readMilliseconds(const std::string& name, const std::string& text, int& target) {
    const auto parsed = number(text, 0, kMaxMilliseconds);
    if (!parsed) {
        return name + " takes milliseconds from 0 to " + std::to_string(kMaxMilliseconds) + ", not \"" + text + "\"";
    }
    target = static_cast<int>(*parsed);
    return std::nullopt;
}

constexpr OptionRow kOptions[] = {
    {{"device", "PATH", "the scanner's end of the serial line (default: $QUORLAN_SCANNER)"},
     [](Options& o, const std::string& v) -> std::optional<std::string> {
         o.device = v;
         return std::nullopt;
     }},
    {{"baud", "N", "line speed: 300, 1200, 2400, 4800, 9600 (default), 19200, 38400, 57600 or 115200"},
     [](Options& o, const std::string& v) -> std::optional<std::string> {
         const auto parsed = number(v, 1, 115200);
         for (int rate : kBaudRates) {
             if (parsed && *parsed == rate) {
                 o.baud = rate;
                 return std::nullopt;
             }
         }
         return "unsupported baud rate " + v;
     }},
    {{"gap", "MS",
      "quiet time after a scan that is not acknowledged, in ms (default 3000): the station ends a scan "
      "after two quiet ticks of its poll time, so a shorter gap joins two scans into one"},
     [](Options& o, const std::string& v) { return readMilliseconds("--gap", v, o.gapMs); }},
    {{"wait", "MS", "how long to wait for the station's ACK to a scan, in ms (default 8000)"},
     [](Options& o, const std::string& v) { return readMilliseconds("--wait", v, o.waitMs); }},
    {{"expect", "WHICH",
      "which scans must be acknowledged: auto (default: plain program names and the label that completes "
      "a set; not commands, field codes, list labels or 2D and compressed scans, which get no ACK), all, "
      "or none"},
     [](Options& o, const std::string& v) {
         return tools::chooseWord("--expect", v, {{"auto", Expect::Auto}, {"all", Expect::All}, {"none", Expect::None}},
                                  o.expect);
     }},
    {{"raw", nullptr, "send each scan's bytes unchanged instead of converting them to Windows-1252"},
     [](Options& o, const std::string&) -> std::optional<std::string> {
         o.raw = true;
         return std::nullopt;
     }},
    {{"hex", nullptr, "each scan is hex digits, blanks or colons between them allowed (\"F1 00 2A\")"},
     [](Options& o, const std::string&) -> std::optional<std::string> {
         o.hex = true;
         return std::nullopt;
     }},
    {{"2d", "HEADER=FILE",
      "a 2D program scan, in its place among the scans: the header (program name, then ^ and a letter with "
      "its value for each item: U field code, V, X Y Z dimensions, A B C D E F G I variables, as in "
      "PART7^UN1^X600^Y400^Z18) and the program from FILE; one line end at the end of the file is left "
      "out, as the station adds CR LF when it saves the program. Values a 2D scan cannot carry are refused"},
     [](Options& o, const std::string& v) -> std::optional<std::string> {
         const std::size_t equals = v.rfind('=');
         if (equals == std::string::npos || equals == 0 || equals + 1 == v.size()) {
             return "--2d takes HEADER=FILE, not \"" + v + "\"";
         }
         o.scans.push_back({ScanKind::Program, v.substr(0, equals), v.substr(equals + 1)});
         return std::nullopt;
     }},
    {{"2d-list", "NAME", "a 2D scan that loads the list file NAME (\"*%00\", the name and two more characters)"},
     [](Options& o, const std::string& v) -> std::optional<std::string> {
         o.scans.push_back({ScanKind::ListLoad, v, {}});
         return std::nullopt;
     }},
    {{"prefix", nullptr, "start every 2D scan with the eight-character prefix that begins with \"Ñ\""},
     [](Options& o, const std::string&) -> std::optional<std::string> {
         o.prefix = true;
         return std::nullopt;
     }},
    {{"compress", nullptr,
      "send every 2D scan compressed: \"ñ\", two characters, the expanded length in five digits, three "
      "characters, then the zlib data with each backslash doubled"},
     [](Options& o, const std::string&) -> std::optional<std::string> {
         o.compress = true;
         return std::nullopt;
     }},
    {{"image", nullptr,
      "each scan is a PNG file, or a PDF file of at most 200 pages that pdftoppm renders one by one: every "
      "barcode in it is decoded and sent, in reading order, the parts of a structured-append sequence merged into "
      "one scan first"},
     [](Options& o, const std::string&) -> std::optional<std::string> {
         o.images = true;
         return std::nullopt;
     }},
};

std::vector<platform::CommandLineOption> commandLineOptions() {
    std::vector<platform::CommandLineOption> options;
    for (const OptionRow& row : kOptions) {
        options.push_back(row.option);
    }
    return options;
}

} // namespace

std::variant<Options, ShowHelp, ShowVersion, UsageError> parseOptions(const std::vector<std::string>& arguments,
                                                                      const char* deviceFromEnvironment) {
    Options options;
    if (deviceFromEnvironment != nullptr) {
        options.device = deviceFromEnvironment;
    }
    const std::vector<platform::CommandLineOption> table = commandLineOptions();
    const platform::CommandLine commandLine = platform::readCommandLine(arguments, table);
    if (auto end = tools::endBeforeOptions<Options>(commandLine)) {
        return *end;
    }
    // In the order given: a 2D scan takes its place among the others.
    for (const platform::CommandLineItem& item : commandLine.items) {
        if (item.option == nullptr) {
            options.scans.push_back({ScanKind::Given,
                                     item.value == "-" ? std::string(std::istreambuf_iterator<char>(std::cin),
                                                                     std::istreambuf_iterator<char>())
                                                       : item.value,
                                     {}});
        } else if (auto problem = kOptions[item.option - table.data()].apply(options, item.value)) {
            return UsageError{*problem};
        }
    }
    if (options.device.empty()) {
        return UsageError{"no device: give --device PATH or set QUORLAN_SCANNER"};
    }
    if (options.scans.empty()) {
        return UsageError{"nothing to scan"};
    }
    return options;
}

std::string usageLine() {
    return "usage: quorlan-scan [OPTION]... SCAN...";
}

std::string helpText() {
    std::string help = usageLine() +
                       "\n"
                       "Writes each SCAN to a serial line as a barcode scanner does, one after the other,\n"
                       "and prints what the station answers (\"station: ACK\"), or \"no answer\" when an\n"
                       "expected ACK does not come in time. Answers left from earlier scans are dropped\n"
                       "first, so an ACK printed belongs to the scan before it. A SCAN \"-\" is read whole\n"
                       "from standard input; after \"--\" every argument is a SCAN, even one that begins\n"
                       "with \"--\". Scans are taken as UTF-8 and sent in Windows-1252, so \"ñ\" goes out\n"
                       "as the byte F1.\n\n"
                       "Options:\n";
    help += platform::optionsHelp(commandLineOptions(), kHelpColumn);
    help += "\nExit status: 0 when every expected ACK came, 1 when one did not, 2 for a usage\n"
            "error, 3 when the device cannot be opened or written or an image gives no scan.\n\n"
            "Examples (all but the first with $QUORLAN_SCANNER set):\n"
            "  quorlan-scan --device demo/work/scanner FLANGE\n"
            "  quorlan-scan \"%13BASE M1 %\" \"%23600 400 18 %\" \"%331 2 3 4%\"\n"
            "  quorlan-scan %START%\n"
            "  quorlan-scan --compress --2d PART7^UN1^X600^Y400^Z18=demo/2d/PART7.CNC\n"
            "  quorlan-scan --image labels.pdf\n";
    return help;
}

} // namespace quorlan::scan_tool
