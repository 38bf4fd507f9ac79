#include "job_file.h"

#include "platform/text.h"

#include <algorithm>
#include <set>

namespace quorlan::label_tool {

const std::vector<std::string> kJobColumns = {"program", "field", "x", "y", "z", "a",       "b",          "c",
                                              "d",       "e",     "f", "g", "i", "comment", "repetitions"};

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A header cell as a column name; "field code" is the field column, and V may be given too.
std::string columnOf(const std::string& header) {
    const std::string name = lowerCase(platform::trimBlanks(header));
    if (name == "field code") {
        return "field";
    }
    if (name == "v" || std::find(kJobColumns.begin(), kJobColumns.end(), name) != kJobColumns.end()) {
        return name;
    }
    return {};
}

std::string columnList() {
    std::string list;
    for (const auto& column : kJobColumns) {
        list += (list.empty() ? "" : ", ") + column;
    }
    return list + " (and v)";
}

// A semicolon file from a spreadsheet set to a European locale, else commas.
char separatorOf(const std::string& text) {
    const std::string firstLine = text.substr(0, text.find('\n'));
    return firstLine.find(';') != std::string::npos && firstLine.find(',') == std::string::npos ? ';' : ',';
}

bool blankRecord(const CsvRecord& record) {
    return std::all_of(record.cells.begin(), record.cells.end(),
                       [](const std::string& cell) { return platform::trimBlanks(cell).empty(); });
}

std::vector<std::string> headerColumns(const CsvRecord& header) {
    std::vector<std::string> columns;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < header.cells.size(); ++i) {
        const std::string column = columnOf(header.cells[i]);
        const std::string where = std::to_string(i + 1);
        if (column.empty()) {
            throw JobError(header.line, where,
                           "\"" + header.cells[i] + "\" is no column of a job; the columns are " + columnList());
        }
        if (!seen.insert(column).second) {
            throw JobError(header.line, where, "column " + column + " is named twice");
        }
        columns.push_back(column);
    }
    if (!seen.contains("program")) {
        throw JobError(header.line, "program", "the header row has no program column");
    }
    return columns;
}

JobRow rowOf(const CsvRecord& record, const std::vector<std::string>& columns) {
    if (record.cells.size() < columns.size()) {
        throw JobError(record.line, columns[record.cells.size()],
                       "missing: the row has " + std::to_string(record.cells.size()) + " columns, the job " +
                           std::to_string(columns.size()));
    }
    if (record.cells.size() > columns.size()) {
        throw JobError(record.line, std::to_string(columns.size() + 1),
                       "extra: the row has " + std::to_string(record.cells.size()) + " columns, the job " +
                           std::to_string(columns.size()));
    }
    JobRow row{record.line, {}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        row.values[columns[i]] = record.cells[i];
    }
    return row;
}

} // namespace

std::string JobRow::value(const std::string& column) const {
    const auto found = values.find(column);
    return found == values.end() ? std::string() : found->second;
}

// A part from the command line has no row: its values come from the column options.
JobError::JobError(int line, const std::string& column, const std::string& reason)
    : std::runtime_error((line > 0 ? "row " + std::to_string(line) + ", column " + column : "--" + column) + ": " +
                         reason) {}

std::vector<CsvRecord> splitCsv(const std::string& bytes, char separator) {
    std::vector<CsvRecord> records;
    CsvRecord record{1, {}};
    std::string cell;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the cell began with a quote: its blanks are its own
    int line = 1;
    int quoteLine = 0;
    const auto endCell = [&] {
        record.cells.push_back(wasQuoted ? cell : platform::trimBlanks(cell));
        cell.clear();
        wasQuoted = false;
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                line += c == '\n' ? 1 : 0;
                cell += c;
            }
        } else if (c == '"' && platform::trimBlanks(cell).empty()) {
            quoted = wasQuoted = true;
            quoteLine = line;
            cell.clear();
        } else if (c == separator) {
            endCell();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            endCell();
            records.push_back(std::move(record));
            record = {++line, {}};
        } else {
            cell += c;
        }
    }
    if (quoted) {
        throw JobError(quoteLine, std::to_string(record.cells.size() + 1), "the quote opened here is never closed");
    }
    if (!cell.empty() || !record.cells.empty()) {
        endCell();
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<JobRow> readJob(const std::string& bytes) {
    const std::string text = platform::startsWith(bytes, kByteOrderMark) ? bytes.substr(kByteOrderMark.size()) : bytes;
    std::vector<CsvRecord> records = splitCsv(text, separatorOf(text));
    std::erase_if(records, blankRecord);
    if (records.empty()) {
        return {};
    }
    std::vector<std::string> columns = kJobColumns;
    auto first = records.begin();
    if (columnOf(first->cells.front()) == "program") {
        columns = headerColumns(*first);
        ++first;
    }
    std::vector<JobRow> rows;
    for (auto record = first; record != records.end(); ++record) {
        rows.push_back(rowOf(*record, columns));
    }
    return rows;
}

} // namespace quorlan::label_tool
