#include "platform/command_line.h"

namespace quorlan::platform {

namespace {

constexpr std::size_t kHelpWidth = 80;

const CommandLineOption kHelp{"help", nullptr, "print this help and exit", "h"};
const CommandLineOption kVersion{"version", nullptr, "print the version and exit"};

// The option that "--name" (long) or "-name" (short) names, or nullptr.
const CommandLineOption* find(std::string_view name, bool isShort, std::span<const CommandLineOption> options) {
    const auto names = [&](const CommandLineOption& option) {
        const char* own = isShort ? option.shortName : option.name;
        return own != nullptr && name == own;
    };
    for (const CommandLineOption& option : options) {
        if (names(option)) {
            return &option;
        }
    }
    for (const CommandLineOption* option : {&kHelp, &kVersion}) {
        if (names(*option)) {
            return option;
        }
    }
    return nullptr;
}

} // namespace

std::vector<std::string> CommandLine::words() const {
    std::vector<std::string> words;
    for (const CommandLineItem& item : items) {
        if (item.option == nullptr) {
            words.push_back(item.value);
        }
    }
    return words;
}

CommandLine readCommandLine(const std::vector<std::string>& arguments, std::span<const CommandLineOption> options) {
    CommandLine read;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        const bool isLong = argument.starts_with("--");
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            read.items.push_back({nullptr, argument});
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string typed = argument.substr(0, equals);
        const CommandLineOption* option = find(std::string_view(typed).substr(isLong ? 2 : 1), !isLong, options);
        if (option == nullptr && !isLong) {
            read.items.push_back({nullptr, argument});
            continue;
        }
        if (option == nullptr) {
            read.error = "unknown option " + typed;
            return read;
        }
        CommandLineItem item{option, {}};
        if (option->valueName == nullptr) {
            if (equals != std::string::npos) {
                read.error = typed + " takes no value";
                return read;
            }
        } else if (equals != std::string::npos) {
            item.value = argument.substr(equals + 1);
        } else if (index + 1 < arguments.size()) {
            item.value = arguments[++index];
        } else {
            read.error = typed + " needs a value";
            read.valueMissing = option;
            return read;
        }
        if (option == &kHelp || option == &kVersion) {
            (option == &kHelp ? read.help : read.version) = true;
        } else {
            read.items.push_back(std::move(item));
        }
    }
    return read;
}

std::string helpEntry(std::string_view term, std::string_view text, std::size_t column) {
    std::string out = "  " + std::string(term);
    std::size_t at = out.size();
    if (at + 1 >= column) {
        out += '\n';
        at = 0;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) {
            continue;
        }
        if (at > column && at + 1 + word.size() > kHelpWidth) {
            out += '\n';
            at = 0;
        }
        const std::size_t gap = at < column ? column - at : 1;
        out.append(gap, ' ');
        out += word;
        at += gap + word.size();
    }
    return out + '\n';
}

std::string optionsHelp(std::span<const CommandLineOption> options, std::size_t column) {
    std::string help;
    for (const CommandLineOption& option : options) {
        std::string term = std::string("--") + option.name;
        if (option.shortName != nullptr) {
            term = std::string("-") + option.shortName + ", " + term;
        }
        if (option.valueName != nullptr) {
            term += std::string(" ") + option.valueName;
        }
        help += helpEntry(term, option.help, column);
    }
    help += helpEntry("-h, --help", kHelp.help, column);
    help += helpEntry("--version", kVersion.help, column);
    return help;
}

} // namespace quorlan::platform
