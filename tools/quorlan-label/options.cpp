#include "options.h"

#include "platform/command_line.h"
#include "symbols/symbology.h"

#include <QString>
#include <algorithm>
#include <cstdlib>

namespace quorlan::label_tool {

namespace {

constexpr double kLargestLabelMm = 297;

std::optional<SizeMm> sizeOf(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const std::string width = text.substr(0, x);
    const std::string height = text.substr(x + 1);
    const double w = std::strtod(width.c_str(), &end);
    if (width.empty() || *end != '\0') {
        return std::nullopt;
    }
    const double h = std::strtod(height.c_str(), &end);
    if (height.empty() || *end != '\0' || !(w > 0 && h > 0 && w <= kLargestLabelMm && h <= kLargestLabelMm)) {
        return std::nullopt;
    }
    return SizeMm{w, h};
}

std::optional<std::string> setSize(const std::string& option, const std::string& value, std::optional<SizeMm>& size) {
    size = sizeOf(value);
    if (!size) {
        return option + " takes WIDTHxHEIGHT in millimetres, each above 0 and up to 297, such as 62x29; not \"" +
               value + "\"";
    }
    return std::nullopt;
}

std::optional<std::string> setForm(const std::string& value, Options& options) {
    return tools::chooseWord("--form", value,
                             {{"parts", LabelForm::Parts}, {"plain", LabelForm::Plain}, {"2d", LabelForm::TwoD}},
                             options.form);
}

std::optional<std::string> setSymbology(const std::string& value, Options& options) {
    const auto symbology = symbols::symbologyNamed(value);
    if (!symbology || *symbology == symbols::Symbology::Code128) {
        return "--symbology takes " + symbols::twoDimensionalNames() + ", not \"" + value + "\"";
    }
    options.twoD.symbology = *symbology;
    return std::nullopt;
}

void noteTwoDOption(const std::string& name, Options& options) {
    if (options.twoDOption.empty()) {
        options.twoDOption = name;
    }
}

std::optional<std::string> apply(const std::string& name, const std::string& value, Options& options) {
    const std::string column = name.substr(2);
    if (std::find(kJobColumns.begin(), kJobColumns.end(), column) != kJobColumns.end() || column == "v") {
        if (!options.part) {
            options.part = JobRow{};
        }
        options.part->values[column] = value;
        return std::nullopt;
    }
    if (name == "--job") {
        options.jobFile = value;
    } else if (name == "--list") {
        options.listName = value;
    } else if (name == "--form") {
        return setForm(value, options);
    } else if (name == "--symbology") {
        noteTwoDOption(name, options);
        return setSymbology(value, options);
    } else if (name == "--program-folder") {
        noteTwoDOption(name, options);
        options.twoD.programFolder = QString::fromLocal8Bit(value.c_str());
    } else if (name == "--output") {
        options.output = value;
    } else if (name == "--label-size") {
        return setSize(name, value, options.labelSize);
    } else if (name == "--cell") {
        return setSize(name, value, options.cell);
    } else if (name == "--dpi") {
        char* end = nullptr;
        const long dpi = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || dpi < 150 || dpi > 1200) {
            return "--dpi takes a resolution from 150 to 1200, not \"" + value + "\"";
        }
        options.dpi = static_cast<int>(dpi);
    }
    return std::nullopt;
}

// Every option; what each does is told in helpText(), in its groups. The job file's columns are
// options too, for a part given on the command line.
std::vector<platform::CommandLineOption> commandLineOptions() {
    std::vector<platform::CommandLineOption> options = {{"job", "FILE", ""},
                                                        {"list", "NAME", ""},
                                                        {"command-sheet", nullptr, ""},
                                                        {"form", "FORM", ""},
                                                        {"program-folder", "DIR", ""},
                                                        {"symbology", "NAME", ""},
                                                        {"compress", nullptr, ""},
                                                        {"output", "FILE", "", "o"},
                                                        {"label-size", "WxH", ""},
                                                        {"cell", "WxH", ""},
                                                        {"dpi", "N", ""},
                                                        {"no-verify", nullptr, ""},
                                                        {"v", "VALUE", ""}};
    for (const std::string& column : kJobColumns) {
        options.push_back({column.c_str(), "VALUE", ""});
    }
    return options;
}

std::optional<std::string> complete(const Options& options) {
    const int sources = int{!options.jobFile.empty()} + int{options.part.has_value()} +
                        int{options.listName.has_value()} + int{options.commandSheet};
    if (sources != 1) {
        return sources == 0 ? "nothing to print: give --job, --program, --list or --command-sheet"
                            : "give one of --job, --program, --list and --command-sheet";
    }
    if (options.part && !options.part->values.contains("program")) {
        return "a part from the command line needs --program";
    }
    if (options.output.empty()) {
        return "no output: give --output FILE.pdf, FILE.png or FILE.svg";
    }
    if (!options.twoDOption.empty() && options.form != LabelForm::TwoD) {
        return options.twoDOption + " is for 2D program labels: give --form 2d";
    }
    if (options.form == LabelForm::TwoD && (options.listName || options.commandSheet)) {
        return "--form 2d prints programs from --job or --program";
    }
    if (options.commandSheet && options.cell) {
        return "--cell is for job sheets; the command sheet has a layout of its own (--label-size makes single "
               "labels of it)";
    }
    if (options.labelSize && options.cell) {
        return "give --label-size for single labels or --cell for A4 sheets, not both";
    }
    return std::nullopt;
}

} // namespace

