// The office's job file: CSV, one part per row, with or without a header row naming the columns.
// Commas or semicolons, quotes, CRLF or LF line ends and a UTF-8 byte order mark are all read.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorlan::label_tool {

// The columns a row can have, in the order of a file without a header row.
extern const std::vector<std::string> kJobColumns;

struct JobRow {
    int line = 0;                              // the row's first line in the file, from 1
    std::map<std::string, std::string> values; // by column name, as in the file

    // Empty for a column the job does not have.
    std::string value(const std::string& column) const;
};

// A fault that names where it is, as "row 3, column x: ...", or "--x: ..." for line 0, a part
// given on the command line.
class JobError : public std::runtime_error {
public:
    JobError(int line, const std::string& column, const std::string& reason);
};

struct CsvRecord {
    int line = 0;
    std::vector<std::string> cells;
};

// Throws JobError for an unclosed quote.
std::vector<CsvRecord> splitCsv(const std::string& bytes, char separator);

// The rows of a job file; empty lines are skipped. Throws JobError for a row with too few or too
// many cells, or a header row with an unknown, repeated or missing column.
std::vector<JobRow> readJob(const std::string& bytes);

} // namespace quorlan::label_tool
