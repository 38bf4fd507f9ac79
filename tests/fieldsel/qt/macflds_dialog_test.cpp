// MacFlds driven as the operator drives it, over a real settings file: what it shows, what OK
// writes, what Cancel leaves alone, and where the drawings put each slot's box.
#include "fieldsel/qt/macflds_dialog.h"
#include "fieldsel/qt/macflds_host.h"
#include "fieldsel/qt/table_drawing.h"
#include "platform/ini_file.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

using namespace quorlan::fieldsel;
using quorlan::platform::IniFileSection;

namespace {

QStringList names(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* name : list) {
        result.append(QString::fromLatin1(name));
    }
    return result;
}

// The slot check boxes of each tab, in tab order.
const QStringList kSlotTabChecks[] = {
    {},
    names({"SFScb", "SFAcb", "SFTcb", "SFRcb"}),
    names({"BFNcb", "BFMcb", "FFNcb", "FFMcb", "BFScb", "BFAcb", "BFTcb", "BFRcb", "FFScb", "FFAcb", "FFTcb", "FFRcb"}),
    {},
};

} // namespace

class MacFldsTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsStartAsDesigned_data();
    void controlsStartAsDesigned();
    void okAfterChoosingCommentWithTheMouseWritesItsTrigger();
    void okAfterChoosingByKeyboardKeepsEveryTypedTrigger();
    void cancelLeavesFileAndLiveSettingsAsTheyWere();
    void eachModeShowsItsOwnTrigger();
    void barcodeGreysTheEditorAndIgnoresDoubleClicks();
    void setAllAndClearAllOnlyOnTheSlotTabs_data();
    void setAllAndClearAllOnlyOnTheSlotTabs();
    void storedPositionIsShownAndStoredWithinRange_data();
    void storedPositionIsShownAndStoredWithinRange();
    void triggerLayoutAndReadOuts();
    void typedValuesAreStoredAsTypedWithCodesUpperCased_data();
    void typedValuesAreStoredAsTypedWithCodesUpperCased();
    void everySlotBoxSitsAtItsEndOfItsField();
    void hostCreatesHiddenOnFirstUseAndNeverWaitsUnattended();

private:
    void open(const QString& settings);
    template <typename T> T* find(const char* name) const {
        auto* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control named %s", name);
        }
        return widget;
    }
    void click(const char* name);
    void typeInto(const char* name, const QString& text);
    QString stored(const char* key) const;
    QByteArray fileBytes() const;

    std::optional<QTemporaryDir> m_folder;
    std::string m_path;
    std::unique_ptr<IniFileSection> m_file;
    std::unique_ptr<AutoFieldSelection> m_selection;
    std::string m_lastName = "FLANGEW";
    std::string m_lastComment = "FLANGE PLATE";
    std::unique_ptr<FieldSelectionSetup> m_setup;
    std::unique_ptr<MacFlds> m_dialog;
};

void MacFldsTest::init() {
    m_folder.emplace();
    QVERIFY(m_folder->isValid());
    m_path = m_folder->filePath(QStringLiteral("QZT.INI")).toStdString();
}

void MacFldsTest::cleanup() {
    m_dialog.reset();
    m_setup.reset();
    m_selection.reset();
    m_file.reset();
    m_folder.reset();
}

