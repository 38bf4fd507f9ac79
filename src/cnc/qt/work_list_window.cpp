#include "cnc/qt/work_list_window.h"

#include "cnc/qt/work_list_model.h"
#include "cnc/simulator.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace quorlan::cnc {

namespace {

// A long comment or name would widen its column until the others leave the window.
constexpr int kMaxColumnWidth = 180;
// A list loaded whole is measured on its first rows, as a view sizes its columns to its contents.
constexpr int kMeasuredRowsOfALoadedList = 1000;

} // namespace

WorkListWindow::WorkListWindow(Simulator& simulator, int stepMilliseconds, QWidget* parent)
    : QWidget(parent, Qt::Window), m_simulator(simulator), m_model(new WorkListModel(simulator, this)),
      m_table(new QTableView(this)), m_runTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("WorkList"));
    setWindowTitle(QStringLiteral("Work List"));
    // Closing the station's main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Coming back with a new line must not take the operator's typing away from the station.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_table->setObjectName(QStringLiteral("rows"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    // Sized here, row by row as lines come in: sizing to contents would measure every row each time.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setMaximumSectionSize(kMaxColumnWidth);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setWordWrap(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(1200, 300);

    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitColumns(first, last); });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                fitColumns(topLeft.row(), bottomRight.row());
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &WorkListWindow::fitColumnsToTheList);
    // The rows that bring a new column are measured as they come in.
    connect(m_model, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitHeaders(first, last); });
    fitColumnsToTheList();

    m_runTimer->setInterval(stepMilliseconds);
    connect(m_runTimer, &QTimer::timeout, this, [this] { m_simulator.advance(); });
    m_simulator.setVisibilityObserver([this](bool visible) { setVisible(visible); });
    m_simulator.setChangeObserver([this](const ListChange& change) { follow(change); });
}

WorkListWindow::~WorkListWindow() {
    m_simulator.setVisibilityObserver({});
    m_simulator.setChangeObserver({});
}

void WorkListWindow::follow(const ListChange& change) {
    m_model->follow(change);
    // The control keeps a visible list on screen: a window closed by hand comes back with new lines.
    if (change.kind != ListChange::Kind::Run && m_simulator.listVisible() && !isVisible()) {
        show();
    }
    if (m_simulator.inRun() && !m_runTimer->isActive()) {
        m_runTimer->start();
    } else if (!m_simulator.inRun()) {
        m_runTimer->stop();
    }
}

// Widens each column to what these rows show in it, never beyond the largest width.
void WorkListWindow::fitColumns(int firstRow, int lastRow) {
    for (int column = 0; column < m_model->columnCount(); ++column) {
        int width = m_table->columnWidth(column);
        for (int row = firstRow; row <= lastRow; ++row) {
            width = std::max(width, m_table->sizeHintForIndex(m_model->index(row, column)).width());
        }
        m_table->setColumnWidth(column, std::min(width, kMaxColumnWidth));
    }
}

void WorkListWindow::fitHeaders(int firstColumn, int lastColumn) {
    for (int column = firstColumn; column <= lastColumn; ++column) {
        m_table->setColumnWidth(column,
                                std::min(m_table->horizontalHeader()->sectionSizeHint(column), kMaxColumnWidth));
    }
}

void WorkListWindow::fitColumnsToTheList() {
    fitHeaders(0, m_model->columnCount() - 1);
    fitColumns(0, std::min(m_model->rowCount(), kMeasuredRowsOfALoadedList) - 1);
}

} // namespace quorlan::cnc
