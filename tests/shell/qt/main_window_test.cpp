// The main window driven as the operator drives it: controls found by name, clicks and keys.
#include "platform/error.h"
#include "shell/qt/main_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <optional>
#include <vector>

using quorlan::platform::Option;
using quorlan::shell::MainWindow;
using quorlan::shell::WindowActions;

class MainWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsStartAsDesigned_data();
    void controlsStartAsDesigned();
    void enterHandsTheUpperCasedLabelOn_data();
    void enterHandsTheUpperCasedLabelOn();
    void emptyEntryReturnsToIdle();
    void rejectedLabelStaysForCorrection();
    void failingProcessingIsReportedAndTheWindowCarriesOn();
    void optionBoxesReportEveryChange();
    void hiddenEditorOptionGivesItsPlaceToAutoStart();
    void closingLetsGoOfPortAndControl();
    void controlCharactersOfAScanAreShownNotObeyed();

private:
    template <typename T> T* find(const char* name) const {
        auto* widget = m_window->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control named %s", name);
        }
        return widget;
    }
    void typeLabel(const QString& text);
    bool editing() const;

    std::optional<MainWindow> m_window;
    std::vector<std::string> m_labels;
    bool m_accept = true;
};

void MainWindowTest::init() {
    m_labels.clear();
    m_accept = true;
    m_window.emplace(/*unattended=*/true);
    WindowActions actions;
    actions.processLabel = [this](const std::string& label) {
        m_labels.push_back(label);
        return m_accept;
    };
    m_window->setActions(std::move(actions));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(&*m_window));
}

void MainWindowTest::cleanup() {
    m_window.reset();
}

void MainWindowTest::typeLabel(const QString& text) {
    QTest::mouseClick(find<QPushButton>("cmdEdit"), Qt::LeftButton);
    auto* edit = find<QLineEdit>("txtEtichetta");
    // Key events carry ASCII only; other characters arrive as an input method delivers them.
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
        } else {
            edit->insert(QString(c));
        }
    }
}

bool MainWindowTest::editing() const {
    return find<QLineEdit>("txtEtichetta")->isEnabled() && !find<QPushButton>("cmdEdit")->isEnabled() &&
           find<QPushButton>("cmdEndEdit")->isEnabled();
}

void MainWindowTest::controlsStartAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("checked"); // -1: not a check box
    QTest::newRow("cmdEdit") << "cmdEdit"
                             << "Edit" << true << true << -1;
    QTest::newRow("txtEtichetta") << "txtEtichetta"
                                  << "" << false << true << -1;
    QTest::newRow("cmdEndEdit") << "cmdEndEdit"
                                << "OK" << false << true << -1;
    QTest::newRow("AutoStart") << "AutoStart"
                               << "  Machine Auto Start" << true << true << 1;
    QTest::newRow("ShowEd") << "ShowEd"
                            << "Show Program in Editor" << true << true << 0;
    QTest::newRow("Overwrite") << "Overwrite"
                               << "Overwrite Existing Programs With Program From 2D Barcode" << true << true << 1;
    QTest::newRow("AClear") << "AClear"
                            << "Automatic Clear on Scan" << true << true << 0;
    QTest::newRow("ComDisplay") << "ComDisplay"
                                << "" << true << false << -1;
    QTest::newRow("DSpin") << "DSpin"
                           << "X" << true << false << -1;
    QTest::newRow("LabelAFS") << "LabelAFS"
                              << "Automatic Field Selection" << true << false << -1;
    QTest::newRow("lblCurSettings") << "lblCurSettings"
                                    << "" << true << true << -1;
    QTest::newRow("lblStatusBar") << "lblStatusBar"
                                  << "Ready." << true << true << -1;
}

void MainWindowTest::controlsStartAsDesigned() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);
    QFETCH(int, checked);
    auto* widget = m_window->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    const QVariant text = widget->property("text");
    QCOMPARE(text.toString(), caption);
    QCOMPARE(widget->isEnabled(), enabled);
    QCOMPARE(widget->isVisible(), visible);
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QCOMPARE(box->isChecked() ? 1 : 0, checked);
    }
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Quorlan"));
    const auto parts = m_window->findChildren<QLabel*>(QStringLiteral("LabID"));
    QCOMPARE(parts.size(), 5);
    QCOMPARE(parts.at(3)->text(), QStringLiteral("Vars A-D"));
    QVERIFY(!parts.at(3)->isVisible());
}

void MainWindowTest::enterHandsTheUpperCasedLabelOn_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::string>("handedOn");
    QTest::newRow("plain") << "abc" << std::string("ABC");
    QTest::newRow("code page letters") << QStringLiteral("ñandú œ")
                                       << std::string("\xD1"
                                                      "AND\xDA \x8C");
    QTest::newRow("outside the code page") << QStringLiteral("a\u0100b") << std::string("A?B");
}