void MacFldsTest::open(const QString& settings) {
    QFile file(QString::fromStdString(m_path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((QStringLiteral("[KORVALDE]\r\n") + settings).toLatin1());
    file.close();
    m_file = std::make_unique<IniFileSection>(m_path, "KORVALDE");
    m_selection = std::make_unique<AutoFieldSelection>(*m_file);
    m_setup = std::make_unique<FieldSelectionSetup>(*m_selection, m_lastName, m_lastComment);
    m_dialog = std::make_unique<MacFlds>(*m_setup);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

// An option takes clicks on its indicator and caption, at the left end.
void MacFldsTest::click(const char* name) {
    auto* button = find<QAbstractButton>(name);
    const bool option = qobject_cast<QRadioButton*>(button) != nullptr || qobject_cast<QCheckBox*>(button) != nullptr;
    QTest::mouseClick(button, Qt::LeftButton, {},
                      option ? QPoint(button->height() / 2, button->height() / 2) : QPoint());
}

void MacFldsTest::typeInto(const char* name, const QString& text) {
    auto* box = find<QLineEdit>(name);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

QString MacFldsTest::stored(const char* key) const {
    return QString::fromStdString(
        quorlan::platform::getPrivateProfileString("KORVALDE", key, "(missing)", 128, m_path));
}

QByteArray MacFldsTest::fileBytes() const {
    QFile file(QString::fromStdString(m_path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void MacFldsTest::controlsStartAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("checked"); // -1: not an option; else 0 or 1
    QTest::addColumn<int>("limit");   // typing limit of a text box, 0: none or not a box
    QTest::newRow("BtnOK") << "BtnOK"
                           << "OK"
                           << "Exit and keep changes" << true << -1 << 0;
    QTest::newRow("BtnCan") << "BtnCan"
                            << "Cancel"
                            << "Exit and loose changes" << true << -1 << 0;
    QTest::newRow("BtnSA") << "BtnSA"
                           << "Set All"
                           << "Enable all fields on this tab" << false << -1 << 0;
    QTest::newRow("BtnCA") << "BtnCA"
                           << "Clear All"
                           << "Disable all fields on this tab" << false << -1 << 0;
    QTest::newRow("MPName") << "MPName"
                            << "Program Name"
                            << "" << true << 0 << 0;
    QTest::newRow("MCmt") << "MCmt"
                          << "Comment"
                          << "" << true << 0 << 0;
    QTest::newRow("MBC") << "MBC"
                         << "Barcode"
                         << "" << true << 1 << 0;
    QTest::newRow("MSel") << "MSel"
                          << "Mirror"
                          << "" << true << 1 << 0;
    QTest::newRow("NMSel") << "NMSel"
                           << "Norm and Mirror"
                           << "" << true << 0 << 0;
    QTest::newRow("OptAlnL") << "OptAlnL"
                             << ""
                             << "" << true << 1 << 0;
    QTest::newRow("OptAlnR") << "OptAlnR"
                             << ""
                             << "" << true << 0 << 0;
    QTest::newRow("LabDispStr") << "LabDispStr"
                                << "????????????????????????"
                                << "" << true << -1 << 0;
    QTest::newRow("PosDispRight") << "PosDispRight"
                                  << ""
                                  << "" << false << -1 << 0;
    QTest::newRow("DFN") << "DFN"
                         << ""
                         << "" << true << -1 << 3;
    QTest::newRow("SFN") << "SFN"
                         << ""
                         << "" << false << -1 << 3;
    QTest::newRow("BFR") << "BFR"
                         << ""
                         << "" << false << -1 << 3;
    QTest::newRow("FFS") << "FFS"
                         << ""
                         << "" << false << -1 << 5;
    QTest::newRow("FFA") << "FFA"
                         << ""
                         << "" << false << -1 << 5;
    QTest::newRow("FFT") << "FFT"
                         << ""
                         << "" << false << -1 << 5;
    QTest::newRow("FFR") << "FFR"
                         << ""
                         << "" << false << -1 << 5;
    QTest::newRow("SFScb") << "SFScb"
                           << ""
                           << "" << false << 0 << 0;
    QTest::newRow("HlfLimX") << "HlfLimX"
                             << ""
                             << "" << false << -1 << 0;
}

void MacFldsTest::controlsStartAsDesigned() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, tip);
    QFETCH(bool, shown);
    QFETCH(int, checked);
    QFETCH(int, limit);
    open({});
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Automatic Field Selection Setup"));
    auto* tabs = find<QTabWidget>("SSTab");
    QCOMPARE(tabs->count(), 4);
    const QStringList captions = names({"Auto Field Select", "Standard Fields", "Front and Back", "Field Limits"});
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), captions.at(i));
    }
    QCOMPARE(tabs->currentIndex(), 0);
    for (const char* none : {"SFNcb", "SFMcb", "DFNcb"}) {
        QVERIFY(m_dialog->findChild<QWidget*>(QString::fromLatin1(none)) == nullptr);
    }
    QCOMPARE(m_dialog->findChildren<QCheckBox*>().size(), 16);

    auto* widget = m_dialog->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->property("text").toString(), text);
    QCOMPARE(widget->toolTip(), tip);
    QCOMPARE(widget->isVisible(), shown);
    if (auto* option = qobject_cast<QAbstractButton*>(widget); option != nullptr && checked >= 0) {
        QCOMPARE(option->isChecked() ? 1 : 0, checked);
    }
    if (auto* box = qobject_cast<QLineEdit*>(widget); box != nullptr && limit > 0) {
        QCOMPARE(box->maxLength(), limit);
    }
}

