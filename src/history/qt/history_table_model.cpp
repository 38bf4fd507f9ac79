#include "history/qt/history_table_model.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <array>

namespace quorlan::history {

namespace {

constexpr std::array<const char*, HistoryTableModel::ColumnCount> kHeaders = {
    "Time",           "Kind",   "Scan", "Program", "Field", "Dimensions", "Outcome", "Reason or error",
    "Work-list line", "Control"};

constexpr std::array<const char*, static_cast<std::size_t>(kLastScanKind) + 1> kKindTexts = {
    "label", "set part", "field code", "2D", "compressed 2D", "manual entry", "command"};
constexpr std::array<const char*, static_cast<std::size_t>(kLastOutcome) + 1> kOutcomeTexts = {
    "queued", "collected", "done", "refused", "failed", "reached the list after all"};

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString dimensions(const Event& event) {
    if (event.dimX.empty() && event.dimY.empty() && event.dimZ.empty()) {
        return {};
    }
    return QStringLiteral("%1 x %2 x %3").arg(text(event.dimX), text(event.dimY), text(event.dimZ));
}

QVariant display(const Event& event, int column) {
    switch (column) {
    case HistoryTableModel::Time:
        return QDateTime::fromMSecsSinceEpoch(event.timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case HistoryTableModel::Kind:
        return kindText(event.kind);
    case HistoryTableModel::Scan:
        return text(event.scan);
    case HistoryTableModel::Program:
        return text(event.program);
    case HistoryTableModel::Field:
        return text(event.fieldCode);
    case HistoryTableModel::Dimensions:
        return dimensions(event);
    case HistoryTableModel::Result:
        return outcomeText(event.outcome);
    case HistoryTableModel::Reason:
        return text(event.reason);
    case HistoryTableModel::Line:
        return text(event.line);
    case HistoryTableModel::Control:
        return text(event.control);
    default:
        return {};
    }
}

QVariant outcomeColour(Outcome outcome) {
    switch (outcome) {
    case Outcome::Refused:
        return QBrush(QColor(0xB2, 0x4A, 0x00));
    case Outcome::Failed:
        return QBrush(QColor(0xB7, 0x1C, 0x1C));
    default:
        return {};
    }
}

} // namespace

QString kindText(ScanKind kind) {
    return QString::fromLatin1(kKindTexts.at(static_cast<std::size_t>(kind)));
}

QString outcomeText(Outcome outcome) {
    return QString::fromLatin1(kOutcomeTexts.at(static_cast<std::size_t>(outcome)));
}

HistoryTableModel::HistoryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::show(HistoryReader* reader, const Filter& filter) {
    beginResetModel();
    m_reader = reader;
    m_filter = filter;
    m_events.clear();
    m_complete = reader == nullptr;
    endResetModel();
    // The first page at once, so the table is never empty for a moment while rows exist.
    if (canFetchMore({})) {
        fetchMore({});
    }
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_events.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Event& event = eventAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return display(event, index.column());
    case Qt::ToolTipRole: // the long texts whole, where the column cuts them
        return index.column() == Scan || index.column() == Reason || index.column() == Line
                   ? display(event, index.column())
                   : QVariant();
    case Qt::ForegroundRole:
        return index.column() == Result ? outcomeColour(event.outcome) : QVariant();
    default:
        return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) {
        return {};
    }
    return QString::fromLatin1(kHeaders.at(static_cast<std::size_t>(section)));
}

bool HistoryTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_complete;
}

void HistoryTableModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    const std::vector<Event> page = nextPage();
    m_complete = page.size() < kPageSize;
    if (page.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    m_events.insert(m_events.end(), page.begin(), page.end());
    endInsertRows();
}

std::vector<Event> HistoryTableModel::nextPage() {
    std::optional<Cursor> after;
    if (!m_events.empty()) {
        after = Cursor{m_events.back().timeMs, m_events.back().id};
    }
    try {
        return m_reader->page(m_filter, after, kPageSize);
    } catch (const std::exception& error) {
        m_complete = true;
        emit readFailed(QString::fromStdString(error.what()));
        return {};
    }
}

} // namespace quorlan::history
