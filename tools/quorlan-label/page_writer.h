// Writes the labels as pages: one PDF, or one PNG or SVG file per page (NAME.png, then NAME-2.png
// and on). Every file is written beside its final name and renamed only when all are complete, so
// a failure leaves no half-written page behind.
#pragma once

#include "label_painter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace quorlan::label_tool {

enum class PageFormat { Pdf, Png, Svg };

// By the file name's extension, in any case.
std::optional<PageFormat> pageFormatOf(const QString& path);

class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PlacedLabel {
    PrintLabel label;
    Placement placement;
};

// The pages to write: count pages of the layout's page size, each drawn by paint.
struct PageSet {
    const Layout& layout;
    int count = 0;
    std::function<void(QPainter& painter, int page)> paint;
};

// The files that pages of this many go to.
QStringList pageFiles(const QString& path, PageFormat format, int pages);

// Throws OutputError naming the file and the reason, before anything is written when it can tell.
void checkWritable(const QString& path);

// Throws OutputError; nothing is left of a failed write.
void writePages(const QString& path, PageFormat format, const PageSet& pages);

} // namespace quorlan::label_tool
