// frmSettings: what it preselects from the stored settings and what it hands back.
#include "config/qt/settings_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using quorlan::config::CommChoice;
using quorlan::config::FrmSettings;
using quorlan::config::SettingsDialogState;
using quorlan::config::StationSettings;

namespace {

StationSettings stored(std::int16_t port, const std::string& settings) {
    StationSettings values;
    values.CommPort = port;
    values.CommSettings = settings;
    return values;
}

QStringList names(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* name : list) {
        result.append(QString::fromLatin1(name));
    }
    return result;
}

std::string device(int port) {
    return "/dev/ttyUSB" + std::to_string(port);
}

QStringList checkedOptions(const FrmSettings& dialog) {
    QStringList names;
    for (const QRadioButton* option : dialog.findChildren<QRadioButton*>()) {
        if (option->isChecked()) {
            names.append(option->objectName());
        }
    }
    return names;
}

void click(FrmSettings& dialog, const char* name) {
    auto* button = dialog.findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY2(button != nullptr, name);
    // An option only takes clicks on its indicator and caption, at the left end.
    const QPoint indicator(button->height() / 2, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator);
}

} // namespace

class SettingsDialogTest final : public QObject {
    Q_OBJECT

private slots:
    void okHandsBackWhatWasPreselected_data();
    void okHandsBackWhatWasPreselected();
    void clicksChangeTheChoice();
    void cancelHandsBackNothing();
    void devicesAreShownBesideThePorts();
};

void SettingsDialogTest::okHandsBackWhatWasPreselected_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<int>("chosenPort");
    QTest::newRow("all offered") << 3 << "19200,E,7,2"
                                 << names({"optCom3", "optBaud19200", "optParityEven", "optDataBits7", "optStopBits2"})
                                 << 3;
    QTest::newRow("rate not offered") << 1 << "115200,N,8,1"
                                      << names({"optCom1", "optParityNone", "optDataBits8", "optStopBits1"}) << 1;
    QTest::newRow("port not offered") << 5 << "9600,N,8,1"
                                      << names({"optBaud9600", "optParityNone", "optDataBits8", "optStopBits1"}) << 0;
    QTest::newRow("fourth port") << 4 << "9600,N,8,1"
                                 << names({"OptCom4", "optBaud9600", "optParityNone", "optDataBits8", "optStopBits1"})
                                 << 4;
}

void SettingsDialogTest::okHandsBackWhatWasPreselected() {
    QFETCH(int, port);
    QFETCH(QString, settings);
    QFETCH(QStringList, checked);
    QFETCH(int, chosenPort);
    SettingsDialogState state;
    FrmSettings dialog(state, stored(static_cast<std::int16_t>(port), settings.toStdString()), device);
    dialog.show();
    QCOMPARE(checkedOptions(dialog), checked);
    click(dialog, "cmdOK");
    const std::optional<CommChoice> choice = dialog.selection();
    QVERIFY(choice.has_value());
    QCOMPARE(choice->port, chosenPort);
    QCOMPARE(QString::fromStdString(choice->settings), settings);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void SettingsDialogTest::clicksChangeTheChoice() {
    SettingsDialogState state;
    FrmSettings dialog(state, stored(1, "9600,N,8,1"), device);
    dialog.show();
    click(dialog, "optCom2");
    click(dialog, "optBaud57600");
    click(dialog, "optParityOdd");
    click(dialog, "optDataBits7");
    click(dialog, "optStopBits2");
    click(dialog, "cmdOK");
    QVERIFY(dialog.selection().has_value());
    QCOMPARE(dialog.selection()->port, 2);
    QCOMPARE(QString::fromStdString(dialog.selection()->settings), QStringLiteral("57600,O,7,2"));
}

void SettingsDialogTest::cancelHandsBackNothing() {
    SettingsDialogState state;
    FrmSettings dialog(state, stored(1, "9600,N,8,1"), device);
    dialog.show();
    click(dialog, "optCom2");
    click(dialog, "optBaud300");
    click(dialog, "cmdCancel");
    QVERIFY(!dialog.selection().has_value());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    // The working values outlive the dialog: a port not offered next time keeps the one clicked.
    FrmSettings again(state, stored(7, "9600,N,8,1"), device);
    click(again, "cmdOK");
    QCOMPARE(again.selection()->port, 2);
}

void SettingsDialogTest::devicesAreShownBesideThePorts() {
    SettingsDialogState state;
    FrmSettings dialog(state, stored(1, "9600,N,8,1"), device);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(dialog.findChild<QRadioButton*>(QStringLiteral("optCom3"))->text(), QStringLiteral("Com3"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lblDevice3"))->text(), QStringLiteral("/dev/ttyUSB3"));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->isDefault());
}

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
