// The Work List window's table follows the list one change at a time: after every operation it
// shows what a table built afresh from the list shows, a line added or removed touches that row
// alone, and a value of any length shows as a bounded text.
#include "cnc/qt/work_list_model.h"
#include "cnc/simulator.h"
#include "platform/text.h"

#include <QBrush>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>

using quorlan::cnc::ExeList;
using quorlan::cnc::Simulator;
using quorlan::cnc::WorkListModel;

namespace {

// Every value under its column's header, and the rows marked. Columns that rows brought in may
// stand in another order in a table built afresh, and one whose rows are gone may linger empty
// until the list is loaded or emptied, so values are compared by header.
QStringList contentsOf(const WorkListModel& model) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (const QVariant background = model.index(row, 0).data(Qt::BackgroundRole); background.isValid()) {
            cells.append(QStringLiteral("%1 marked %2").arg(row).arg(background.value<QBrush>().color().name()));
        }
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            if (index.data().isValid()) {
                cells.append(QStringLiteral("%1 %2: %3|%4")
                                 .arg(row)
                                 .arg(model.headerData(column, Qt::Horizontal).toString(), index.data().toString(),
                                      index.data(Qt::ToolTipRole).toString()));
            }
        }
    }
    cells.sort();
    return cells;
}

} // namespace

class WorkListModelTest final : public QObject {
    Q_OBJECT

private slots:
    void followsEachOperationAsATableBuiltAfresh();
    void lineAddedOrRemovedTouchesThatRowAlone();
    void valueOfAnyLengthShowsBounded();
};

void WorkListModelTest::followsEachOperationAsATableBuiltAfresh() {
    QTemporaryDir folder;
    const std::string listFile = folder.filePath(QStringLiteral("JOB.LST")).toStdString();
    std::ofstream(listFile, std::ios::binary) << "#161=L1;#300=EXTRA;\r\n#161=L2;\r\n";
    Simulator simulator;
    WorkListModel model(simulator);
    simulator.setChangeObserver([&model](const quorlan::cnc::ListChange& change) { model.follow(change); });
    const auto application = simulator.createApplication();
    const auto list = application->NewList();

    const std::pair<const char*, std::function<void()>> steps[] = {
        {"add", [&] { list->AddLine("#161=A.CNC;#162=FIRST;#164=1;"); }},
        {"add another", [&] { list->AddLine("#161=B.CNC;#162=SECOND;#171=8;"); }},
        {"add with an item of another number", [&] { list->AddLine("#161=C.CNC;#301=NEW;plain"); }},
        {"start", [&] { application->StartList(); }},
        {"advance", [&] { simulator.advance(); }},
        {"replace", [&] { list->SetLine(1, "#161=A2.CNC;#302=MORE;"); }},
        {"delete the executing row's predecessor", [&] { list->DelLine(1); }},
        {"append a list file", [&] { list->AppendList(listFile); }},
        {"advance to the end",
         [&] {
             for (int step = 0; step < 10; ++step) {
                 simulator.advance();
             }
         }},
        {"open the list file", [&] { application->OpenList(listFile); }},
        {"clear", [&] { list->Clear(); }},
        {"add after the clear", [&] { list->AddLine("#161=D.CNC;"); }},
    };
    for (const auto& [what, step] : steps) {
        step();
        const WorkListModel afresh(simulator);
        QCOMPARE(model.rowCount(), static_cast<int>(simulator.rows().size()));
        QVERIFY2(contentsOf(model) == contentsOf(afresh),
                 qPrintable(QStringLiteral("after \"%1\":\n%2\nafresh:\n%3")
                                .arg(QLatin1String(what), contentsOf(model).join(QLatin1Char('\n')),
                                     contentsOf(afresh).join(QLatin1Char('\n')))));
    }
}

void WorkListModelTest::lineAddedOrRemovedTouchesThatRowAlone() {
    Simulator simulator;
    WorkListModel model(simulator);
    simulator.setChangeObserver([&model](const quorlan::cnc::ListChange& change) { model.follow(change); });
    const auto list = simulator.createApplication()->NewList();
    for (int row = 0; row < 100; ++row) {
        list->AddLine("#161=P" + std::to_string(row) + ".CNC;#162= ;");
    }
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    list->AddLine("#161=NEW.CNC;");
    list->DelLine(101);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 100);
    QCOMPARE(inserted[0][2].toInt(), 100);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed[0][1].toInt(), 100);
}

void WorkListModelTest::valueOfAnyLengthShowsBounded() {
    Simulator simulator;
    WorkListModel model(simulator);
    simulator.setChangeObserver([&model](const quorlan::cnc::ListChange& change) { model.follow(change); });
    const std::string huge(std::size_t{4} << 20, 'W');
    simulator.createApplication()->NewList()->AddLine("#161=BIG.CNC;#162=" + huge + "\x1B;");
    const QModelIndex comment = model.index(0, 1);
    const QString shown = comment.data().toString();
    const QString tip = comment.data(Qt::ToolTipRole).toString();
    QVERIFY2(shown.size() < 300, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.endsWith(QStringLiteral("(%1 more characters)").arg(huge.size() + 1 - 200)));
    QVERIFY2(tip.size() < 1100, qPrintable(QString::number(tip.size())));
    QVERIFY(tip.startsWith(QString(1000, QLatin1Char('W'))));

    simulator.createApplication()->NewList()->AddLine("#161=BELL\x07.CNC;");
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("BELL\\x07.CNC"));
}

QTEST_MAIN(WorkListModelTest)
#include "work_list_model_test.moc"