std::variant<Options, ShowHelp, ShowVersion, UsageError> parseOptions(const std::vector<std::string>& arguments) {
    const std::vector<platform::CommandLineOption> table = commandLineOptions();
    const platform::CommandLine commandLine = platform::readCommandLine(arguments, table);
    if (auto end = tools::endBeforeOptions<Options>(commandLine)) {
        return *end;
    }
    if (const std::vector<std::string> words = commandLine.words(); !words.empty()) {
        return UsageError{"unexpected argument \"" + words.front() + "\""};
    }
    Options options;
    for (const platform::CommandLineItem& item : commandLine.items) {
        const std::string name = std::string("--") + item.option->name;
        if (name == "--command-sheet") {
            options.commandSheet = true;
        } else if (name == "--no-verify") {
            options.verify = false;
        } else if (name == "--compress") {
            noteTwoDOption(name, options);
            options.twoD.compress = true;
        } else if (auto problem = apply(name, item.value, options)) {
            return UsageError{*problem};
        }
    }
    if (auto problem = complete(options)) {
        return UsageError{*problem};
    }
    return options;
}

std::string usageLine() {
    return "usage: quorlan-label (--job FILE.csv | --program NAME [COLUMN OPTIONS] | --list NAME | --command-sheet)\n"
           "                     [--form parts|plain|2d] [OPTION]... --output FILE.pdf|FILE.png|FILE.svg";
}

std::string helpText() {
    return usageLine() + R"(
Prints the labels the Quorlan station reads: Code 128 labels for programs and parts, commands and
field codes, and 2D labels that carry a whole program file to the station. Every symbol is read
back from the rendered image by a barcode decoder and must give exactly the bytes intended, or
nothing is written. Values the station could not read back into the same work-list line are
refused with the row, the column and the reason, before anything is printed.

What to print:
  --job FILE        a CSV job file, one part per row (see below)
  --program NAME    one part; give its other values with the column options below
  --list NAME       the label that loads the list file NAME.LST
  --command-sheet   one A4 page for the wall beside the scanner: every command label (START,
                    STOP, END, CLEAR, SETPOINT), the 36 field-code labels in a table of the
                    machine table's places, and a key of what the codes mean there
  --form FORM       parts (default): the set of part labels the station collects (program with
                    field code, dimensions, variables A-D, variables E-I, numbered and counted);
                    plain: the program name alone, its field chosen by the station;
                    2d: the program file itself with its header (the field code, dimensions and
                    variables given) in a 2D symbol; the station saves the program and queues it

2D program labels (--form 2d):
  --program-folder DIR  where the program files are, each named as its program (default: .);
                    the file's bytes go unchanged, but for one line end at its end, which the
                    station puts back when it saves the program
  --symbology NAME  qr (default), datamatrix or pdf417
  --compress        compress the program (zlib), so that larger programs fit; the station
                    expands it
                    A program too big for one symbol is split over up to 16 symbols (structured
                    append, labels "1/3", "2/3", "3/3" ...), which a 2D scanner reads as one scan.

Column options, for --program (the columns of a job file):
  --field CODE      one of the 36 field codes (N, M, S, A, T, R, alone or followed by 1, /, 1/,
                    /0 or /1); empty: the station chooses
  --x N, --y N, --z N   dimensions; those left out are read from the program file
  --v VALUE, --a VALUE ... --g VALUE, --i VALUE   the V value and variables A to G and I;
                    the station reads them but sends none of them to the control
  --comment TEXT    printed under the label's symbol
  --repetitions N   1 (default) or 999 (a repeated part: the program label alone)

Output:
  -o, --output FILE   FILE.pdf (all pages), FILE.png or FILE.svg (one file per page: FILE.png,
                    FILE-2.png ...); written whole or not at all
  --label-size WxH  single labels of W by H millimetres, one per page, for a label printer
                    (for example 62x29); default: A4 sheets
  --cell WxH        the size of a label on an A4 sheet (default 70x37, for 2D labels 105x74)
  --dpi N           the printer's resolution, 150 to 1200 (default 300); modules are whole dots
  --no-verify       do not read every symbol back (faster)
  --help            print this help and exit
  --version         print the version and exit

A job file has the columns program, field, x, y, z, a, b, c, d, e, f, g, i, comment and
repetitions in this order, or a first row naming its columns in any order (program is needed;
"field code" and v are understood). Commas or semicolons, quotes, CRLF or LF line ends and a
UTF-8 byte order mark are read; a file that is not UTF-8 is read as Windows-1252.

Exit status: 0 when every label was written, 1 for a refused value or a symbol that did not read
back, 2 for a usage error, 3 when the output cannot be written.

Examples:
  quorlan-label --job week12.csv --output week12.pdf
  quorlan-label --program FLANGE --field N1 --x 600 --y 400 --z 18 --label-size 62x29 -o flange.png
  quorlan-label --job week12.csv --form 2d --program-folder programs --compress -o week12-2d.pdf
  quorlan-label --command-sheet --output commands.pdf
)";
}

} // namespace quorlan::label_tool
