#include "cnc/program_file.h"

#include "cnc/field_splitter.h"
#include "cnc/line_reader.h"
#include "cnc/line_values.h"
#include "platform/error.h"
#include "platform/ordinary_file.h"
#include "platform/text.h"

#include <cmath>
#include <fcntl.h>
#include <istream>
#include <limits>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// Only the first lines matter; a file beyond these limits is not a program this station made.
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxLines = 10000;

std::string readNonEmptyLine(LineReader& reader) {
    std::string line;
    while (reader.next(line)) {
        if (!platform::trimBlanks(line).empty()) {
            return line;
        }
    }
    throw StationError(platform::errc::kInputPastEnd);
}

std::string readDimensionLine(LineReader& reader) {
    std::string line;
    while (reader.next(line)) {
        if (!platform::trimBlanks(line).empty() && platform::contains(platform::toUpper(line), "UN")) {
            return line;
        }
    }
    throw StationError(platform::errc::kInputPastEnd);
}

float lenientSingle(std::string_view text) {
    const double value = platform::numericValue(text);
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        throw StationError(platform::errc::kOverflow);
    }
    return static_cast<float>(value);
}

// "UN X=600 Y=400 Z=18": the values are fields 3, 5 and 7; the comment is line 2 after its marker.
void readHeaderFile(LineReader& reader, const std::string& line2, float& x, float& y, float& z,
                    std::string& programComment) {
    const std::string dimensions = readDimensionLine(reader);
    constexpr std::string_view kSeparators = " =\r";
    x = lenientSingle(fieldAt(dimensions, kSeparators, 3));
    y = lenientSingle(fieldAt(dimensions, kSeparators, 5));
    z = lenientSingle(fieldAt(dimensions, kSeparators, 7));
    programComment = withLineBreakersBlanked(line2.size() > 2 ? line2.substr(2) : std::string());
}

// "G71 X600 Y400 Z18" then "(COMMENT)".
void readGCodeFile(const std::string& upperLine1, const std::string& line2, float& x, float& y, float& z,
                   std::string& programComment) {
    constexpr std::string_view kSeparators = "XYZT";
    x = platform::strictSingle(fieldAt(upperLine1, kSeparators, 2));
    y = platform::strictSingle(fieldAt(upperLine1, kSeparators, 3));
    z = platform::strictSingle(fieldAt(upperLine1, kSeparators, 4));
    programComment = withLineBreakersBlanked(fieldAt(platform::trimBlanks(line2), "()", 2));
}

bool isGCodeStart(const std::string& upperLine) {
    return platform::startsWith(upperLine, "G71") || platform::startsWith(upperLine, "G70");
}

} // namespace

std::string programNameFault(std::string_view programName) {
    const std::string trimmed = platform::trimBlanks(programName);
    if (trimmed.empty() || trimmed == ".") {
        return "it names no file";
    }
    if (programName.size() > kMaxProgramNameBytes) {
        return "it is longer than " + std::to_string(kMaxProgramNameBytes) + " bytes";
    }
    if (programName.find_first_of("/\\") != std::string_view::npos || platform::contains(programName, "..")) {
        return "it leads out of the program folder";
    }
    if (platform::contains(programName, ":")) {
        return "it names a drive";
    }
    // No file may be named with wildcards, and they would make the name match others.
    if (programName.find_first_of("*?") != std::string_view::npos) {
        return "it holds a wildcard";
    }
    return lineValueFault(programName);
}

bool isSafeProgramName(std::string_view programName) {
    return programNameFault(programName).empty();
}

void CheckProgramFile(const std::string& gcodePath, const std::string& programName, const platform::PathMapper& paths,
                      platform::StationView& view, float& x, float& y, float& z, std::string& programComment) {
    programComment.clear();
    if (!isSafeProgramName(programName)) {
        return;
    }
    const std::string path = platform::trimBlanks(gcodePath + programName);
    platform::FileDescriptor file;
    try {
        file = platform::openOrdinaryFile(paths.toLocal(path), O_RDONLY);
    } catch (const platform::NotAFile& error) {
        view.message(path + " was not read: " + error.description() + ".", platform::MessageIcon::None);
        return;
    } catch (const StationError&) {
        return;
    }
    try {
        platform::FileInputBuffer buffer(file.get());
        std::istream input(&buffer);
        LineReader reader(input, kMaxLineBytes, kMaxLines);
        const std::string line1 = readNonEmptyLine(reader);
        const std::string line2 = readNonEmptyLine(reader);
        if (platform::contains(platform::toUpper(line1), "QZT")) {
            readHeaderFile(reader, line2, x, y, z, programComment);
            return;
        }
        const std::string upperLine1 = platform::toUpper(platform::trimBlanks(line1));
        if (!isGCodeStart(upperLine1)) {
            view.message(path + " Not a proper program file", platform::MessageIcon::None);
            return;
        }
        readGCodeFile(upperLine1, line2, x, y, z, programComment);
    } catch (const std::exception&) {
        // A file that cannot be read to the end of its rules keeps what was read, without a message.
    }
}

} // namespace quorlan::cnc
