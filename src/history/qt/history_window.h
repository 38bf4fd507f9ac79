// History: what the station did, for the operator and the foreman. A table of the scans, newest
// first, filtered by day, program and outcome; a chart of the day's parts per hour by outcome;
// and the filtered rows exported to CSV. It reads the file through its own connection, beside the
// station that records, and reads it again each time it is opened or refreshed.
#pragma once

#include "history/history_reader.h"

#include <QWidget>
#include <memory>
#include <string>

class QChartView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLayout;
class QPushButton;
class QTableView;

namespace quorlan::history {

class HistoryTableModel;

class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // path: the history file the station records to.
    explicit HistoryWindow(std::string path, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the file again with the chosen filter: the table, the chart and the programs.
    void refresh();
    // Writes the rows the filter shows to a CSV file; returns a sentence saying what happened.
    QString exportTo(const QString& csvPath);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildFilters();
    QWidget* buildChart();
    QWidget* buildTable();
    bool openReader();
    Filter tableFilter() const;
    Filter chartFilter() const;
    void fillPrograms();
    void fillChart();
    void chooseExportFile();
    void tell(const QString& text);

    std::string m_path;
    std::unique_ptr<HistoryReader> m_reader;
    HistoryTableModel* m_model = nullptr;
    QDateEdit* m_day = nullptr;
    QCheckBox* m_allDays = nullptr;
    QComboBox* m_program = nullptr;
    QComboBox* m_outcome = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_export = nullptr;
    QChartView* m_chart = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace quorlan::history