void MacFldsTest::okAfterChoosingCommentWithTheMouseWritesItsTrigger() {
    open({});
    click("MCmt");
    typeInto("MSpec", QStringLiteral("Xy"));
    click("BtnOK");
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QCOMPARE(stored("AutoSelSetting"), QStringLiteral("2"));
    QCOMPARE(stored("CommentMirrorText"), QStringLiteral("Xy"));
    QCOMPARE(stored("CommentMirrorCPos"), QStringLiteral("1"));
    QCOMPARE(stored("CommentMirrorLR"), QStringLiteral("0")); // a missing alignment counts from the right
    QCOMPARE(stored("CommentMSel"), QStringLiteral("1"));
    QCOMPARE(stored("PNameMirrorText"), QString());
}

// Arrow keys move through an option group; each move stores the trigger being left.
void MacFldsTest::okAfterChoosingByKeyboardKeepsEveryTypedTrigger() {
    open({});
    auto* barcode = find<QRadioButton>("MBC");
    barcode->setFocus();
    QTest::keyClick(barcode, Qt::Key_Up);
    QTest::keyClick(find<QRadioButton>("MCmt"), Qt::Key_Up);
    QVERIFY(find<QRadioButton>("MPName")->isChecked());
    typeInto("MSpec", QStringLiteral("P1"));
    auto* name = find<QRadioButton>("MPName");
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Down);
    QVERIFY(find<QRadioButton>("MCmt")->isChecked());
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QString());
    typeInto("MSpec", QStringLiteral("C1"));
    auto* mirror = find<QRadioButton>("MSel");
    mirror->setFocus();
    QTest::keyClick(mirror, Qt::Key_Down);
    QVERIFY(find<QRadioButton>("NMSel")->isChecked());
    typeInto("MSpec", QStringLiteral("C2"));
    QTest::keyClick(find<QLineEdit>("MSpec"), Qt::Key_Return); // the default button
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(stored("AutoSelSetting"), QStringLiteral("2"));
    QCOMPARE(stored("PNameMirrorText"), QStringLiteral("P1"));
    QCOMPARE(stored("CommentMirrorText"), QStringLiteral("C1"));
    QCOMPARE(stored("CommentNandMText"), QStringLiteral("C2"));
    QCOMPARE(stored("CommentMSel"), QStringLiteral("0"));
}

