#include "two_d_label.h"

#include "cnc/compressed_payload.h"
#include "cnc/program_file.h"
#include "label_plan.h"
#include "platform/path_mapper.h"
#include "platform/qt/cp1252.h"
#include "platform/text.h"
#include "scan/label_builder.h"
#include "scan/program_name.h"
#include "scan/two_d_payload.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quorlan::label_tool {

namespace {

std::string text(const QString& string) {
    return string.toStdString();
}

// The header item's letter is the job's column, but for the field code.
std::string columnOfLetter(char letter) {
    return letter == 'U' ? "field" : std::string(1, static_cast<char>(letter - 'A' + 'a'));
}

void refuseIf(const JobRow& row, const std::string& column, const std::string& fault) {
    if (!fault.empty()) {
        throw JobError(row.line, column, fault);
    }
}

std::vector<scan::HeaderItem> headerItems(const JobRow& row, const ColumnReader& value) {
    std::vector<scan::HeaderItem> items;
    for (const char letter : scan::kHeaderLetters) {
        const std::string column = columnOfLetter(letter);
        const std::string given = value(column);
        if (given.empty()) {
            continue;
        }
        refuseIf(row, column, scan::headerValueFault(given));
        if (letter == 'U') {
            refuseIf(row, column, scan::fieldCodeFault(scan::FieldCodeTable(), given));
        } else if (letter == 'X' || letter == 'Y' || letter == 'Z') {
            refuseIf(row, column, scan::numberFault(given));
        }
        items.push_back({letter, given});
    }
    return items;
}

std::string lowerFirst(std::string message) {
    if (!message.empty() && message.front() >= 'A' && message.front() <= 'Z') {
        message.front() = static_cast<char>(message.front() - 'A' + 'a');
    }
    return message;
}

// The program file's bytes. A NUL is no character of a program: such a file is binary, or text
// saved as UTF-16, and the control would not run what the station saved from it.
std::string readProgramFile(const JobRow& row, const std::string& path, std::vector<std::string>& notes) {
    const std::string shownPath = text(QString::fromLocal8Bit(path.c_str()));
    const auto refuse = [&](const std::string& why) { throw JobError(row.line, "program", shownPath + " " + why); };
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        refuse("does not exist: a 2D label carries the program file that the station reads for the program, "
               "NAME.CNC for NAME, from the program folder (--program-folder)");
    }
    if (!std::filesystem::is_regular_file(status)) {
        refuse("is no file");
    }
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > kLargestProgramFile) {
        refuse("is " + std::to_string(size) + " bytes; no 2D label holds more than a few tens of kilobytes");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        refuse("cannot be read: " + std::string(std::strerror(errno)));
    }
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        refuse("cannot be read");
    }
    if (bytes.empty()) {
        refuse("is empty");
    }
    if (const auto nul = bytes.find('\0'); nul != std::string::npos) {
        refuse("holds a NUL byte (at byte " + std::to_string(nul + 1) +
               "): it is no program text, but a binary file or text saved as UTF-16");
    }
    const bool highBytes = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    if (highBytes && isUtf8(bytes)) {
        notes.push_back(JobError(row.line, "program",
                                 shownPath + " looks like UTF-8 text; the station saves its bytes as they are "
                                             "and reads them as Windows-1252")
                            .what());
    }
    return bytes;
}

std::string payloadOf(const JobRow& row, const std::string& path, const std::string& program,
                      const std::vector<scan::HeaderItem>& items, const std::string& programText, bool compress) {
    try {
        const std::string plain = scan::buildTwoDScan(program, items, programText, false);
        return compress ? cnc::buildCompressedScan(plain) : plain;
    } catch (const std::invalid_argument& refused) {
        throw JobError(row.line, "program",
                       text(QString::fromLocal8Bit(path.c_str())) + ": " + lowerFirst(refused.what()));
    }
}

} // namespace

PlannedLabel planTwoDLabel(const JobRow& row, const ColumnReader& value, const TwoDSettings& settings,
                           std::vector<std::string>& notes) {
    // The program the part labels of the same row would queue: FLANGE is FLANGE.CNC.
    const std::string program = scan::withProgramExtension(value("program"));
    refuseIf(row, "program", cnc::programNameFault(program));
    refuseIf(row, "program", scan::headerValueFault(program));
    const std::string repetitions = platform::trimBlanks(row.value("repetitions"));
    if (!repetitions.empty() && repetitions != "1") {
        throw JobError(row.line, "repetitions",
                       "a 2D label queues its part once; print the part labels (--form parts) for 999");
    }
    const std::vector<scan::HeaderItem> items = headerItems(row, value);
    // Found as the station finds a program: its bytes as the file name, letter case ignored.
    const std::string folder = QFile::encodeName(settings.programFolder).toStdString();
    const std::string path = platform::PathMapper().toLocal(folder + "/" + program);
    const std::string programText = scan::programTextOfFile(readProgramFile(row, path, notes));
    PlannedLabel label;
    label.payload = payloadOf(row, path, program, items, programText, settings.compress);
    label.symbology = settings.symbology;
    label.caption = platform::fromCp1252(program);
    label.note = joinedNote({settings.compress ? QStringLiteral("2D, compressed") : QStringLiteral("2D"),
                             platform::fromCp1252(value("comment"))});
    label.line = row.line;
    label.column = "program";
    if (!settings.compress) {
        label.tooLargeHint = "; --compress makes the scan smaller";
    }
    return label;
}

} // namespace quorlan::label_tool
