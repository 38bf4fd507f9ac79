// Exclusion insertion as the operator meets it: the menu item, the dialog's boxes, OK or Cancel,
// then the settings file and the main window's ExLab.
#include "config/configuration.h"
#include "fakes/temp_folder.h"
#include "scan/exclusion.h"
#include "scan/qt/exclusion_form.h"
#include "shell/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

using quorlan::scan::ExInsForm;
using quorlan::shell::MainWindow;

class ExclusionFormTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void okStoresShowsAndIsRememberedForTheRun_data();
    void okStoresShowsAndIsRememberedForTheRun();
    void cancelChangesNothing();

private:
    // Opens ExInsForm from the menu and hands it to the operator's part once it is up.
    void operate(const std::function<void(ExInsForm&)>& operatorPart);
    static QCheckBox* box(ExInsForm& form, int index);
    QString exLab() const;
    bool exLabVisible() const;

    std::optional<quorlan::testing::TempFolder> m_folder;
    quorlan::config::StationSettings m_settings;
    quorlan::platform::PathMapper m_paths;
    std::optional<quorlan::config::SettingsFile> m_file;
    std::optional<quorlan::scan::ExclusionSelection> m_selection;
    std::optional<MainWindow> m_window;
};

void ExclusionFormTest::init() {
    m_folder.emplace();
    m_settings.IniFilePath = m_folder->write("QZT.INI", "[KORVALDE]\r\nExclusion=11111111\r\n");
    m_file.emplace(m_settings, m_paths, std::string());
    m_selection.emplace(); // as at start-up: the stored key is not read back
    m_window.emplace(/*unattended=*/false);
    quorlan::shell::WindowActions actions;
    actions.exclusionBoxes = [this] { return m_selection->boxes(); };
    actions.exclusionChosen = [this](const quorlan::scan::ExclusionBoxes& boxes) {
        m_selection->choose(boxes, *m_file, *m_window);
    };
    m_window->setActions(std::move(actions));
    m_window->show();
}

void ExclusionFormTest::cleanup() {
    m_window.reset();
    m_file.reset();
    m_folder.reset();
}

void ExclusionFormTest::operate(const std::function<void(ExInsForm&)>& operatorPart) {
    bool operated = false;
    std::function<void()> waitForForm;
    waitForForm = [&] {
        if (auto* form = qobject_cast<ExInsForm*>(QApplication::activeModalWidget())) {
            operatorPart(*form);
            operated = true;
            if (form->isVisible()) {
                form->reject(); // a failed check must not leave the dialog waiting
            }
            return;
        }
        QTimer::singleShot(10, waitForForm);
    };
    QTimer::singleShot(0, waitForForm);
    m_window->findChild<QAction*>(QStringLiteral("ExIns"))->trigger();
    QVERIFY(operated);
}

QCheckBox* ExclusionFormTest::box(ExInsForm& form, int index) {
    for (QCheckBox* candidate : form.findChildren<QCheckBox*>(QStringLiteral("ExCk"))) {
        if (candidate->property("index").toInt() == index) {
            return candidate;
        }
    }
    qFatal("no ExCk %d", index);
}

QString ExclusionFormTest::exLab() const {
    return m_window->findChild<QLabel*>(QStringLiteral("ExLab"))->text();
}

bool ExclusionFormTest::exLabVisible() const {
    return m_window->findChild<QLabel*>(QStringLiteral("ExLab"))->isVisible();
}

void ExclusionFormTest::okStoresShowsAndIsRememberedForTheRun_data() {
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown"); // empty: ExLab hidden
    QTest::newRow("1 and 3") << QList<int>{1, 3} << "10100000"
                             << " Exclusion Number 13  for insertion.";
    QTest::newRow("none") << QList<int>{} << "00000000"
                          << "";
    QTest::newRow("8 alone") << QList<int>{8} << "00000001"
                             << " Exclusion Number 8  for insertion.";
}

void ExclusionFormTest::okStoresShowsAndIsRememberedForTheRun() {
    QFETCH(QList<int>, checked);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    operate([&](ExInsForm& form) {
        for (int index = 1; index <= 8; ++index) {
            QVERIFY(!box(form, index)->isChecked()); // empty selection at start-up
        }
        for (const int index : checked) {
            QTest::mouseClick(box(form, index), Qt::LeftButton);
        }
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    });
    QCOMPARE(QString::fromStdString(m_folder->read("QZT.INI")),
             QStringLiteral("[KORVALDE]\r\nExclusion=%1\r\n").arg(stored));
    QCOMPARE(exLabVisible(), !shown.isEmpty());
    if (!shown.isEmpty()) {
        QCOMPARE(exLab(), shown);
    }

    // Reopened in the same run, the dialog shows the same choice.
    operate([&](ExInsForm& form) {
        for (int index = 1; index <= 8; ++index) {
            QCOMPARE(box(form, index)->isChecked(), checked.contains(index));
        }
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnCan")), Qt::LeftButton);
    });
}

void ExclusionFormTest::cancelChangesNothing() {
    operate([](ExInsForm& form) {
        QTest::mouseClick(box(form, 2), Qt::LeftButton);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnCan")), Qt::LeftButton);
    });
    QCOMPARE(m_folder->read("QZT.INI"), std::string("[KORVALDE]\r\nExclusion=11111111\r\n"));
    QCOMPARE(exLab(), QString());
    QVERIFY(exLabVisible());
    QCOMPARE(m_selection->value(), std::string());
}

QTEST_MAIN(ExclusionFormTest)
#include "exclusion_form_test.moc"
