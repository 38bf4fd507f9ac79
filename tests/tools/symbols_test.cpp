// Symbols encoded, painted at whole dots per module, and read back by the decoder.
#include "label_painter.h"
#include "symbols/decoder.h"
#include "symbols/encoder.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace quorlan::label_tool {
namespace {

using symbols::Symbology;

std::string everyByte(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>((i * 37 + 11) % 256);
    }
    return bytes;
}

// All labels of a split payload on one page, as quorlan-scan --image meets them.
QImage page(const std::vector<symbols::Symbol>& symbols, const Layout& layout) {
    const LabelPainter painter(layout);
    QImage image(layout.pageWidth(), layout.pageHeight(), QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter on(&image);
    for (std::size_t n = 0; n < symbols.size(); ++n) {
        const PrintLabel label{symbols[n], QStringLiteral("caption"), QStringLiteral("note")};
        painter.paint(on, layout.cell(n), label, painter.place(label));
    }
    return image;
}

TEST(Symbols, everyByteSurvivesEachSymbologyAndSplitsMergeBack) {
    const struct {
        Symbology symbology;
        std::string bytes;
        std::size_t symbols;
    } cases[] = {
        {Symbology::Code128, "%13BASE M1  %\xD1", 1}, {Symbology::QRCode, everyByte(1000), 1},
        {Symbology::QRCode, everyByte(5000), 3},      {Symbology::DataMatrix, everyByte(2000), 2},
        {Symbology::PDF417, everyByte(1500), 2},
    };
    const Layout layout({105, 99}, true, 300);
    for (const auto& c : cases) {
        const auto symbols = symbols::Encoder::encodeSplit(c.symbology, c.bytes);
        ASSERT_EQ(symbols.size(), c.symbols) << symbols::nameOf(c.symbology);
        const auto read = symbols::decodeImage(page(symbols, layout));
        ASSERT_EQ(read.size(), c.symbols) << symbols::nameOf(c.symbology);
        const auto merged = symbols::mergeSequences(read);
        EXPECT_EQ(merged.payloads, std::vector<std::string>{c.bytes}) << symbols::nameOf(c.symbology);
    }
}

TEST(Symbols, aSequenceWithAPartMissingIsNoPayload) {
    auto read = std::vector<symbols::Decoded>{{Symbology::QRCode, "ab", 0, 3, "7", 0, 0},
                                              {Symbology::Code128, "FLANGE", -1, -1, "", 0, 0},
                                              {Symbology::QRCode, "cd", 2, 3, "7", 0, 0}};
    auto merged = symbols::mergeSequences(read);
    EXPECT_EQ(merged.payloads, std::vector<std::string>{"FLANGE"});
    EXPECT_EQ(merged.incomplete, std::vector<std::string>{"qr sequence of 3 symbols lacks 2/3"});
    read.insert(read.begin() + 1, {Symbology::QRCode, "XY", 1, 3, "7", 0, 0});
    EXPECT_EQ(symbols::mergeSequences(read).payloads, (std::vector<std::string>{"abXYcd", "FLANGE"}));
}

TEST(Symbols, tooMuchForSixteenSymbolsSaysTheLimit) {
    try {
        symbols::Encoder::encodeSplit(Symbology::DataMatrix, everyByte(40000));
        FAIL();
    } catch (const symbols::SymbolTooLarge& tooLarge) {
        EXPECT_NE(std::string(tooLarge.what()).find("40000 bytes are too many: 16 datamatrix symbols hold at most"),
                  std::string::npos)
            << tooLarge.what();
    }
}

TEST(Symbols, aLabelTooSmallForOneSymbolGetsSeveralThatFit) {
    const std::string bytes = everyByte(2000);
    const auto narrow = [](const symbols::Symbol& symbol) { return symbol.width <= 81; };
    const auto symbols = symbols::Encoder::encodeSplit(Symbology::QRCode, bytes, narrow);
    ASSERT_GT(symbols.size(), 1u);
    std::string joined;
    for (const auto& symbol : symbols) {
        EXPECT_TRUE(narrow(symbol));
        joined += symbol.bytes;
    }
    EXPECT_EQ(joined, bytes);
    for (const std::size_t size : {std::size_t{3}, std::size_t{300}}) {
        try {
            symbols::Encoder::encodeSplit(Symbology::DataMatrix, everyByte(size), [](const auto&) { return false; });
            FAIL();
        } catch (const symbols::SymbolTooLarge& tooLarge) {
            EXPECT_STREQ(tooLarge.what(), "no datamatrix symbol fits the label");
        }
    }
}

TEST(Layout, placesAtWholeDotsOrSaysWhatTheSymbolNeeds) {
    const auto qr = symbols::Encoder::encode(Symbology::QRCode, everyByte(2000));
    const Layout sheet({70, 37}, true, 300);
    EXPECT_EQ(sheet.labelsPerPage(), 24);
    EXPECT_THROW(placeSymbol(qr, sheet, 60), LayoutError);
    const Layout big({105, 99}, true, 300);
    const Placement placed = placeSymbol(qr, big, 60);
    EXPECT_EQ(placed.symbol.width, (qr.width + 8) * placed.moduleDots);
    EXPECT_GE(placed.moduleDots, 2);
    EXPECT_THROW(Layout({300, 20}, true, 300), LayoutError);
}

} // namespace
} // namespace quorlan::label_tool
