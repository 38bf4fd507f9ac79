#include "command_sheet.h"

#include "label_plan.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <array>

namespace quorlan::label_tool {

namespace {

constexpr double kMarginMm = 10;
constexpr double kWidthMm = kA4.width - 2 * kMarginMm;
constexpr double kGapMm = 4;
constexpr int kCommandCount = 5;
constexpr SizeMm kCommandCell{kWidthMm / kCommandCount, 30};
constexpr double kRowHeadMm = 16;
constexpr double kColumnHeadMm = 14;
constexpr int kLetterCount = 6;
constexpr int kSuffixCount = 6;
constexpr SizeMm kFieldCell{(kWidthMm - kRowHeadMm) / kLetterCount, 21};
constexpr SizeMm kDrawing{62, 20};
constexpr double kFrameMm = 0.2;

// The machine table's places, in the field-code table's order of letters.
struct Place {
    const char* letter;
    const char* where;
    bool mirrored;
};
constexpr std::array<Place, kLetterCount> kPlaces = {{{"N", "full length\nleft end", false},
                                                      {"M", "full length\nright end, mirrored", true},
                                                      {"S", "left half\nleft end", false},
                                                      {"A", "left half\nright end, mirrored", true},
                                                      {"T", "right half\nleft end", false},
                                                      {"R", "right half\nright end, mirrored", true}}};
constexpr std::array<const char*, kSuffixCount> kSuffixes = {"none", "1", "/", "1/", "/0", "/1"};

const char* const kTitle = "Quorlan: commands and field codes";
const char* const kIntro =
    "Scan a command at any time. A field code scanned just before a part's labels names the field of the "
    "machine table that part runs in, in place of the one its labels give (unless Auto Field Select is set to "
    "choose the field from the program name or the comment).";
const char* const kKey[] = {
    "The letter says where the part lies: along the whole table (N, M), on its left half (S, A) or on its "
    "right half (T, R); at the field's left end the part runs as programmed (N, S, T), at its right end it "
    "runs mirrored (M, A, R; the line carries #284=1).",
    "The suffix (none, 1, /, 1/, /0, /1) chooses among further fields that the control's field table sets up "
    "for the same place. A code reaches the control only as the number under its label, #171 in the line; "
    "what that field is on this machine, the control's field table says.",
    "Back and front rows have no letters of their own: Options > Auto Field Select gives each field of its "
    "Front and Back layout one of these codes. CLEAR drops a set of part labels begun and not finished; with "
    "none begun it clears the control's work list.",
};

QRect qrect(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

// Where everything goes on the page, in dots, from the top down.
class Sheet {
public:
    explicit Sheet(const Layout& page)
        : m_page(page), commandLayout(kCommandCell, false, page.dpi()), fieldLayout(kFieldCell, false, page.dpi()) {
        const int left = page.dots(kMarginMm);
        const int width = page.dots(kWidthMm);
        int y = page.dots(kMarginMm);
        const auto take = [&](double mm) {
            const QRect band(left, y, width, page.dots(mm));
            y += band.height();
            return band;
        };
        title = take(10);
        intro = take(16);
        commandsHead = take(7);
        const Rect command = commandLayout.cellSize();
        for (int n = 0; n < kCommandCount; ++n) {
            cells.push_back({left + n * command.width, y, command.width, command.height});
        }
        y += command.height + page.dots(kGapMm);
        fieldsHead = take(7);
        const Rect field = fieldLayout.cellSize();
        const int gridLeft = left + page.dots(kRowHeadMm);
        const int headHeight = page.dots(kColumnHeadMm);
        for (int column = 0; column < kLetterCount; ++column) {
            columnHeads.at(column) = QRect(gridLeft + column * field.width, y, field.width, headHeight);
        }
        y += headHeight;
        for (int row = 0; row < kSuffixCount; ++row) {
            rowHeads.at(row) = QRect(left, y + row * field.height, gridLeft - left, field.height);
            for (int column = 0; column < kLetterCount; ++column) {
                cells.push_back({gridLeft + column * field.width, y + row * field.height, field.width, field.height});
            }
        }
        y += kSuffixCount * field.height + page.dots(kGapMm);
        keyHead = take(7);
        drawing = QRect(left, y, page.dots(kDrawing.width), page.dots(kDrawing.height));
        halvesDrawing = drawing.translated(drawing.width() + page.dots(kGapMm), 0);
        y += drawing.height() + page.dots(kGapMm);
        key = QRect(left, y, width, page.dots(kA4.height - kMarginMm) - y);
    }

    int dots(double mm) const { return m_page.dots(mm); }
    QFont font(double points, bool bold = false) const {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(static_cast<int>(points / 72.0 * m_page.dpi()));
        font.setBold(bold);
        return font;
    }

    const Layout& m_page;
    Layout commandLayout;
    Layout fieldLayout;
    QRect title, intro, commandsHead, fieldsHead, keyHead, drawing, halvesDrawing, key;
    std::array<QRect, kLetterCount> columnHeads;
    std::array<QRect, kSuffixCount> rowHeads;
    std::vector<Rect> cells;
};

void drawText(QPainter& painter, const QRect& box, const QFont& font, const QString& text,
              int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap) {
    painter.setFont(font);
    painter.drawText(box, flags, text);
}

// One end of a field, marked with its letter: an open circle runs as programmed, a filled one mirrored.
void drawEnd(QPainter& painter, const Sheet& sheet, QPoint centre, const Place& place) {
    const int radius = sheet.dots(2.6);
    painter.setBrush(place.mirrored ? QBrush(Qt::black) : QBrush(Qt::white));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(place.mirrored ? Qt::white : Qt::black);
    drawText(painter, QRect(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), sheet.font(8, true),
             QString::fromLatin1(place.letter), Qt::AlignCenter);
    painter.setPen(QPen(Qt::black, sheet.dots(kFrameMm)));
}

// A field of the table with its two ends.
void drawField(QPainter& painter, const Sheet& sheet, const QRect& field, const Place& left, const Place& right) {
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(field);
    const int inset = sheet.dots(4);
    drawEnd(painter, sheet, QPoint(field.left() + inset, field.center().y()), left);
    drawEnd(painter, sheet, QPoint(field.right() - inset, field.center().y()), right);
}

// The table seen from above, back at the top: once as one field along its length, once in halves.
void drawTables(QPainter& painter, const Sheet& sheet) {
    painter.setPen(QPen(Qt::black, sheet.dots(kFrameMm)));
    const int caption = sheet.dots(4);
    for (const auto& [table, name] :
         {std::pair{sheet.drawing, "the whole length"}, std::pair{sheet.halvesDrawing, "in halves"}}) {
        drawText(painter, QRect(table.left(), table.top(), table.width(), caption), sheet.font(7),
                 QString::fromLatin1(name), Qt::AlignHCenter | Qt::AlignTop);
        painter.setBrush(QColor(235, 235, 235));
        painter.drawRect(table.adjusted(0, caption, 0, 0));
    }
    const int inset = sheet.dots(1.5);
    const QRect whole = sheet.drawing.adjusted(inset, caption + inset, -inset, -inset);
    drawField(painter, sheet, whole, kPlaces[0], kPlaces[1]);
    QRect halves = sheet.halvesDrawing.adjusted(inset, caption + inset, -inset, -inset);
    const int half = (halves.width() - inset) / 2;
    drawField(painter, sheet, QRect(halves.left(), halves.top(), half, halves.height()), kPlaces[2], kPlaces[3]);
    drawField(painter, sheet, QRect(halves.right() - half, halves.top(), half, halves.height()), kPlaces[4],
              kPlaces[5]);
}

void drawHeadings(QPainter& painter, const Sheet& sheet) {
    painter.setPen(Qt::black);
    drawText(painter, sheet.title, sheet.font(16, true), QString::fromLatin1(kTitle));
    drawText(painter, sheet.intro, sheet.font(9), QString::fromLatin1(kIntro));
    drawText(painter, sheet.commandsHead, sheet.font(10, true), QStringLiteral("Commands"));
    drawText(painter, sheet.fieldsHead, sheet.font(10, true),
             QStringLiteral("Field codes: the letter is the place on the machine table, the row its suffix"));
    for (int column = 0; column < kLetterCount; ++column) {
        const Place& place = kPlaces.at(column);
        const QRect head = sheet.columnHeads.at(column);
        drawText(painter, head, sheet.font(13, true), QString::fromLatin1(place.letter),
                 Qt::AlignHCenter | Qt::AlignTop);
        drawText(painter, head.adjusted(0, sheet.dots(5.5), 0, 0), sheet.font(6.5), QString::fromUtf8(place.where),
                 Qt::AlignHCenter | Qt::AlignTop);
    }
    for (int row = 0; row < kSuffixCount; ++row) {
        drawText(painter, sheet.rowHeads.at(row), sheet.font(row == 0 ? 9 : 13, true),
                 QString::fromLatin1(kSuffixes.at(row)), Qt::AlignCenter);
    }
    drawText(painter, sheet.keyHead, sheet.font(10, true),
             QStringLiteral("What a field code means on the machine table"));
    drawTables(painter, sheet);
    painter.setPen(Qt::black);
    const int paragraphGap = sheet.dots(1.5);
    QRect paragraph = sheet.key;
    for (const char* text : kKey) {
        painter.setFont(sheet.font(8));
        const QRect used =
            painter.boundingRect(paragraph, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromLatin1(text));
        drawText(painter, paragraph, sheet.font(8), QString::fromLatin1(text));
        paragraph.setTop(used.bottom() + paragraphGap);
    }
}

} // namespace

std::vector<Rect> commandSheetCells(const Layout& page) {
    return Sheet(page).cells;
}

PrintResult printCommandSheet(const PrintSettings& settings) {
    const Layout page(kA4, false, settings.dpi);
    const Sheet sheet(page);
    const LabelPainter commandPainter(sheet.commandLayout);
    const LabelPainter fieldPainter(sheet.fieldLayout);
    PrintResult result;
    const Printed printed = encodePlan(planCommandSheet().labels);
    if (!printed.faults.empty()) {
        result.faults = printed.faults;
        return result;
    }
    const auto split = printed.labels.begin() + kCommandCount;
    std::vector<PrintLabel> fields(split, printed.labels.end());
    // The table's headings say what a field label is for; its note names its number, as the line does.
    for (std::size_t n = 0; n < fields.size(); ++n) {
        fields[n].note = QStringLiteral("#171=%1").arg(n + 1);
    }
    std::vector<PlacedLabel> placed =
        placeAndVerify({printed.labels.begin(), split}, commandPainter, settings.verify, result.faults);
    const std::vector<PlacedLabel> placedFields = placeAndVerify(fields, fieldPainter, settings.verify, result.faults);
    if (!result.faults.empty()) {
        return result;
    }
    placed.insert(placed.end(), placedFields.begin(), placedFields.end());
    const PageSet pages{page, 1, [&](QPainter& painter, int) {
                            drawHeadings(painter, sheet);
                            painter.setBrush(Qt::NoBrush);
                            painter.setPen(QPen(QColor(160, 160, 160), sheet.dots(kFrameMm)));
                            for (std::size_t n = 0; n < placed.size(); ++n) {
                                const LabelPainter& labels = n < kCommandCount ? commandPainter : fieldPainter;
                                painter.drawRect(qrect(sheet.cells[n]));
                                labels.paint(painter, sheet.cells[n], placed[n].label, placed[n].placement);
                                painter.setPen(QPen(QColor(160, 160, 160), sheet.dots(kFrameMm)));
                            }
                        }};
    return writeAll(settings, pages, placed.size());
}

} // namespace quorlan::label_tool
