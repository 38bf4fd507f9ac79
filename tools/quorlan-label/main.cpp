// quorlan-label: prints the labels the station reads, each symbol verified by a real decoder.
#include "command_sheet.h"
#include "job_file.h"
#include "label_plan.h"
#include "label_run.h"
#include "options.h"
#include "platform/runtime_folder.h"

#include <QGuiApplication>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

using namespace quorlan::label_tool;
using quorlan::tools::kExitUsage;

constexpr int kExitRefused = 1;
constexpr int kExitOutput = 3;
constexpr std::size_t kFaultsShown = 20;
constexpr SizeMm kSheetCell{70, 37};
// A 2D symbol of a few kilobytes needs about 65 mm square at modules a scanner reads well.
constexpr SizeMm kTwoDSheetCell{105, 74};

int refuse(const std::string& source, const std::vector<std::string>& faults) {
    for (std::size_t n = 0; n < faults.size() && n < kFaultsShown; ++n) {
        std::cerr << "quorlan-label: " << source << faults[n] << "\n";
    }
    if (faults.size() > kFaultsShown) {
        std::cerr << "quorlan-label: and " << faults.size() - kFaultsShown << " faults more\n";
    }
    std::cerr << "quorlan-label: nothing was written\n";
    return kExitRefused;
}

Plan planOf(const Options& options, std::string& source) {
    if (options.commandSheet) {
        return planCommandSheet();
    }
    if (options.listName) {
        return planListLabel(*options.listName, true);
    }
    if (options.part) {
        return planJob({*options.part}, options.form, true, options.twoD);
    }
    source = options.jobFile + ": ";
    std::ifstream file(options.jobFile, std::ios::binary);
    if (!file) {
        return {{}, {"cannot read the job file"}, {}};
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    try {
        return planJob(readJob(bytes), options.form, isUtf8(bytes), options.twoD);
    } catch (const JobError& error) {
        return {{}, {error.what()}, {}};
    }
}

int run(const Options& options) {
    const auto format = pageFormatOf(QString::fromStdString(options.output));
    if (!format) {
        std::cerr << "quorlan-label: " << options.output << ": the output must end in .pdf, .png or .svg\n";
        return kExitUsage;
    }
    std::string source;
    const Plan plan = planOf(options, source);
    for (const std::string& note : plan.notes) {
        std::cerr << "quorlan-label: note: " << source << note << "\n";
    }
    if (!plan.faults.empty()) {
        return refuse(source, plan.faults);
    }
    const SizeMm sheetCell = options.form == LabelForm::TwoD ? kTwoDSheetCell : kSheetCell;
    const PrintSettings settings{options.labelSize.value_or(options.cell.value_or(sheetCell)),
                                 !options.labelSize,
                                 options.dpi,
                                 options.verify,
                                 QString::fromStdString(options.output),
                                 *format};
    // On A4 the command sheet is a page of its own make; for a label printer it is single labels.
    const PrintResult printed =
        options.commandSheet && !options.labelSize ? printCommandSheet(settings) : printLabels(plan.labels, settings);
    if (!printed.faults.empty()) {
        return refuse(source, printed.faults);
    }
    const int pages = printed.pages;
    std::cout << "quorlan-label: " << printed.labels << (printed.labels == 1 ? " label on " : " labels on ") << pages
              << (pages == 1 ? " page" : " pages") << (options.verify ? ", every symbol read back," : "")
              << " written to " << printed.files.join(QStringLiteral(", ")).toStdString() << "\n";
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    const auto parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto exitCode = quorlan::tools::endsHere(parsed, "quorlan-label", helpText(), usageLine())) {
        return *exitCode;
    }
    // It paints without a window: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (const auto runtime = quorlan::platform::settleRuntimeFolder(); !runtime.problem.empty()) {
        std::cerr << "quorlan-label: " << runtime.problem << "\n";
    }
    QGuiApplication application(argc, argv);
    try {
        return run(std::get<Options>(parsed));
    } catch (const LayoutError& error) {
        std::cerr << "quorlan-label: " << error.what() << "\n";
        return kExitUsage;
    } catch (const OutputError& error) {
        std::cerr << "quorlan-label: " << error.what() << "\n";
        return kExitOutput;
    }
}
