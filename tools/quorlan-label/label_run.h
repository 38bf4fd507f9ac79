// From planned labels to written pages: encode, place, verify, write. Nothing is written unless
// every label is sound.
#pragma once

#include "label_plan.h"
#include "layout.h"
#include "page_writer.h"

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace quorlan::label_tool {

struct PrintSettings {
    SizeMm cell;
    bool sheet = true;
    int dpi = 300;
    bool verify = true;
    QString output;
    PageFormat format = PageFormat::Pdf;
};

struct PrintResult {
    std::vector<std::string> faults; // when not empty, nothing was written
    std::size_t labels = 0;
    int pages = 0;
    QStringList files;
};

// Throws OutputError when the pages cannot be written, LayoutError for a cell that fits no page.
PrintResult printLabels(const std::vector<PlannedLabel>& planned, const PrintSettings& settings);

// Each label placed by the painter and, with verify, read back; what fails goes to faults.
std::vector<PlacedLabel> placeAndVerify(const std::vector<PrintLabel>& labels, const LabelPainter& painter, bool verify,
                                        std::vector<std::string>& faults);
// The pages written to the settings' output; throws OutputError.
PrintResult writeAll(const PrintSettings& settings, const PageSet& pages, std::size_t labels);

} // namespace quorlan::label_tool
