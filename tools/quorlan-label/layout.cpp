#include "layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorlan::label_tool {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kPaddingMm = 2;           // printers leave the edge of a label unprinted
constexpr double kLargestModuleMm = 0.5;   // beyond this a symbol only grows
constexpr double kSmallestModuleMm = 0.15; // what a workshop scanner still reads
constexpr double kLinearHeightMm = 12;
constexpr double kLowestLinearMm = 5;
constexpr double kTextGapMm = 0.7;

std::string millimetreText(double mm) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", std::ceil(mm));
    return buffer;
}

} // namespace

Layout::Layout(SizeMm cell, bool sheet, int dpi)
    : m_dpi(dpi), m_pageWidth(dots(sheet ? kA4.width : cell.width)),
      m_pageHeight(dots(sheet ? kA4.height : cell.height)), m_cellWidth(dots(cell.width)),
      m_cellHeight(dots(cell.height)) {
    if (m_cellWidth <= 0 || m_cellHeight <= 0 || (sheet && (cell.width > kA4.width || cell.height > kA4.height))) {
        throw LayoutError("a label of " + millimetreText(cell.width) + " x " + millimetreText(cell.height) +
                          " mm does not fit on A4");
    }
    // Counted in millimetres: three labels of 70 mm fill the 210 of A4 even where dots round up.
    constexpr double kRounding = 1e-6;
    m_columns = std::max(1, static_cast<int>((sheet ? kA4.width : cell.width) / cell.width + kRounding));
    m_rows = std::max(1, static_cast<int>((sheet ? kA4.height : cell.height) / cell.height + kRounding));
    m_cellWidth = std::min(m_cellWidth, m_pageWidth / m_columns);
    m_cellHeight = std::min(m_cellHeight, m_pageHeight / m_rows);
    m_marginX = (m_pageWidth - m_columns * m_cellWidth) / 2;
    m_marginY = (m_pageHeight - m_rows * m_cellHeight) / 2;
}

int Layout::pagesFor(std::size_t labels) const {
    const auto perPage = static_cast<std::size_t>(labelsPerPage());
    return static_cast<int>((labels + perPage - 1) / perPage);
}

Rect Layout::cell(std::size_t n) const {
    const int onPage = static_cast<int>(n % static_cast<std::size_t>(labelsPerPage()));
    return {m_marginX + (onPage % m_columns) * m_cellWidth, m_marginY + (onPage / m_columns) * m_cellHeight,
            m_cellWidth, m_cellHeight};
}

int Layout::dots(double mm) const {
    return static_cast<int>(std::lround(mm * m_dpi / kMmPerInch));
}

double Layout::millimetres(int dots) const {
    return dots * kMmPerInch / m_dpi;
}

Placement placeSymbol(const symbols::Symbol& symbol, const Layout& layout, int textHeight) {
    const int padding = layout.dots(kPaddingMm);
    const Rect cell = layout.cellSize();
    const int areaWidth = cell.width - 2 * padding;
    const int gap = layout.dots(kTextGapMm);
    const int areaHeight = cell.height - 2 * padding - textHeight - gap;
    const int modulesWide = symbol.width + 2 * symbol.quietZone();
    const int modulesHigh = symbol.isLinear() ? 0 : symbol.heightInModules() + 2 * symbol.quietZone();
    const int largest = std::max(1, layout.dots(kLargestModuleMm));
    const int smallest = std::max(2, static_cast<int>(std::ceil(kSmallestModuleMm * layout.dpi() / kMmPerInch)));
    const int lowest = layout.dots(kLowestLinearMm);

    for (int module = largest; module >= smallest; --module) {
        const int width = modulesWide * module;
        const int height =
            symbol.isLinear() ? std::min(areaHeight, layout.dots(kLinearHeightMm)) : modulesHigh * module;
        if (width > areaWidth || height > areaHeight || (symbol.isLinear() && height < lowest)) {
            continue;
        }
        const Rect placed{padding + (areaWidth - width) / 2, padding + (areaHeight - height) / 2, width, height};
        return {placed, module, symbol.isLinear() ? height : 0,
                Rect{padding, placed.y + height + gap, areaWidth, textHeight}};
    }
    const double needWidth = layout.millimetres(modulesWide * smallest) + 2 * kPaddingMm;
    const double needHeight = (symbol.isLinear() ? kLowestLinearMm : layout.millimetres(modulesHigh * smallest)) +
                              2 * kPaddingMm + layout.millimetres(textHeight) + kTextGapMm;
    throw LayoutError("a label of " + millimetreText(layout.millimetres(cell.width)) + " x " +
                      millimetreText(layout.millimetres(cell.height)) +
                      " mm is too small for this symbol, which needs " + millimetreText(needWidth) + " x " +
                      millimetreText(needHeight) + " mm");
}

} // namespace quorlan::label_tool
