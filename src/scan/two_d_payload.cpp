#include "scan/two_d_payload.h"

#include "cnc/compressed_payload.h"
#include "cnc/field_splitter.h"
#include "cnc/line_values.h"
#include "cnc/program_file.h"
#include "platform/text.h"

#include <stdexcept>

namespace quorlan::scan {

namespace {

constexpr std::string_view kPrefixFiller = "0000000";
constexpr std::string_view kListFormTrailer = "^L";

void refuse(const std::string& what, const std::string& why) {
    throw std::invalid_argument(what + " is not accepted: " + why);
}

void checkValue(const std::string& what, const std::string& value) {
    if (const std::string fault = headerValueFault(value); !fault.empty()) {
        refuse(what, fault);
    }
}

// The scan loop looks at a scan's first character before anything else: "ñ" marks a compressed
// scan, "Ñ" a prefix to drop, and "'" with a "$" anywhere a quoted command.
void checkFirstCharacter(const std::string& programName, const std::string& scan) {
    const char first = programName.empty() ? '\0' : programName.front();
    if (first == cnc::kCompressedMark || first == kTwoDPrefixMark) {
        refuse("The program name", first == kTwoDPrefixMark
                                       ? "it begins with the character 0xD1, which marks a prefix the station drops"
                                       : "it begins with the character 0xF1, which marks a compressed scan");
    }
    if (first == '\'' && scan.find('$') != std::string::npos) {
        refuse("The program name", "it begins with \"'\", which with the \"$\" in the scan makes it a quoted command");
    }
}

} // namespace

// A value stands between separators and is read back with its blanks trimmed.
std::string headerValueFault(const std::string& value) {
    if (std::string fault = cnc::lineValueFault(value); !fault.empty()) {
        return fault;
    }
    if (value.find_first_of("^!") != std::string::npos) {
        return "it holds \"^\" or \"!\", which separate the parts of a 2D scan";
    }
    if (platform::trimBlanks(value) != value) {
        return "it begins or ends with a blank, which the station drops";
    }
    return {};
}

std::string programTextOfFile(std::string fileBytes) {
    if (fileBytes.ends_with("\r\n")) {
        fileBytes.resize(fileBytes.size() - 2);
    } else if (fileBytes.ends_with('\n')) {
        fileBytes.pop_back();
    }
    return fileBytes;
}

std::string withoutTwoDPrefix(std::string scan) {
    if (!scan.empty() && scan.front() == kTwoDPrefixMark) {
        scan.erase(0, std::min(scan.size(), kTwoDPrefixLength));
    }
    return scan;
}

std::string headerField(std::string_view header, int n) {
    return n < 1 ? std::string()
                 : cnc::fieldAt(header, std::string_view(&kHeaderSeparator, 1), static_cast<std::size_t>(n));
}

bool isListForm(std::string_view scan) {
    return scan.find(kProgramSeparator) == std::string_view::npos && scan.starts_with(kListFormMark);
}

std::string listFormName(std::string_view scan) {
    if (!isListForm(scan)) {
        return {};
    }
    scan.remove_prefix(kListFormMark.size());
    return std::string(scan.substr(0, scan.size() - std::min(scan.size(), kListFormTrailerLength)));
}

std::string buildTwoDScan(const std::string& programName, const std::vector<HeaderItem>& items,
                          const std::string& programText, bool withPrefix) {
    if (const std::string fault = cnc::programNameFault(programName); !fault.empty()) {
        refuse("The program name", fault);
    }
    checkValue("The program name", programName);
    if (items.size() > static_cast<std::size_t>(kLastHeaderField - 1)) {
        refuse("The header", "it has " + std::to_string(items.size()) + " items; a header holds at most " +
                                 std::to_string(kLastHeaderField - 1));
    }
    std::string scan = withPrefix ? std::string(1, kTwoDPrefixMark) + std::string(kPrefixFiller) : std::string();
    scan += programName;
    for (const HeaderItem& item : items) {
        if (kHeaderLetters.find(item.letter) == std::string_view::npos) {
            refuse("The header item " + std::string(1, item.letter), "it is none of " + std::string(kHeaderLetters));
        }
        checkValue("The value of " + std::string(1, item.letter), item.value);
        scan += kHeaderSeparator;
        scan += item.letter;
        scan += item.value;
    }
    const std::string text = platform::trimBlanks(programText);
    if (text.size() <= kLongestUnsavedProgram) {
        refuse("The program text", "it is " + std::to_string(text.size()) +
                                       " characters long; the station saves only "
                                       "programs longer than " +
                                       std::to_string(kLongestUnsavedProgram));
    }
    if (text != programText) {
        refuse("The program text", "it begins or ends with a blank, which the station drops");
    }
    // The scan loop sends only a scan holding "^" to 2D processing; an empty item stores nothing.
    if (items.empty()) {
        scan += kHeaderSeparator;
    }
    scan += kProgramSeparator + programText;
    if (!withPrefix) {
        checkFirstCharacter(programName, scan);
    }
    return scan;
}

std::string buildListScan(const std::string& listName) {
    checkValue("The list name", listName);
    return std::string(kListFormMark) + listName + std::string(kListFormTrailer);
}

} // namespace quorlan::scan
