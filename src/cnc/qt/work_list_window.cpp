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

// A long comment or name would widen its column until the others leave the window.
constexpr int kMaxColumnWidth = 180;

// "Program #161", or the bare item for one the station never fills.
QString headerOf(const ListColumn& column) {
    const QString item = QString::fromLatin1(column.item.data(), static_cast<qsizetype>(column.item.size()));
    return column.name.empty() ? item
                               : QString::fromLatin1(column.name.data(), static_cast<qsizetype>(column.name.size())) +
                                     QLatin1Char(' ') + item;
}

// The control's columns first, in their order; items of other numbers (a list file may hold them)
// follow as they appear.
struct Columns {
    QStringList items;
    QStringList headers;

    Columns() {
        for (const ListColumn& column : listColumns()) {
            items.append(QString::fromLatin1(column.item.data(), static_cast<qsizetype>(column.item.size())));
            headers.append(headerOf(column));
        }
    }

    int indexOf(const QString& item) {
        qsizetype index = items.indexOf(item);
        if (index < 0) {
            items.append(item);
            headers.append(item);
            index = items.size() - 1;
        }
        return static_cast<int>(index);
    }
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
    // Coming back with a new line must not take the operator's typing away from the station.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_table->setObjectName(QStringLiteral("rows"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setMaximumSectionSize(kMaxColumnWidth);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setWordWrap(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(1200, 300);

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
    // The control keeps a visible list on screen: a window closed by hand comes back with new lines.
    if (rows != m_shownRows && m_simulator.listVisible() && !isVisible()) {
        show();
    }
    m_shownRows = rows;
    fillTable(rows);
    markExecutingRow();
    if (m_simulator.inRun() && !m_runTimer->isActive()) {
        m_runTimer->start();
    } else if (!m_simulator.inRun()) {
        m_runTimer->stop();
    }
}

void WorkListWindow::fillTable(const std::vector<std::string>& rows) {
    m_table->clear();
    m_table->setRowCount(static_cast<int>(rows.size()));
    Columns columns;
    m_table->setColumnCount(static_cast<int>(columns.items.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (const Item& item : itemsOf(rows[static_cast<std::size_t>(row)])) {
            const int column = columns.indexOf(item.column);
            if (column >= m_table->columnCount()) {
                m_table->setColumnCount(column + 1);
            }
            auto* cell = new QTableWidgetItem(item.value);
            cell->setToolTip(item.value);
            m_table->setItem(row, column, cell);
        }
    }
    m_table->setHorizontalHeaderLabels(columns.headers);
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