void MacFldsTest::cancelLeavesFileAndLiveSettingsAsTheyWere() {
    open(QStringLiteral("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=W\r\nPNameMirrorCPos=12\r\n"
                        "FieldCode_SFN=N\r\nHalfLimitX=1000\r\n"));
    const QByteArray before = fileBytes();
    const FieldSelectionSettings loaded = m_setup->settings();
    typeInto("MSpec", QStringLiteral("Q"));
    click("NMSel");
    click("MCmt");
    auto* tabs = find<QTabWidget>("SSTab");
    tabs->setCurrentIndex(1);
    typeInto("SFN", QStringLiteral("M1"));
    click("BtnSA");
    tabs->setCurrentIndex(3);
    typeInto("HlfLimX", QStringLiteral("5"));
    click("BtnCan");
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(fileBytes(), before);
    QVERIFY(m_setup->settings() == loaded);
    // Shown again, it shows what is in force.
    m_dialog->show();
    QCOMPARE(find<QLineEdit>("SFN")->text(), QStringLiteral("N"));
    QCOMPARE(find<QLineEdit>("HlfLimX")->text(), QStringLiteral("1000"));
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("W"));
    QVERIFY(find<QRadioButton>("MPName")->isChecked());
    QVERIFY(find<QRadioButton>("MSel")->isChecked());
    QVERIFY(!find<QCheckBox>("SFScb")->isChecked());
}

void MacFldsTest::eachModeShowsItsOwnTrigger() {
    open(QStringLiteral("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameNandMText=N\r\n"));
    typeInto("MSpec", QStringLiteral("A"));
    click("NMSel");
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("N"));
    typeInto("MSpec", QStringLiteral("B"));
    click("MSel");
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("A"));
    click("NMSel");
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("B"));
    click("BtnOK");
    QCOMPARE(stored("PNameMirrorText"), QStringLiteral("A"));
    QCOMPARE(stored("PNameNandMText"), QStringLiteral("B"));
    QCOMPARE(stored("PNameMSel"), QStringLiteral("0"));
}

void MacFldsTest::barcodeGreysTheEditorAndIgnoresDoubleClicks() {
    open(QStringLiteral("AutoSelSetting=3\r\n"));
    const char* editor[] = {"FrameTSet",  "OptAlnL", "OptAlnR",     "PosScroll",
                            "LabDispStr", "MSpec",   "PosDispLeft", "PosDispRight"};
    for (const char* name : editor) {
        QVERIFY2(!find<QWidget>(name)->isEnabled(), name);
    }
    auto* display = find<QLabel>("LabDispStr");
    const QString shown = display->text();
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), shown);

    click("MPName");
    for (const char* name : editor) {
        QVERIFY2(find<QWidget>(name)->isEnabled(), name);
    }
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), QStringLiteral("FLANGEW"));
    typeInto("MSpec", QStringLiteral("W"));
    QCOMPARE(display->text(), QStringLiteral("W???????????"));
    click("MCmt");
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), QStringLiteral("FLANGE PLATE"));
}

void MacFldsTest::setAllAndClearAllOnlyOnTheSlotTabs_data() {
    QTest::addColumn<int>("tab");
    QTest::newRow("Auto Field Select") << 0;
    QTest::newRow("Standard Fields") << 1;
    QTest::newRow("Front and Back") << 2;
    QTest::newRow("Field Limits") << 3;
}

void MacFldsTest::setAllAndClearAllOnlyOnTheSlotTabs() {
    QFETCH(int, tab);
    open({});
    auto* tabs = find<QTabWidget>("SSTab");
    tabs->setCurrentIndex(3 - tab);
    tabs->setCurrentIndex(tab);
    const QStringList& checks = kSlotTabChecks[tab];
    QCOMPARE(find<QPushButton>("BtnSA")->isVisible(), !checks.isEmpty());
    QCOMPARE(find<QPushButton>("BtnCA")->isVisible(), !checks.isEmpty());
    if (checks.isEmpty()) {
        return;
    }
    const auto checkedNames = [this] {
        QStringList names;
        for (const QCheckBox* box : m_dialog->findChildren<QCheckBox*>()) {
            if (box->isChecked()) {
                names.append(box->objectName());
            }
        }
        names.sort();
        return names;
    };
    click("BtnSA");
    QStringList expected = checks;
    expected.sort();
    QCOMPARE(checkedNames(), expected);
    for (const QString& name : checks) {
        QCOMPARE(m_setup->settings().slot(name.left(3).toStdString()).enabled, std::int16_t{1});
    }
    find<QCheckBox>(tab == 1 ? "SFAcb" : "FFRcb")->setChecked(false);
    click("BtnSA");
    QCOMPARE(checkedNames(), expected);
    click("BtnCA");
    QCOMPARE(checkedNames(), QStringList());
}

