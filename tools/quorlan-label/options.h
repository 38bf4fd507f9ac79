// quorlan-label's command line.
#pragma once

#include "job_file.h"
#include "label_plan.h"
#include "layout.h"
#include "tool_start.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorlan::label_tool {

struct Options {
    std::string jobFile;
    std::optional<JobRow> part; // one part given with --program and the other column options
    std::optional<std::string> listName;
    bool commandSheet = false;
    LabelForm form = LabelForm::Parts;
    TwoDSettings twoD;
    std::string twoDOption; // the first option given that only 2D program labels take
    std::string output;
    std::optional<SizeMm> labelSize; // single labels of this size instead of A4 sheets
    std::optional<SizeMm> cell;
    int dpi = 300;
    bool verify = true;
};

using tools::ShowHelp;
using tools::ShowVersion;
using tools::UsageError;

// arguments without the program name.
std::variant<Options, ShowHelp, ShowVersion, UsageError> parseOptions(const std::vector<std::string>& arguments);

std::string usageLine();
std::string helpText();

} // namespace quorlan::label_tool
