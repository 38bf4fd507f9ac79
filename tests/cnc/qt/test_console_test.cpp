// The automation test console against the simulated control: each button's effect as the
// control's journal records it, its results in the text boxes, and failures shown while the
// console carries on.
#include "cnc/qt/test_console.h"
#include "cnc/simulator.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>

using quorlan::cnc::FrmTest;

class TestConsoleTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buttonsActOnTheListAndTheApplication();
    void badLineNumbersAreShownAndTheConsoleCarriesOn_data();
    void badLineNumbersAreShownAndTheConsoleCarriesOn();
    void operationsWithoutAnObjectAreShown();
    void browsingPicksAListFileAndCancelKeepsThePreviousPick();
    void unloadingReleasesBothReferences();

private:
    void click(const char* name);
    void type(const char* box, const QString& text);
    QString text(const char* box) const;
    std::vector<std::string> takeJournal();
    std::string lastMessage() const;

    std::vector<std::string> m_journal;
    std::optional<quorlan::testing::TempFolder> m_folder;
    std::optional<quorlan::platform::PathMapper> m_paths;
    std::optional<quorlan::cnc::Simulator> m_simulator;
    std::shared_ptr<quorlan::cnc::Application> m_application;
    quorlan::testing::FakeView m_view;
    std::optional<FrmTest> m_console;
};

void TestConsoleTest::init() {
    m_folder.emplace();
    m_paths.emplace([this](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(m_folder->path("c")) : std::nullopt;
    });
    m_simulator.emplace(*m_paths);
    m_simulator->setJournal([this](const std::string& line) { m_journal.push_back(line); });
    m_application = m_simulator->createApplication();
    m_view = {};
    m_console.emplace(m_application, *m_simulator, m_view, *m_paths);
    m_console->show();
    m_journal.clear();
}

void TestConsoleTest::cleanup() {
    m_console.reset();
    m_application.reset();
    m_simulator.reset();
    m_folder.reset();
}

