#include "history/qt/history_window.h"

#include "history/history_csv.h"
#include "history/qt/history_table_model.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedBarSeries>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <array>
#include <map>

namespace quorlan::history {

namespace {

constexpr std::size_t kProgramChoices = 500;

// The outcomes that count as parts, in the order of the chart's stacks, with their colours.
struct PartSeries {
    Outcome outcome;
    QRgb colour;
};
constexpr std::array<PartSeries, 4> kPartSeries = {{
    {Outcome::Queued, qRgb(0x2E, 0x7D, 0x32)},
    {Outcome::ReachedAfterAll, qRgb(0x15, 0x65, 0xC0)},
    {Outcome::Refused, qRgb(0xEF, 0x6C, 0x00)},
    {Outcome::Failed, qRgb(0xC6, 0x28, 0x28)},
}};

LocalDay localDay(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

// The hour captions of a day. On the day the clocks go back one hour comes twice; the second one
// is marked, as the axis needs each caption once.
QStringList hourCaptions(const TimeRange& day) {
    QStringList captions;
    for (std::int64_t start = day.fromMs; start < day.toMs; start += kHourMs) {
        QString caption = QString::fromStdString(formatHour(start)).left(2);
        while (captions.contains(caption)) {
            caption += QLatin1Char('\'');
        }
        captions.append(caption);
    }
    return captions;
}

} // namespace

HistoryWindow::HistoryWindow(std::string path, QWidget* parent)
    : QWidget(parent, Qt::Window), m_path(std::move(path)), m_model(new HistoryTableModel(this)) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("historySummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    auto* column = new QVBoxLayout(this);
    column->addLayout(buildFilters());
    column->addWidget(buildChart());
    column->addWidget(buildTable(), 1);
    column->addWidget(m_summary);
    connect(m_model, &HistoryTableModel::readFailed, this,
            [this](const QString& reason) { tell(QStringLiteral("The history could not be read: %1").arg(reason)); });
    resize(980, 640);
}

HistoryWindow::~HistoryWindow() = default;

QLayout* HistoryWindow::buildFilters() {
    auto* row = new QHBoxLayout();
    m_day = new QDateEdit(QDate::currentDate(), this);
    m_day->setObjectName(QStringLiteral("historyDay"));
    m_day->setCalendarPopup(true);
    m_day->setDisplayFormat(QStringLiteral("ddd yyyy-MM-dd"));
    m_allDays = new QCheckBox(QStringLiteral("&All days"), this);
    m_allDays->setObjectName(QStringLiteral("historyAllDays"));
    m_allDays->setToolTip(QStringLiteral("The table and the export take every day; the chart keeps the day chosen."));
    m_program = new QComboBox(this);
    m_program->setObjectName(QStringLiteral("historyProgram"));
    m_program->setEditable(true);
    m_program->setMinimumContentsLength(16);
    m_program->lineEdit()->setPlaceholderText(QStringLiteral("every program"));
    m_program->setToolTip(QStringLiteral("A program, or the start of its name"));
    m_outcome = new QComboBox(this);
    m_outcome->setObjectName(QStringLiteral("historyOutcome"));
    m_outcome->addItem(QStringLiteral("every outcome"));
    for (int i = 0; i <= static_cast<int>(kLastOutcome); ++i) {
        m_outcome->addItem(outcomeText(static_cast<Outcome>(i)), i);
    }
    m_refresh = new QPushButton(QStringLiteral("&Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("historyRefresh"));
    m_export = new QPushButton(QStringLiteral("&Export CSV..."), this);
    m_export->setObjectName(QStringLiteral("historyExport"));

    row->addWidget(new QLabel(QStringLiteral("Day:"), this));
    row->addWidget(m_day);
    row->addWidget(m_allDays);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("Program:"), this));
    row->addWidget(m_program, 1);
    row->addWidget(new QLabel(QStringLiteral("Outcome:"), this));
    row->addWidget(m_outcome);
    row->addStretch();
    row->addWidget(m_refresh);
    row->addWidget(m_export);

    connect(m_day, &QDateEdit::dateChanged, this, &HistoryWindow::refresh);
    connect(m_allDays, &QCheckBox::toggled, this, &HistoryWindow::refresh);
    connect(m_program, &QComboBox::activated, this, &HistoryWindow::refresh);
    connect(m_program->lineEdit(), &QLineEdit::returnPressed, this, &HistoryWindow::refresh);
    connect(m_outcome, &QComboBox::activated, this, &HistoryWindow::refresh);
    connect(m_refresh, &QPushButton::clicked, this, &HistoryWindow::refresh);
    connect(m_export, &QPushButton::clicked, this, &HistoryWindow::chooseExportFile);
    auto* refreshKey = new QShortcut(QKeySequence::Refresh, this);
    connect(refreshKey, &QShortcut::activated, this, &HistoryWindow::refresh);
    return row;
}

QWidget* HistoryWindow::buildChart() {
    m_chart = new QChartView(this);
    m_chart->setObjectName(QStringLiteral("historyChart"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(220);
    m_chart->chart()->legend()->setAlignment(Qt::AlignRight);
    return m_chart;
}

QWidget* HistoryWindow::buildTable() {
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed widths: measuring the contents would read every fetched row.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const std::array<int, HistoryTableModel::ColumnCount> widths = {140, 80, 150, 120, 45, 110, 90, 220, 260, 90};
    for (int column = 0; column < HistoryTableModel::ColumnCount; ++column) {
        m_table->setColumnWidth(column, widths.at(static_cast<std::size_t>(column)));
    }
    return m_table;
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

bool HistoryWindow::openReader() {
    if (m_reader) {
        return true;
    }
    if (!QFile::exists(QFile::decodeName(m_path.c_str()))) {
        tell(QStringLiteral("No history yet: the station records it in %1 from its next scan.")
                 .arg(QFile::decodeName(m_path.c_str())));
        return false;
    }
    try {
        m_reader = std::make_unique<HistoryReader>(m_path);
        return true;
    } catch (const std::exception& error) {
        tell(QStringLiteral("The history in %1 cannot be read: %2")
                 .arg(QFile::decodeName(m_path.c_str()), QString::fromStdString(error.what())));
        return false;
    }
}

Filter HistoryWindow::chartFilter() const {
    Filter filter;
    filter.range = dayRange(localDay(m_day->date()));
    filter.program = m_program->currentText().trimmed().toStdString();
    if (const QVariant outcome = m_outcome->currentData(); outcome.isValid()) {
        filter.outcome = static_cast<Outcome>(outcome.toInt());
    }
    return filter;
}

Filter HistoryWindow::tableFilter() const {
    Filter filter = chartFilter();
    if (m_allDays->isChecked()) {
        filter.range.reset();
    }
    return filter;
}

void HistoryWindow::refresh() {
    // A reader opened before a failure, or before the file existed, is opened afresh.
    m_reader.reset();
    if (!openReader()) {
        m_model->show(nullptr, {});
        m_chart->chart()->removeAllSeries();
        m_export->setEnabled(false);
        return;
    }
    m_export->setEnabled(true);
    try {
        m_model->show(m_reader.get(), tableFilter());
        fillChart();
        fillPrograms();
    } catch (const std::exception& error) {
        tell(QStringLiteral("The history could not be read: %1").arg(QString::fromStdString(error.what())));
    }
}

void HistoryWindow::fillPrograms() {
    const QString typed = m_program->currentText();
    const auto names = m_reader->programs(tableFilter().range, kProgramChoices);
    m_program->clear();
    m_program->addItem(QString());
    for (const auto& name : names) {
        m_program->addItem(QString::fromStdString(name));
    }
    m_program->setEditText(typed);
}

void HistoryWindow::fillChart() {
    const Filter filter = chartFilter();
    const QStringList hours = hourCaptions(*filter.range);
    std::map<Outcome, std::vector<qreal>> perHour;
    for (const auto& series : kPartSeries) {
        perHour[series.outcome].assign(static_cast<std::size_t>(hours.size()), 0);
    }
    std::map<Outcome, std::int64_t> totals;
    for (const HourCount& count : m_reader->partsPerHour(filter)) {
        if (count.hour >= 0 && count.hour < hours.size()) {
            perHour[count.outcome][static_cast<std::size_t>(count.hour)] += static_cast<qreal>(count.count);
            totals[count.outcome] += count.count;
        }
    }
    auto* series = new QStackedBarSeries();
    qreal highest = 0;
    std::vector<qreal> stacked(static_cast<std::size_t>(hours.size()), 0);
    QStringList summary;
    std::int64_t parts = 0;
    for (const auto& part : kPartSeries) {
        auto* set = new QBarSet(outcomeText(part.outcome));
        set->setColor(QColor(part.colour));
        set->setBorderColor(QColor(part.colour));
        const auto& values = perHour[part.outcome];
        for (std::size_t hour = 0; hour < values.size(); ++hour) {
            set->append(values[hour]);
            stacked[hour] += values[hour];
            highest = std::max(highest, stacked[hour]);
        }
        series->append(set);
        parts += totals[part.outcome];
        if (totals[part.outcome] > 0) {
            summary.append(QStringLiteral("%1 %2").arg(totals[part.outcome]).arg(outcomeText(part.outcome)));
        }
    }
    QChart* chart = m_chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    chart->addSeries(series);
    auto* hourAxis = new QBarCategoryAxis();
    hourAxis->append(hours);
    hourAxis->setTitleText(QStringLiteral("hour"));
    chart->addAxis(hourAxis, Qt::AlignBottom);
    series->attachAxis(hourAxis);
    auto* countAxis = new QValueAxis();
    countAxis->setRange(0, std::max<qreal>(4, highest));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->applyNiceNumbers();
    countAxis->setTitleText(QStringLiteral("parts"));
    chart->addAxis(countAxis, Qt::AlignLeft);
    series->attachAxis(countAxis);
    const QString day = m_day->date().toString(QStringLiteral("dddd d MMMM yyyy"));
    chart->setTitle(QStringLiteral("Parts per hour, %1").arg(day));
    tell(parts == 0 ? QStringLiteral("%1: no parts.").arg(day)
                    : QStringLiteral("%1: %2 parts: %3.").arg(day).arg(parts).arg(summary.join(QStringLiteral(", "))));
}

void HistoryWindow::chooseExportFile() {
    const QString suggested = m_allDays->isChecked()
                                  ? QStringLiteral("history.csv")
                                  : QStringLiteral("history-%1.csv").arg(m_day->date().toString(Qt::ISODate));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export history"), suggested,
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty()) {
        tell(exportTo(path));
    }
}

QString HistoryWindow::exportTo(const QString& csvPath) {
    if (!openReader()) {
        return QStringLiteral("Nothing exported: there is no history yet.");
    }
    try {
        const auto count = exportCsv(*m_reader, tableFilter(), QFile::encodeName(csvPath).toStdString());
        return QStringLiteral("Exported %1 %2 to %3.")
            .arg(count)
            .arg(count == 1 ? QStringLiteral("event") : QStringLiteral("events"), csvPath);
    } catch (const std::exception& error) {
        return QStringLiteral("Nothing exported: %1").arg(QString::fromStdString(error.what()));
    }
}

void HistoryWindow::tell(const QString& text) {
    m_summary->setText(text);
}

} // namespace quorlan::history
