// The simulator's Work List window follows the list: shown and hidden with it, its rows and the
// executing row, and the run it drives.
#include "cnc/qt/work_list_window.h"
#include "cnc/simulator.h"

#include <QTableWidget>
#include <QTest>

using quorlan::cnc::Simulator;
using quorlan::cnc::WorkListWindow;

class WorkListWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void followsTheListAndItsRun();
};

void WorkListWindowTest::followsTheListAndItsRun() {
    Simulator simulator;
    WorkListWindow window(simulator, /*stepMilliseconds=*/10);
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("rows"));
    QVERIFY(table != nullptr);
    QVERIFY(!window.isVisible());

    const auto list = simulator.createApplication()->NewList();
    list->SetVisible(true);
    QVERIFY(window.isVisible());
    list->AddLine("#161=FLANGE.CNC;#162= ;#164=1;");
    list->AddLine("#161=BASE.CNC;#162=M1;#164=2;");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("#161"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("M1"));

    simulator.createApplication()->StartList();
    QCOMPARE(table->item(0, 0)->background().color(), QColor(Qt::yellow));
    QTRY_VERIFY_WITH_TIMEOUT(!simulator.inRun(), 2000);

    list->SetVisible(false);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(WorkListWindowTest)
#include "work_list_window_test.moc"
