// How quorlan-scan and quorlan-label begin: the options read from one table, and a run that ends
// before it starts (--help, --version, an argument that cannot be read) ended alike by both.
#pragma once

#include "platform/command_line.h"

#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace quorlan::tools {

inline constexpr int kExitUsage = 2;

struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    std::string why;
};

template <class Options> using Parsed = std::variant<Options, ShowHelp, ShowVersion, UsageError>;

// What ends the run before its options are taken, or nothing when they are to be taken.
template <class Options> std::optional<Parsed<Options>> endBeforeOptions(const platform::CommandLine& commandLine) {
    if (!commandLine.error.empty()) {
        return UsageError{commandLine.error};
    }
    if (commandLine.help) {
        return ShowHelp{};
    }
    if (commandLine.version) {
        return ShowVersion{};
    }
    return std::nullopt;
}

// Prints the help, the version or the usage error; the exit code then, or nothing when the run
// goes on with its options.
template <class Options>
std::optional<int> endsHere(const Parsed<Options>& parsed, const std::string& tool, const std::string& help,
                            const std::string& usage) {
    if (std::holds_alternative<ShowHelp>(parsed)) {
        std::cout << help;
        return EXIT_SUCCESS;
    }
    if (std::holds_alternative<ShowVersion>(parsed)) {
        std::cout << tool << " " QUORLAN_VERSION "\n";
        return EXIT_SUCCESS;
    }
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        std::cerr << tool << ": " << error->why << "\n"
                  << usage << "\nTry '" << tool << " --help' for more information.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

// An option that takes one of a few words: the value it names, or the usage error
// "--expect takes auto, all or none, not "some"".
template <class Value>
std::optional<std::string> chooseWord(std::string_view option, const std::string& word,
                                      std::initializer_list<std::pair<const char*, Value>> choices, Value& chosen) {
    std::string names;
    std::size_t index = 0;
    for (const auto& [name, value] : choices) {
        if (word == name) {
            chosen = value;
            return std::nullopt;
        }
        names += std::string(index == 0 ? "" : index + 1 == choices.size() ? " or " : ", ") + name;
        ++index;
    }
    return std::string(option) + " takes " + names + ", not \"" + word + "\"";
}

} // namespace quorlan::tools
