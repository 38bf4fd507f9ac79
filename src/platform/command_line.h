// One command-line style for the station and its tools. Options come from a table: "--name VALUE"
// or "--name=VALUE", a switch as "--name", a short name as "-o FILE"; --help (-h) and --version are
// always there. "--" ends the options, so that a word may begin with a dash, and a lone "-" is a
// word. An argument with a single dash that names no short option is a word too: the station has
// always read its words that way ("-NOAPP"). The same table writes the options' part of --help.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::platform {

struct CommandLineOption {
    const char* name;                // without the dashes: "device"
    const char* valueName;           // nullptr: a switch
    const char* help;                // one paragraph, wrapped when written
    const char* shortName = nullptr; // a letter for a single dash: "o" for -o
};

// One argument as it was read: an option with its value (empty for a switch), or a word.
struct CommandLineItem {
    const CommandLineOption* option = nullptr; // nullptr: a word
    std::string value;
};

struct CommandLine {
    std::vector<CommandLineItem> items; // in the order given, --help and --version left out
    bool help = false;
    bool version = false;
    // Why the arguments cannot be read ("unknown option --bogus", "--unattended takes no value",
    // "--wait needs a value"); empty when they can. Reading stops at the first fault.
    std::string error;
    // The last argument, an option whose value is missing: everything before it was read, and
    // error says so.
    const CommandLineOption* valueMissing = nullptr;

    std::vector<std::string> words() const;
};

// arguments without the program's name, read against options.
CommandLine readCommandLine(const std::vector<std::string>& arguments, std::span<const CommandLineOption> options);

// "  TERM" and its text, the text wrapped at 80 columns and indented to column.
std::string helpEntry(std::string_view term, std::string_view text, std::size_t column);
// An entry for each option of the table ("-o, --output FILE"), then --help and --version.
std::string optionsHelp(std::span<const CommandLineOption> options, std::size_t column);

} // namespace quorlan::platform
