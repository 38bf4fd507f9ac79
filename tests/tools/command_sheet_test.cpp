// The command sheet as it comes off the printer: one page whose symbols read back in the order of
// the table, each centred in its framed cell.
#include "command_sheet.h"
#include "label_plan.h"
#include "symbols/decoder.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quorlan::label_tool {
namespace {

constexpr int kDpi = 300;

// The ink inside a cell, its frame left out: how far it stays from each side.
struct Margins {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

Margins inkMargins(const QImage& page, const Rect& cell, int frame) {
    int left = cell.width;
    int right = -1;
    int top = cell.height;
    int bottom = -1;
    for (int y = frame; y < cell.height - frame; ++y) {
        const uchar* line = page.constScanLine(cell.y + y);
        for (int x = frame; x < cell.width - frame; ++x) {
            if (line[cell.x + x] < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return {left, cell.width - 1 - right, top, cell.height - 1 - bottom};
}

TEST(CommandSheet, onePageWhoseSymbolsReadInTableOrderEachCentredInItsCell) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("sheet.png"));
    const PrintResult printed = printCommandSheet({{}, true, kDpi, true, file, PageFormat::Png});
    ASSERT_EQ(printed.faults, std::vector<std::string>{});
    EXPECT_EQ(printed.pages, 1);
    EXPECT_EQ(printed.labels, 41u);

    const QImage page = QImage(file).convertToFormat(QImage::Format_Grayscale8);
    std::vector<std::string> read;
    for (const symbols::Decoded& symbol : symbols::decodeImage(page)) {
        read.push_back(symbol.bytes);
    }
    std::vector<std::string> planned;
    for (const PlannedLabel& label : planCommandSheet().labels) {
        planned.push_back(label.payload);
    }
    EXPECT_EQ(read, planned);

    const Layout a4(kA4, false, kDpi);
    const std::vector<Rect> cells = commandSheetCells(a4);
    ASSERT_EQ(cells.size(), planned.size());
    const int frame = a4.dots(0.5);
    for (std::size_t n = 0; n < cells.size(); ++n) {
        const Margins ink = inkMargins(page, cells[n], frame);
        EXPECT_LE(std::abs(ink.left - ink.right), 2)
            << planned[n] << ": " << ink.left << " left, " << ink.right << " right";
        // The text under a symbol ends above its line's descent: a millimetre of give.
        EXPECT_LE(std::abs(ink.top - ink.bottom), a4.dots(1))
            << planned[n] << ": " << ink.top << " above, " << ink.bottom << " below";
        EXPECT_GT(std::min(ink.top, ink.bottom), frame) << planned[n] << " touches its frame";
    }
}

} // namespace
} // namespace quorlan::label_tool
