#include "label_run.h"

#include "verify.h"

namespace quorlan::label_tool {

namespace {

std::string labelName(const PrintLabel& label) {
    const std::string where = label.line > 0 ? "row " + std::to_string(label.line) + ", " : "";
    return where + "label " + label.caption.toStdString() + ": ";
}

} // namespace

std::vector<PlacedLabel> placeAndVerify(const std::vector<PrintLabel>& labels, const LabelPainter& painter, bool verify,
                                        std::vector<std::string>& faults) {
    std::vector<PlacedLabel> placed;
    for (const PrintLabel& label : labels) {
        try {
            placed.push_back({label, painter.place(label)});
            if (verify) {
                verifyLabel(painter, label, placed.back().placement);
            }
        } catch (const std::runtime_error& error) {
            faults.push_back(labelName(label) + error.what());
        }
    }
    return placed;
}

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
    const std::vector<PlacedLabel> placed = placeAndVerify(printed.labels, painter, settings.verify, result.faults);
    if (!result.faults.empty()) {
        return result;
    }
    const auto perPage = static_cast<std::size_t>(layout.labelsPerPage());
    const PageSet pages{layout, layout.pagesFor(placed.size()), [&](QPainter& on, int page) {
                            const auto first = static_cast<std::size_t>(page) * perPage;
                            for (std::size_t n = first; n < placed.size() && n < first + perPage; ++n) {
                                painter.paint(on, layout.cell(n), placed[n].label, placed[n].placement);
                            }
                        }};
    return writeAll(settings, pages, placed.size());
}

PrintResult writeAll(const PrintSettings& settings, const PageSet& pages, std::size_t labels) {
    checkWritable(settings.output);
    writePages(settings.output, settings.format, pages);
    PrintResult result;
    result.labels = labels;
    result.pages = pages.count;
    result.files = pageFiles(settings.output, settings.format, pages.count);
    return result;
}

} // namespace quorlan::label_tool