void MacFldsTest::storedPositionIsShownAndStoredWithinRange_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("position");
    QTest::addColumn<int>("shown");
    QTest::newRow("zero") << "W"
                          << "0" << 1;
    QTest::newRow("beyond Max") << "W"
                                << "50" << 12;
    QTest::newRow("two characters beyond Max") << "AB"
                                               << "12" << 11;
    QTest::newRow("as wide as the layout") << "ABCDEFGHIJKLM"
                                           << "7" << 1;
}

void MacFldsTest::storedPositionIsShownAndStoredWithinRange() {
    QFETCH(QString, text);
    QFETCH(QString, position);
    QFETCH(int, shown);
    open(QStringLiteral("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=%1\r\nPNameMirrorCPos=%2\r\n")
             .arg(text, position));
    auto* scroll = find<QScrollBar>("PosScroll");
    QCOMPARE(scroll->value(), shown);
    QVERIFY(scroll->isEnabled());
    QCOMPARE(scroll->minimum(), 1);
    QVERIFY(scroll->maximum() >= 1);
    click("BtnOK");
    QCOMPARE(stored("PNameMirrorCPos"), QString::number(shown));
}

void MacFldsTest::triggerLayoutAndReadOuts() {
    open(QStringLiteral("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=W\r\nPNameMirrorCPos=12\r\n"
                        "PNameMirrorLR=-1\r\n"));
    auto* display = find<QLabel>("LabDispStr");
    auto* left = find<QLabel>("PosDispLeft");
    auto* right = find<QLabel>("PosDispRight");
    QCOMPARE(display->text(), QString(11, QLatin1Char('?')) + QLatin1Char('W'));
    QCOMPARE(left->text(), QStringLiteral("12 From Left"));
    QCOMPARE(right->text(), QStringLiteral("1 From Right"));
    QVERIFY(left->isVisible() && !right->isVisible());
    QCOMPARE(find<QScrollBar>("PosScroll")->maximum(), 12);

    click("OptAlnR");
    QVERIFY(!left->isVisible() && right->isVisible());
    find<QScrollBar>("PosScroll")->setValue(3);
    QCOMPARE(display->text(), QStringLiteral("??W?????????"));
    QCOMPARE(right->text(), QStringLiteral("10 From Right"));
    click("MCmt"); // the comment's layout is 26 wide
    typeInto("MSpec", QStringLiteral("ZZ"));
    QCOMPARE(display->text().size(), 25);
    QCOMPARE(find<QScrollBar>("PosScroll")->maximum(), 24);
}

void MacFldsTest::typedValuesAreStoredAsTypedWithCodesUpperCased_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("inFile");
    QTest::newRow("code cut at 3") << "SFN"
                                   << "abcdef"
                                   << "abc"
                                   << "FieldCode_SFN"
                                   << "ABC";
    QTest::newRow("front quarter cut at 5") << "FFS"
                                            << "s1/xyz"
                                            << "s1/xy"
                                            << "FieldCode_FFS"
                                            << "S1/XY";
    QTest::newRow("any text as a code") << "DFN"
                                        << ";=\""
                                        << ";=\""
                                        << "FieldCode_DFN"
                                        << ";=\"";
    QTest::newRow("letters as a limit") << "HlfLimX"
                                        << "abc"
                                        << "abc"
                                        << "HalfLimitX"
                                        << "abc";
    QTest::newRow("negative limit") << "HlfLimY"
                                    << "-5"
                                    << "-5"
                                    << "HalfLimitY"
                                    << "-5";
    QTest::newRow("huge limit") << "HlfLimX"
                                << "1e9"
                                << "1e9"
                                << "HalfLimitX"
                                << "1e9";
    QTest::newRow("limit with unit") << "HlfLimY"
                                     << " 600mm"
                                     << " 600mm"
                                     << "HalfLimitY"
                                     << "600mm";
}

