// The simulated control's rows as a table for its Work List window: one column per item under the
// item's name, the control's 18 first and items of other numbers after them as rows bring them,
// and the executing row marked.
//
// A change costs the model what the change touched, never the whole list: it follows the list one
// change at a time, and reads a row's values from the simulator only when a view asks for them. A
// value is shown up to a length a cell and a tooltip can hold, so a huge one costs no more either.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::cnc {

class Simulator;
struct ListChange;

class WorkListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit WorkListModel(const Simulator& simulator, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Called after each change of the simulator's list, with what changed.
    void follow(const ListChange& change);

private:
    struct Value {
        bool present = false;
        std::string_view text;
    };

    void reload();
    void addColumnsOf(std::size_t firstRow, std::size_t endRow);
    // The items of those rows that have no column yet, in the order they appear.
    std::vector<std::string> itemsWithoutColumn(std::size_t firstRow, std::size_t endRow) const;
    void appendColumns(std::vector<std::string> items);
    std::size_t columnOf(std::string_view item) const;
    void markExecutingRow();
    void rowChanged(int row);
    // The row's values by column, read once per row and kept until the list changes.
    const std::vector<Value>& valuesOf(int row) const;

    const Simulator& m_simulator;
    int m_rows = 0;
    std::vector<std::string> m_items;
    std::vector<QString> m_headers;
    int m_executingRow = -1;
    mutable int m_readRow = -1;
    mutable std::vector<Value> m_readValues;
};

} // namespace quorlan::cnc
