#include "cnc/qt/work_list_model.h"

#include "cnc/simulator.h"
#include "platform/qt/cp1252.h"
#include "platform/text.h"

#include <QBrush>
#include <algorithm>

namespace quorlan::cnc {

namespace {

// A cell shows a few dozen characters; its tooltip the value up to what the operator reads.
constexpr std::size_t kShownCharacters = 200;

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString shown(std::string_view value, std::size_t maxLength) {
    return platform::fromCp1252(platform::visibleText(value, maxLength));
}

// A list line is "#161=FLANGE.CNC;#162= ;..."; an item without "=" is a value under no item.
struct Item {
    std::string_view name;
    std::string_view value;
};

template <typename Take> void forEachItem(std::string_view line, Take&& take) {
    while (!line.empty()) {
        const std::size_t end = std::min(line.find(';'), line.size());
        const std::string_view item = line.substr(0, end);
        line.remove_prefix(std::min(end + 1, line.size()));
        if (item.empty()) {
            continue;
        }
        const std::size_t equals = item.find('=');
        take(equals == std::string_view::npos ? Item{{}, item} : Item{item.substr(0, equals), item.substr(equals + 1)});
    }
}

} // namespace

WorkListModel::WorkListModel(const Simulator& simulator, QObject* parent)
    : QAbstractTableModel(parent), m_simulator(simulator) {
    reload();
}

int WorkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int WorkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant WorkListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    if (role == Qt::BackgroundRole) {
        return index.row() == m_executingRow ? QVariant(QBrush(Qt::yellow)) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const std::vector<Value>& values = valuesOf(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    if (column >= values.size() || !values[column].present) {
        return {};
    }
    return role == Qt::DisplayRole ? shown(values[column].text, kShownCharacters)
                                   : shown(values[column].text, platform::kMaxShownLength);
}

QVariant WorkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        static_cast<std::size_t>(section) < m_headers.size()) {
        return m_headers[static_cast<std::size_t>(section)];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void WorkListModel::follow(const ListChange& change) {
    m_readRow = -1;
    const std::size_t rows = m_simulator.rows().size();
    switch (change.kind) {
    case ListChange::Kind::Appended:
        if (rows > static_cast<std::size_t>(m_rows)) {
            addColumnsOf(static_cast<std::size_t>(m_rows), rows);
            beginInsertRows({}, m_rows, static_cast<int>(rows) - 1);
            m_rows = static_cast<int>(rows);
            endInsertRows();
        }
        break;
    case ListChange::Kind::Removed:
        if (change.row < static_cast<std::size_t>(m_rows)) {
            const int row = static_cast<int>(change.row);
            beginRemoveRows({}, row, row);
            --m_rows;
            endRemoveRows();
        }
        break;
    case ListChange::Kind::Replaced:
        if (change.row < static_cast<std::size_t>(m_rows)) {
            addColumnsOf(change.row, change.row + 1);
            rowChanged(static_cast<int>(change.row));
        }
        break;
    case ListChange::Kind::Reloaded:
        reload();
        break;
    case ListChange::Kind::Run:
        break;
    }
    markExecutingRow();
}

// The control's columns, then those that the rows bring; the one full pass, for a list loaded or
// emptied as a whole.
void WorkListModel::reload() {
    beginResetModel();
    m_items.clear();
    m_headers.clear();
    for (const ListColumn& column : listColumns()) {
        m_items.emplace_back(column.item);
        m_headers.push_back(column.name.empty() ? latin1(column.item)
                                                : latin1(column.name) + QLatin1Char(' ') + latin1(column.item));
    }
    m_rows = static_cast<int>(m_simulator.rows().size());
    appendColumns(itemsWithoutColumn(0, static_cast<std::size_t>(m_rows)));
    m_executingRow = m_simulator.exeRow() - 1;
    m_readRow = -1;
    endResetModel();
}

void WorkListModel::addColumnsOf(std::size_t firstRow, std::size_t endRow) {
    std::vector<std::string> items = itemsWithoutColumn(firstRow, endRow);
    if (items.empty()) {
        return;
    }
    const int first = static_cast<int>(m_items.size());
    beginInsertColumns({}, first, first + static_cast<int>(items.size()) - 1);
    appendColumns(std::move(items));
    endInsertColumns();
}

std::vector<std::string> WorkListModel::itemsWithoutColumn(std::size_t firstRow, std::size_t endRow) const {
    std::vector<std::string> items;
    for (std::size_t row = firstRow; row < endRow; ++row) {
        forEachItem(m_simulator.rows()[row], [this, &items](const Item& item) {
            if (columnOf(item.name) == m_items.size() &&
                std::find(items.begin(), items.end(), item.name) == items.end()) {
                items.emplace_back(item.name);
            }
        });
    }
    return items;
}

void WorkListModel::appendColumns(std::vector<std::string> items) {
    for (std::string& item : items) {
        m_headers.push_back(shown(item, kShownCharacters));
        m_items.push_back(std::move(item));
    }
}

std::size_t WorkListModel::columnOf(std::string_view item) const {
    return static_cast<std::size_t>(std::find(m_items.begin(), m_items.end(), item) - m_items.begin());
}

void WorkListModel::markExecutingRow() {
    const int executing = m_simulator.exeRow() - 1;
    if (executing == m_executingRow) {
        return;
    }
    const int before = m_executingRow;
    m_executingRow = executing;
    rowChanged(before);
    rowChanged(executing);
}

void WorkListModel::rowChanged(int row) {
    if (row >= 0 && row < m_rows && !m_items.empty()) {
        emit dataChanged(index(row, 0), index(row, static_cast<int>(m_items.size()) - 1));
    }
}

const std::vector<WorkListModel::Value>& WorkListModel::valuesOf(int row) const {
    if (row == m_readRow) {
        return m_readValues;
    }
    m_readValues.assign(m_items.size(), Value{});
    const std::vector<std::string>& rows = m_simulator.rows();
    if (static_cast<std::size_t>(row) < rows.size()) {
        forEachItem(rows[static_cast<std::size_t>(row)], [this](const Item& item) {
            if (const std::size_t column = columnOf(item.name); column < m_readValues.size()) {
                m_readValues[column] = Value{true, item.value};
            }
        });
    }
    m_readRow = row;
    return m_readValues;
}

} // namespace quorlan::cnc