void MainWindowTest::enterHandsTheUpperCasedLabelOn() {
    QFETCH(QString, typed);
    QFETCH(std::string, handedOn);
    typeLabel(typed);
    QCOMPARE(m_window->status(), std::string("Type the Barcode-Label."));
    QTest::keyClick(find<QLineEdit>("txtEtichetta"), Qt::Key_Return);
    QCOMPARE(m_labels, std::vector<std::string>{handedOn});
    QVERIFY(!editing());
    QVERIFY(find<QLineEdit>("txtEtichetta")->text().isEmpty());
}

void MainWindowTest::emptyEntryReturnsToIdle() {
    typeLabel(QString());
    QTest::mouseClick(find<QPushButton>("cmdEndEdit"), Qt::LeftButton);
    QVERIFY(m_labels.empty());
    QVERIFY(!editing());
    QCOMPARE(m_window->status(), std::string("Ready."));
    QVERIFY(find<QPushButton>("cmdEdit")->hasFocus());
}

void MainWindowTest::rejectedLabelStaysForCorrection() {
    m_accept = false;
    QSignalSpy beeps(&*m_window, &MainWindow::beeped);
    typeLabel(QStringLiteral("part7"));
    QTest::mouseClick(find<QPushButton>("cmdEndEdit"), Qt::LeftButton);
    QCOMPARE(m_labels, std::vector<std::string>{"PART7"});
    QVERIFY(editing());
    QCOMPARE(find<QLineEdit>("txtEtichetta")->text(), QStringLiteral("PART7"));
    QVERIFY(find<QLineEdit>("txtEtichetta")->hasFocus());
    QCOMPARE(beeps.count(), 1);
}

void MainWindowTest::failingProcessingIsReportedAndTheWindowCarriesOn() {
    WindowActions actions;
    actions.processLabel = [](const std::string&) -> bool {
        throw quorlan::platform::StationError(quorlan::platform::errc::kFileNotFound);
    };
    m_window->setActions(std::move(actions));
    typeLabel(QStringLiteral("x"));
    QTest::mouseClick(find<QPushButton>("cmdEndEdit"), Qt::LeftButton);
    QVERIFY(editing());
    QCOMPARE(find<QLineEdit>("txtEtichetta")->text(), QStringLiteral("X"));
}

void MainWindowTest::optionBoxesReportEveryChange() {
    std::vector<std::pair<Option, bool>> changes;
    WindowActions actions;
    actions.optionChanged = [&](Option option, bool checked) { changes.emplace_back(option, checked); };
    m_window->setActions(std::move(actions));
    auto* aClear = find<QCheckBox>("AClear");
    QTest::mouseClick(aClear, Qt::LeftButton);
    QTest::mouseClick(aClear, Qt::LeftButton);
    m_window->setOption(Option::AutoStart, false);                // a change made by the logic counts too
    m_window->setOption(Option::AutoStart, false);                // no change, nothing to store
    QTest::mouseClick(find<QCheckBox>("ShowEd"), Qt::LeftButton); // never stored
    const std::vector<std::pair<Option, bool>> expected = {
        {Option::AutoClear, true}, {Option::AutoClear, false}, {Option::AutoStart, false}};
    QCOMPARE(changes, expected);
    QVERIFY(m_window->option(Option::ShowEditor));
}

void MainWindowTest::hiddenEditorOptionGivesItsPlaceToAutoStart() {
    const int editorTop = find<QCheckBox>("ShowEd")->y();
    m_window->hideEditorOption();
    QVERIFY(!find<QCheckBox>("ShowEd")->isVisible());
    QCOMPARE(find<QCheckBox>("AutoStart")->y(), editorTop);
}

void MainWindowTest::closingLetsGoOfPortAndControl() {
    int shutdowns = 0;
    WindowActions actions;
    actions.shutdown = [&] { ++shutdowns; };
    m_window->setActions(std::move(actions));
    QVERIFY(m_window->close());
    QCOMPARE(shutdowns, 1);
}

// The status line is one line, and unattended it is echoed to a terminal: a scan's line breaks
// and escape sequences are shown as escapes there, never sent raw.
void MainWindowTest::controlCharactersOfAScanAreShownNotObeyed() {
    m_window->setStatus("Reading Barcode-Label.X\r\n\x1B[2J\a");
    QCOMPARE(find<QLabel>("lblStatusBar")->text(), QStringLiteral("Reading Barcode-Label.X\\r\\n\\x1B[2J\\x07"));
    m_window->setStatus("C:\\ZUNT\\PRODUCT\\ Ready.");
    QCOMPARE(find<QLabel>("lblStatusBar")->text(), QStringLiteral("C:\\ZUNT\\PRODUCT\\ Ready."));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
