// The History window's table: the events of a filter, newest first, fetched a page at a time as
// the table scrolls, so that a history of millions of rows opens as fast as one of a hundred.
#pragma once

#include "history/history_reader.h"

#include <QAbstractTableModel>
#include <vector>

namespace quorlan::history {

class HistoryTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Kind, Scan, Program, Field, Dimensions, Result, Reason, Line, Control, ColumnCount };
    static constexpr std::size_t kPageSize = 200;

    explicit HistoryTableModel(QObject* parent = nullptr);

    // Shows the filter's events; a null reader (no history yet) shows none. The reader must
    // outlive its use here, until the next call.
    void show(HistoryReader* reader, const Filter& filter);
    const Event& eventAt(int row) const { return m_events.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // Reading failed (the file went away, say); what is shown so far stays.
    void readFailed(const QString& reason);

private:
    std::vector<Event> nextPage();

    HistoryReader* m_reader = nullptr;
    Filter m_filter;
    std::vector<Event> m_events;
    bool m_complete = true;
};

// What people read for a kind and an outcome ("set part", "reached the list after all").
QString kindText(ScanKind kind);
QString outcomeText(Outcome outcome);

} // namespace quorlan::history
