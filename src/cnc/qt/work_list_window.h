// The simulated control's "Work List" window: its rows as a table under the items' names, with the
// executing row marked, shown while the list is visible. It also drives the simulated run.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QTableWidget;
class QTimer;

namespace quorlan::cnc {

class Simulator;

class WorkListWindow final : public QWidget {
    Q_OBJECT
public:
    // stepMilliseconds: how long each row of a run executes.
    explicit WorkListWindow(Simulator& simulator, int stepMilliseconds = 1000, QWidget* parent = nullptr);
    ~WorkListWindow() override;

    WorkListWindow(const WorkListWindow&) = delete;
    WorkListWindow& operator=(const WorkListWindow&) = delete;

private:
    void refresh();
    void fillTable(const std::vector<std::string>& rows);
    void markExecutingRow();

    Simulator& m_simulator;
    QTableWidget* m_table;
    QTimer* m_runTimer;
    std::vector<std::string> m_shownRows;
};

} // namespace quorlan::cnc
