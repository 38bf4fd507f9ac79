#include "label_run.h"

#include "verify.h"

namespace quorlan::label_tool {

namespace {

std::string labelName(const PrintLabel& label) {
    const std::string where = label.line > 0 ? "row " + std::to_string(label.line) + ", " : "";
    return where + "label " + label.caption.toStdString() + ": ";
}

} // namespace

PrintResult printLabels(const std::vector<PlannedLabel>& planned, const PrintSettings& settings) {
    PrintResult result;
    const Layout layout(settings.cell, settings.sheet, settings.dpi);
    const LabelPainter painter(layout);
    const Printed printed =
        encodePlan(planned, [&painter](const symbols::Symbol& symbol) { return painter.fits(symbol); });
    if (!printed.faults.empty()) {
        result.faults = printed.faults;
        return result;
    }
    std::vector<PlacedLabel> placed;
    for (const PrintLabel& label : printed.labels) {
        try {
            placed.push_back({label, painter.place(label)});
            if (settings.verify) {
                verifyLabel(painter, label, placed.back().placement);
            }
        } catch (const std::runtime_error& error) {
            result.faults.push_back(labelName(label) + error.what());
        }
    }
    if (!result.faults.empty()) {
        return result;
    }
    checkWritable(settings.output);
    writePages(settings.output, settings.format, layout, painter, placed);
    result.labels = placed.size();
    result.pages = layout.pagesFor(placed.size());
    result.files = pageFiles(settings.output, settings.format, result.pages);
    return result;
}

} // namespace quorlan::label_tool
