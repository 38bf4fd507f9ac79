#include "cnc/qt/work_list_window.h"

#include "cnc/simulator.h"
#include "platform/qt/cp1252.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quorlan::cnc {

namespace {

struct Item {
    QString column;
    QString value;
};

// A list line is "#161=FLANGE.CNC;#162= ;..."; an item without "=" is shown whole.
std::vector<Item> itemsOf(const std::string& line) {
    std::vector<Item> items;
    for (const QString& item : platform::fromCp1252(line).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        items.push_back(equals < 0 ? Item{QString(), item} : Item{item.left(equals), item.mid(equals + 1)});
    }
    return items;
}

} // namespace

WorkListWindow::WorkListWindow(Simulator& simulator, int stepMilliseconds, QWidget* parent)
    : QWidget(parent, Qt::Window), m_simulator(simulator), m_table(new QTableWidget(this)),
      m_runTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("WorkList"));
    setWindowTitle(QStringLiteral("Work List"));
    // Closing the station's main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_table->setObjectName(QStringLiteral("rows"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(900, 300);

    m_runTimer->setInterval(stepMilliseconds);
    connect(m_runTimer, &QTimer::timeout, this, [this] { m_simulator.advance(); });
    m_simulator.setVisibilityObserver([this](bool visible) { setVisible(visible); });
    m_simulator.setChangeObserver([this] { refresh(); });
    refresh();
}

WorkListWindow::~WorkListWindow() {
    m_simulator.setVisibilityObserver({});
    m_simulator.setChangeObserver({});
}

void WorkListWindow::refresh() {
    const std::vector<std::string>& rows = m_simulator.rows();
    m_table->clear();
    m_table->setColumnCount(0);
    m_table->setRowCount(static_cast<int>(rows.size()));
    QStringList columns;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (const Item& item : itemsOf(rows[static_cast<std::size_t>(row)])) {
            qsizetype column = columns.indexOf(item.column);
            if (column < 0) {
                columns.append(item.column);
                column = columns.size() - 1;
                m_table->setColumnCount(static_cast<int>(columns.size()));
            }
            m_table->setItem(row, static_cast<int>(column), new QTableWidgetItem(item.value));
        }
    }
    m_table->setHorizontalHeaderLabels(columns);
    markExecutingRow();
    if (m_simulator.inRun() && !m_runTimer->isActive()) {
        m_runTimer->start();
    } else if (!m_simulator.inRun()) {
        m_runTimer->stop();
    }
}

void WorkListWindow::markExecutingRow() {
    const int executing = m_simulator.exeRow() - 1;
    for (int column = 0; column < m_table->columnCount(); ++column) {
        if (QTableWidgetItem* item = m_table->item(executing, column)) {
            item->setBackground(Qt::yellow);
        }
    }
}

} // namespace quorlan::cnc