void MacFldsTest::typedValuesAreStoredAsTypedWithCodesUpperCased() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, key);
    QFETCH(QString, inFile);
    open({});
    const QByteArray name = box.toLatin1();
    auto* edit = find<QLineEdit>(name.constData());
    for (int tab = 0; tab < 4 && !edit->isVisible(); ++tab) {
        find<QTabWidget>("SSTab")->setCurrentIndex(tab);
    }
    typeInto(name.constData(), typed);
    QCOMPARE(edit->text(), shown);
    click("BtnOK");
    QCOMPARE(stored(key.toLatin1().constData()), inFile);
    // The live code stays as typed until the settings are read again.
    if (box != QStringLiteral("HlfLimX") && box != QStringLiteral("HlfLimY")) {
        QCOMPARE(QString::fromStdString(m_setup->settings().slot(name.toStdString()).fieldCode), shown);
    }
}

void MacFldsTest::everySlotBoxSitsAtItsEndOfItsField() {
    open({});
    auto* tabs = find<QTabWidget>("SSTab");
    for (const QSize size : {m_dialog->size(), m_dialog->size() * 3 / 2}) {
        m_dialog->resize(size);
        for (const int tab : {1, 2}) {
            tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (const QString& checkName : kSlotTabChecks[tab] + names({"SFNcb", "SFMcb"})) {
                const std::string code = checkName.left(3).toStdString();
                if (tab == 2 && code[0] == 'S') {
                    continue;
                }
                auto* box = find<QLineEdit>(code.c_str());
                auto* drawing = qobject_cast<TableDrawing*>(box->parentWidget());
                QVERIFY2(drawing != nullptr && drawing->isVisible(), code.c_str());
                const SlotPlace place = *placeOf(code);
                const QRect field = drawing->fieldRect(place.row, place.part);
                QVERIFY2(field.contains(box->geometry()), code.c_str());
                const bool leftEnd = place.end == FieldEnd::Left;
                QVERIFY2((box->geometry().center().x() < field.center().x()) == leftEnd, code.c_str());
                auto* check = m_dialog->findChild<QCheckBox*>(checkName);
                if (check == nullptr) {
                    continue; // SFN and SFM have none
                }
                QCOMPARE(check->parentWidget(), drawing);
                QVERIFY2(field.contains(check->geometry()), code.c_str());
                // Beside its box, on the side of the field's middle, with the box at the very end.
                QVERIFY2(leftEnd ? check->x() >= box->geometry().right() : check->geometry().right() <= box->x(),
                         code.c_str());
                QVERIFY2(qAbs(check->geometry().center().y() - box->geometry().center().y()) <= 1, code.c_str());
            }
        }
    }
}

void MacFldsTest::hostCreatesHiddenOnFirstUseAndNeverWaitsUnattended() {
    open(QStringLiteral("FieldCode_DFN=N\r\n"));
    m_dialog.reset();
    m_selection = std::make_unique<AutoFieldSelection>(*m_file);
    m_setup = std::make_unique<FieldSelectionSetup>(*m_selection, m_lastName, m_lastComment);
    QWidget mainWindow;
    MacFldsHost host(*m_setup, mainWindow, /*unattended=*/true);
    QVERIFY(host.dialog() == nullptr);
    QCOMPARE(m_selection->defaultField(), std::string("N")); // a scan reads the settings first
    QPointer<MacFlds> dialog = host.dialog();
    QVERIFY(dialog != nullptr);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->parentWidget(), &mainWindow);
    host.show(); // nobody is there to answer: it returns at once, hidden
    QCOMPARE(host.dialog(), dialog.data());
    QVERIFY(!dialog->isVisible());
    host.unload();
    QVERIFY(dialog.isNull());
}

QTEST_MAIN(MacFldsTest)
#include "macflds_dialog_test.moc"
