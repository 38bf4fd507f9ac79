// The simulator's Work List window follows the list: shown and hidden with it, its rows under the
// items' names, the executing row, and the run it drives.
#include "cnc/qt/work_list_window.h"
#include "cnc/simulator.h"

#include <QBrush>
#include <QHeaderView>
#include <QTableView>
#include <QTest>

using quorlan::cnc::Simulator;
using quorlan::cnc::WorkListWindow;

namespace {

// A list line as the station builds it, with the given program and comment.
std::string lineFor(const std::string& program, const std::string& comment) {
    return "#161=" + program + ";#162=" + comment +
           ";#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;#170=18;#282= ;#283=;#223= ;#277=;"
           "#278=;#279=;";
}

QString cell(const QTableView* table, int row, int column) {
    return table->model()->index(row, column).data().toString();
}

} // namespace

class WorkListWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void followsTheListAndItsRun();
    void headersNameTheItems_data();
    void headersNameTheItems();
    void longValueIsElidedWithTheFullTextInTheTooltip();
    void closedWindowComesBackWithTheNextLine();
};

void WorkListWindowTest::followsTheListAndItsRun() {
    Simulator simulator;
    WorkListWindow window(simulator, /*stepMilliseconds=*/10);
    auto* table = window.findChild<QTableView*>(QStringLiteral("rows"));
    QVERIFY(table != nullptr);
    QVERIFY(!window.isVisible());

    const auto list = simulator.createApplication()->NewList();
    list->SetVisible(true);
    QVERIFY(window.isVisible());
    list->AddLine("#161=FLANGE.CNC;#162= ;#164=1;");
    list->AddLine("#161=BASE.CNC;#162=M1;#164=2;");
    QCOMPARE(table->model()->rowCount(), 2);
    QCOMPARE(cell(table, 1, 1), QStringLiteral("M1"));

    simulator.createApplication()->StartList();
    QCOMPARE(table->model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    QTRY_VERIFY_WITH_TIMEOUT(!simulator.inRun(), 2000);

    list->SetVisible(false);
    QVERIFY(!window.isVisible());
}

void WorkListWindowTest::headersNameTheItems_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("header");
    QTest::newRow("program") << 0 << "Program #161";
    QTest::newRow("comment") << 1 << "Comment #162";
    QTest::newRow("field") << 5 << "Field #171";
    QTest::newRow("x") << 9 << "X #168";
    QTest::newRow("z") << 11 << "Z #170";
    QTest::newRow("an item the station leaves empty") << 4 << "#281";
    QTest::newRow("an item of another number, after the control's") << 18 << "#300";
}

void WorkListWindowTest::headersNameTheItems() {
    QFETCH(int, column);
    QFETCH(QString, header);
    Simulator simulator;
    WorkListWindow window(simulator);
    simulator.createApplication()->NewList()->AddLine("#300=EXTRA;" + lineFor("FLANGE.CNC", " "));
    auto* table = window.findChild<QTableView*>(QStringLiteral("rows"));
    QCOMPARE(table->model()->headerData(column, Qt::Horizontal).toString(), header);
    QCOMPARE(cell(table, 0, 18), QStringLiteral("EXTRA"));
    QCOMPARE(cell(table, 0, 9), QStringLiteral("600"));
}

void WorkListWindowTest::longValueIsElidedWithTheFullTextInTheTooltip() {
    Simulator simulator;
    WorkListWindow window(simulator);
    const auto list = simulator.createApplication()->NewList();
    list->SetVisible(true);
    list->AddLine(lineFor("FLANGE.CNC", " "));
    auto* table = window.findChild<QTableView*>(QStringLiteral("rows"));
    const int xBefore = table->columnViewportPosition(9);

    const std::string comment(400, 'W');
    list->AddLine(lineFor("FLANGE.CNC", comment));
    QCOMPARE(table->model()->index(1, 1).data(Qt::ToolTipRole).toString(), QString::fromStdString(comment));
    QVERIFY(table->columnWidth(1) < window.width() / 3);
    // Dimensions stay where the operator looks for them, not pushed out by the comment.
    QVERIFY2(table->columnViewportPosition(9) - xBefore < window.width() / 3,
             qPrintable(QStringLiteral("X moved from %1 to %2").arg(xBefore).arg(table->columnViewportPosition(9))));
}

void WorkListWindowTest::closedWindowComesBackWithTheNextLine() {
    Simulator simulator;
    WorkListWindow window(simulator, /*stepMilliseconds=*/10);
    const auto list = simulator.createApplication()->NewList();
    list->AddLine(lineFor("HIDDEN.CNC", " "));
    QVERIFY2(!window.isVisible(), "a list never made visible stays off the screen");

    simulator.showList();
    QVERIFY(window.isVisible());
    window.close();
    simulator.createApplication()->StartList();
    simulator.advance();
    QVERIFY2(!window.isVisible(), "the run going on does not reopen it");

    list->AddLine(lineFor("FLANGE.CNC", " "));
    QVERIFY(window.isVisible());
}

QTEST_MAIN(WorkListWindowTest)
#include "work_list_window_test.moc"
