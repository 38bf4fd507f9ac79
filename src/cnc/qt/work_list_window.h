// The simulated control's "Work List" window: its rows as a table under the items' names, with the
// executing row marked, shown while the list is visible. It also drives the simulated run.
//
// A line added costs the window that line, whatever the length of the list: the table follows
// the list's changes one at a time and widens a column only for the rows that came in.
#pragma once

#include <QWidget>

class QTableView;
class QTimer;

namespace quorlan::cnc {

class Simulator;
class WorkListModel;
struct ListChange;

class WorkListWindow final : public QWidget {
    Q_OBJECT
public:
    // stepMilliseconds: how long each row of a run executes.
    explicit WorkListWindow(Simulator& simulator, int stepMilliseconds = 1000, QWidget* parent = nullptr);
    ~WorkListWindow() override;

    WorkListWindow(const WorkListWindow&) = delete;
    WorkListWindow& operator=(const WorkListWindow&) = delete;

private:
    void follow(const ListChange& change);
    void fitColumns(int firstRow, int lastRow);
    void fitHeaders(int firstColumn, int lastColumn);
    void fitColumnsToTheList();

    Simulator& m_simulator;
    WorkListModel* m_model;
    QTableView* m_table;
    QTimer* m_runTimer;
};

} // namespace quorlan::cnc
