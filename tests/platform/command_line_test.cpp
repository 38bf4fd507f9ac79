#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

constexpr CommandLineOption kOptions[] = {
    {"device", "PATH", "the line"},
    {"raw", nullptr, "bytes unchanged"},
    {"output", "FILE", "where to write", "o"},
};

// What was read, one argument a line: "--name=value" for an option, "word" for a word; or the error,
// and "(missing)" when the last option's value was missing.
std::string readOf(std::vector<std::string> arguments) {
    const CommandLine read = readCommandLine(arguments, kOptions);
    std::string text;
    for (const CommandLineItem& item : read.items) {
        text += item.option == nullptr ? item.value : std::string("--") + item.option->name + "=" + item.value;
        text += ' ';
    }
    text += read.help ? "help " : "";
    text += read.version ? "version " : "";
    text += read.error.empty() ? "" : "error: " + read.error;
    text += read.valueMissing != nullptr ? " (missing)" : "";
    return text;
}

TEST(CommandLine, optionsWordsAndTheEndOfTheOptions) {
    const struct {
        std::vector<std::string> arguments;
        std::string read;
    } cases[] = {
        {{"A", "--device", "/dev/x", "B", "--raw"}, "A --device=/dev/x B --raw= "},
        {{"--device=a=b", "--device="}, "--device=a=b --device= "},
        {{"-o", "f.pdf", "-o=g.pdf"}, "--output=f.pdf --output=g.pdf "},
        {{"--output", "--raw"}, "--output=--raw "},
        {{"--", "--raw", "-o", "--"}, "--raw -o -- "},
        {{"--raw", "--"}, "--raw= "},
        {{"-", "-NOAPP", "-x=1", "/CSV"}, "- -NOAPP -x=1 /CSV "},
        {{"X", "-h", "--version"}, "X help version "},
        {{"--help=now"}, "error: --help takes no value"},
        {{"--raw=yes", "--bogus"}, "error: --raw takes no value"},
        {{"A", "--bogus", "--help"}, "A error: unknown option --bogus"},
        {{"--dev", "x"}, "error: unknown option --dev"},
        {{"---raw"}, "error: unknown option ---raw"},
        {{"--Raw"}, "error: unknown option --Raw"},
        {{"--raw", "--device"}, "--raw= error: --device needs a value (missing)"},
        {{"-o"}, "error: -o needs a value (missing)"},
        {{"--", "--device"}, "--device "},
        {{}, ""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments) {
            line += argument + ' ';
        }
        EXPECT_EQ(readOf(c.arguments), c.read) << line;
    }
}

TEST(CommandLine, helpWrapsAtEightyColumnsUnderItsColumn) {
    const std::string help = optionsHelp(kOptions, 18);
    EXPECT_EQ(help, "  --device PATH   the line\n"
                    "  --raw           bytes unchanged\n"
                    "  -o, --output FILE\n"
                    "                  where to write\n"
                    "  -h, --help      print this help and exit\n"
                    "  --version       print the version and exit\n");
    const std::string text(30, 'a');
    EXPECT_EQ(helpEntry("--x", text + " " + text + " " + text, 10),
              "  --x     " + text + " " + text + "\n          " + text + "\n");
    for (std::size_t start = 0, end = 0; start < help.size(); start = end + 1) {
        end = help.find('\n', start);
        EXPECT_LE(end - start, 80U);
    }
}

} // namespace
} // namespace quorlan::platform
