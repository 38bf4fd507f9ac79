// The History window on a real history file: what it opens with, how its filters narrow the
// table and the chart, the table fetching as it scrolls, and the export.
#include "history/history_store.h"
#include "history/qt/history_table_model.h"
#include "history/qt/history_window.h"

#include <QBarSet>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlan;
using history::Outcome;

namespace {

constexpr std::int64_t kHour = history::kHourMs;

history::Event makeEvent(std::int64_t timeMs, const std::string& program, Outcome outcome) {
    history::Event e;
    e.timeMs = timeMs;
    e.scan = program;
    e.program = program + ".CNC";
    e.line = "#161=" + program + ".CNC;";
    e.outcome = outcome;
    e.reason = outcome == Outcome::Refused ? "Run Field Not Selected" : "";
    e.control = "built-in";
    return e;
}

history::TimeRange today() {
    const QDate date = QDate::currentDate();
    return history::dayRange({date.year(), date.month(), date.day()});
}

} // namespace

class HistoryWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void opensOnTodayNewestFirst_fetchingMoreAsTheTableScrolls();
    void filtersNarrowTheTableAndTheChart();
    void chartCountsTheDaysPartsPerHourByOutcome();
    void exportWritesWhatTheTableShows();
    void withoutAHistoryFileItSaysSo();

private:
    QString csv(const QString& name) const { return m_folder->filePath(name); }
    QTableView* table(history::HistoryWindow& window) {
        return window.findChild<QTableView*>(QStringLiteral("historyTable"));
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::string m_path;
};

void HistoryWindowTest::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    m_path = m_folder->filePath(QStringLiteral("history.sqlite")).toStdString();
    history::HistoryStore store({m_path}, [](const std::string&) {});
    const auto day = today();
    store.record(makeEvent(day.fromMs - kHour, "YESTERDAY", Outcome::Queued));
    for (int i = 0; i < 450; ++i) { // 07:00 to 09:15, one part every 18 s
        store.record(makeEvent(day.fromMs + 7 * kHour + i * 18000, i % 3 == 0 ? "PLATE" : "FLANGE", Outcome::Queued));
    }
    store.record(makeEvent(day.fromMs + 8 * kHour + 1, "FLANGE", Outcome::Refused));
    store.record(makeEvent(day.fromMs + 9 * kHour + 1, "FLANGE", Outcome::Failed));
    history::Event command = makeEvent(day.fromMs + 9 * kHour + 2, "", Outcome::Done);
    command.program.clear();
    store.record(command);
}

void HistoryWindowTest::opensOnTodayNewestFirst_fetchingMoreAsTheTableScrolls() {
    history::HistoryWindow window(m_path);
    window.show();
    auto* model = static_cast<history::HistoryTableModel*>(table(window)->model());

    QCOMPARE(model->rowCount(), int(history::HistoryTableModel::kPageSize));
    QCOMPARE(model->eventAt(0).timeMs, today().fromMs + 7 * kHour + 449 * 18000); // 09:14:42
    QVERIFY(model->eventAt(0).timeMs > model->eventAt(199).timeMs);
    table(window)->scrollToBottom();
    while (model->canFetchMore({})) {
        model->fetchMore({});
    }
    QCOMPARE(model->rowCount(), 453); // yesterday's is not today's
}

void HistoryWindowTest::filtersNarrowTheTableAndTheChart() {
    history::HistoryWindow window(m_path);
    window.show();
    auto* model = table(window)->model();
    auto* outcome = window.findChild<QComboBox*>(QStringLiteral("historyOutcome"));
    auto* program = window.findChild<QComboBox*>(QStringLiteral("historyProgram"));
    auto* allDays = window.findChild<QCheckBox*>(QStringLiteral("historyAllDays"));

    outcome->setCurrentIndex(outcome->findText(QStringLiteral("refused")));
    emit outcome->activated(outcome->currentIndex());
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, history::HistoryTableModel::Reason).data().toString(),
             QStringLiteral("Run Field Not Selected"));

    outcome->setCurrentIndex(0);
    program->setEditText(QStringLiteral("PLA"));
    QTest::keyClick(program->lineEdit(), Qt::Key_Return);
    QVERIFY(program->findText(QStringLiteral("PLATE.CNC")) >= 0); // the day's programs to choose from
    QCOMPARE(model->rowCount(), 150);

    program->setEditText(QStringLiteral("YESTERDAY"));
    allDays->setChecked(true);
    QCOMPARE(model->rowCount(), 1);
}

void HistoryWindowTest::chartCountsTheDaysPartsPerHourByOutcome() {
    history::HistoryWindow window(m_path);
    window.show();
    auto* chart = window.findChild<QChartView*>(QStringLiteral("historyChart"))->chart();
    auto* series = qobject_cast<QStackedBarSeries*>(chart->series().value(0));
    QVERIFY(series != nullptr);
    QMap<QString, QBarSet*> sets;
    for (QBarSet* set : series->barSets()) {
        sets[set->label()] = set;
    }
    QCOMPARE(sets[QStringLiteral("queued")]->count(), 24);
    QCOMPARE(sets[QStringLiteral("queued")]->at(7), 200.0); // 07:00-07:59, every 18 s
    QCOMPARE(sets[QStringLiteral("queued")]->at(8), 200.0);
    QCOMPARE(sets[QStringLiteral("queued")]->at(9), 50.0);
    QCOMPARE(sets[QStringLiteral("refused")]->at(8), 1.0);
    QCOMPARE(sets[QStringLiteral("failed")]->at(9), 1.0);
    QCOMPARE(sets[QStringLiteral("queued")]->sum() + sets[QStringLiteral("refused")]->sum() +
                 sets[QStringLiteral("failed")]->sum(),
             452.0); // the command is no part
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("historySummary"))
                ->text()
                .contains(QStringLiteral("452 parts: 450 queued, 1 refused, 1 failed")));
}

void HistoryWindowTest::exportWritesWhatTheTableShows() {
    history::HistoryWindow window(m_path);
    window.show();
    auto* outcome = window.findChild<QComboBox*>(QStringLiteral("historyOutcome"));
    outcome->setCurrentIndex(outcome->findText(QStringLiteral("failed")));
    emit outcome->activated(outcome->currentIndex());

    QCOMPARE(window.exportTo(csv(QStringLiteral("failed.csv"))),
             QStringLiteral("Exported 1 event to %1.").arg(csv(QStringLiteral("failed.csv"))));
    QFile file(csv(QStringLiteral("failed.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // header, the event, and the end of the last line
    QVERIFY(lines[1].contains(",failed,"));
    QVERIFY(window.exportTo(csv(QStringLiteral("no/such/folder.csv"))).startsWith(QStringLiteral("Nothing exported")));
}

void HistoryWindowTest::withoutAHistoryFileItSaysSo() {
    history::HistoryWindow window(m_folder->filePath(QStringLiteral("none.sqlite")).toStdString());
    window.show();
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("historySummary"))
                ->text()
                .startsWith(QStringLiteral("No history yet")));
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("historyExport"))->isEnabled());
    QCOMPARE(table(window)->model()->rowCount(), 0);
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("none.sqlite"))));
}

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