void TestConsoleTest::click(const char* name) {
    auto* button = m_console->findChild<QPushButton*>(QString::fromLatin1(name));
    QVERIFY2(button != nullptr, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestConsoleTest::type(const char* box, const QString& text) {
    auto* edit = m_console->findChild<QLineEdit*>(QString::fromLatin1(box));
    QVERIFY2(edit != nullptr, box);
    edit->clear();
    QTest::keyClicks(edit, text);
}

QString TestConsoleTest::text(const char* box) const {
    return m_console->findChild<QLineEdit*>(QString::fromLatin1(box))->text();
}

std::vector<std::string> TestConsoleTest::takeJournal() {
    return std::exchange(m_journal, {});
}

std::string TestConsoleTest::lastMessage() const {
    return m_view.messages.empty() ? std::string() : m_view.messages.back().text;
}

void TestConsoleTest::buttonsActOnTheListAndTheApplication() {
    const std::string line = "#161=forpunte.CNC;#168=600;#169=600;#170=20";
    click("cmdNewList");
    type("txtAddLine", QString::fromStdString(line));
    click("cmdAddLine");
    click("cmdAddLine");
    click("cmdRows");
    QCOMPARE(takeJournal(), (std::vector<std::string>{"NewList", "AddLine " + line, "AddLine " + line, "Rows"}));
    QCOMPARE(text("txtRows"), QStringLiteral("2"));

    type("txtGetLineNumber", QStringLiteral("2"));
    click("cmdGetLine");
    QCOMPARE(text("txtGetLine"), QString::fromStdString(line));
    type("txtSetLineNumber", QStringLiteral("1"));
    type("txtSetLine", QStringLiteral("#161=BASE.CNC"));
    click("cmdSetLine");
    type("txtDelLineNumber", QStringLiteral("2"));
    click("cmdDelLine");
    QCOMPARE(takeJournal(), (std::vector<std::string>{"GetLine 2", "SetLine 1 #161=BASE.CNC", "DelLine 2"}));
    QCOMPARE(m_simulator->rows(), std::vector<std::string>{"#161=BASE.CNC"});

    click("cmdColInfo");
    click("cmdColInfo");
    auto* info = m_console->findChild<QListWidget*>(QStringLiteral("lstListInfo"));
    QCOMPARE(info->count(), 36); // appended, never emptied
    QCOMPARE(info->item(18)->text(), QStringLiteral("#161"));

    click("cmdStartList");
    click("cmdListInRun");
    QCOMPARE(text("txtListInRun"), QStringLiteral("True"));
    click("cmdHoldList");
    click("cmdListEnd");
    click("cmdSetp");
    click("cmdAppConnected");
    QCOMPARE(takeJournal(), (std::vector<std::string>{"ColumnInfo", "ColumnInfo", "StartList", "ListInRun", "HoldList",
                                                      "EndList", "Setpoint", "Connected"}));
    QCOMPARE(lastMessage(), std::string("True"));
}

void TestConsoleTest::badLineNumbersAreShownAndTheConsoleCarriesOn_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("journal"); // what reached the control, if anything
    QTest::newRow("not a number") << "abc"
                                  << "Get Line failed with error 13: Type mismatch"
                                  << "";
    QTest::newRow("empty") << ""
                           << "Get Line failed with error 13: Type mismatch"
                           << "";
    QTest::newRow("beyond 32 bits") << "4294967296"
                                    << "Get Line failed with error 6: Overflow"
                                    << "";
    QTest::newRow("no such row") << "5"
                                 << "Get Line failed with error 9: Subscript out of range"
                                 << "GetLine 5 -> error 9";
    QTest::newRow("row zero") << "0"
                              << "Get Line failed with error 9: Subscript out of range"
                              << "GetLine 0 -> error 9";
}

void TestConsoleTest::badLineNumbersAreShownAndTheConsoleCarriesOn() {
    QFETCH(QString, number);
    QFETCH(QString, message);
    QFETCH(QString, journal);
    click("cmdNewList");
    type("txtAddLine", QStringLiteral("#161=A.CNC"));
    click("cmdAddLine");
    takeJournal();
    type("txtGetLineNumber", number);
    click("cmdGetLine");
    QCOMPARE(QString::fromStdString(lastMessage()), message);
    QCOMPARE(m_view.messages.back().icon, quorlan::platform::MessageIcon::Critical);
    QCOMPARE(takeJournal(),
             journal.isEmpty() ? std::vector<std::string>{} : std::vector<std::string>{journal.toStdString()});
    QVERIFY(m_console->isVisible());
    type("txtGetLineNumber", QStringLiteral("1"));
    click("cmdGetLine");
    QCOMPARE(text("txtGetLine"), QStringLiteral("#161=A.CNC"));
}

void TestConsoleTest::operationsWithoutAnObjectAreShown() {
    click("cmdRows"); // the console's own list is empty at first
    QCOMPARE(lastMessage(),
             std::string("Num Rows? failed with error 91: Object variable or With block variable not set"));
    click("cmdAppTerminate");
    QVERIFY(!m_application);
    click("cmdStartList");
    QCOMPARE(lastMessage(), std::string("Start failed with error 91: Object variable or With block variable not set"));
    click("cmdAppInit");
    QVERIFY(m_application);
    click("cmdStartList");
    type("txtAppLstName", QStringLiteral("D:\\MISSING.LST"));
    click("cmdAppOpenLst");
    QCOMPARE(lastMessage(), std::string("Open List failed with error 53: File not found"));
    // The journal writes each backslash doubled.
    QCOMPARE(takeJournal(),
             (std::vector<std::string>{"CreateApplication", "StartList", "OpenList D:\\\\MISSING.LST -> error 53"}));
}

void TestConsoleTest::browsingPicksAListFileAndCancelKeepsThePreviousPick() {
    const std::string picked = m_folder->write("c/ZUNT/PRODUCT/Lsx/JOB1.LST", "#161=A.CNC\r\n");
    const auto answerDialog = [](bool accept, const QString& file) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->objectName(), QStringLiteral("cmdDlgBrowse"));
            QCOMPARE(dialog->defaultSuffix(), QStringLiteral("lst"));
            if (accept) {
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept is protected
            } else {
                dialog->reject();
            }
        });
    };
    answerDialog(true, QString::fromStdString(picked));
    click("cmdListBrowse");
    QCOMPARE(text("txtAppLstName"), QString::fromStdString(picked));
    click("cmdAppOpenLst");
    QCOMPARE(m_simulator->rows(), std::vector<std::string>{"#161=A.CNC"});

    type("txtListName", QStringLiteral("typed by hand"));
    answerDialog(false, {});
    click("cmdListAppendBrowse");
    QCOMPARE(text("txtListName"), QString::fromStdString(picked));
}

void TestConsoleTest::unloadingReleasesBothReferences() {
    click("cmdNewList");
    std::weak_ptr<quorlan::cnc::Application> application = m_application;
    QVERIFY(m_console->close());
    QVERIFY(!m_application);
    QVERIFY2(application.expired(), "the console's list keeps nothing alive");
}

QTEST_MAIN(TestConsoleTest)
#include "test_console_test.moc"
