// MacFlds driven as the operator drives it, over a real settings file: what it shows, what OK
// writes, what Cancel leaves alone, and where the drawings put each slot's box.
#include "fieldsel/qt/macflds_dialog.h"
#include "fieldsel/qt/macflds_host.h"
#include "fieldsel/qt/table_drawing.h"
#include "platform/ini_file.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
#include <vector>

using namespace quorlan::fieldsel;

namespace {

QStringList names(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* name : list) {
        result.append(QString::fromLatin1(name));
    }
    return result;
}

// The slot check boxes of each tab.
const QStringList kTabChecks[] = {
    {},
    names({"SFScb", "SFAcb", "SFTcb", "SFRcb"}),
    names({"BFNcb", "BFMcb", "FFNcb", "FFMcb", "BFScb", "BFAcb", "BFTcb", "BFRcb", "FFScb", "FFAcb", "FFTcb", "FFRcb"}),
    {},
};

const char* const kEditor[] = {"FrameTSet",  "OptAlnL", "OptAlnR",     "PosScroll",
                               "LabDispStr", "MSpec",   "PosDispLeft", "PosDispRight"};

} // namespace

class MacFldsTest final : public QObject {
    Q_OBJECT

private slots:
    void controlsStartAsDesigned();
    void okAfterChoosingCommentWithTheMouseWritesItsTrigger();
    void okAfterChoosingByKeyboardKeepsEveryTypedTrigger();
    void eachModeKeepsItsOwnTrigger();
    void cancelLeavesFileAndLiveSettingsAsTheyWere();
    void barcodeGreysTheEditorAndTheDoubleClick();
    void setAllAndClearAllOnlyOnTheSlotTabs();
    void storedPositionIsKeptWithinRange();
    void triggerLayoutOfTheExample();
    void typedTextIsStoredAsTypedWithCodesUpperCased();
    void everySlotBoxSitsAtItsEndOfItsField();
    void hostCreatesHiddenOnFirstUseAndNeverWaitsUnattended();

private:
    void open(const std::string& settings);
    template <typename T = QWidget> T* find(const char* name) const {
        auto* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control named %s", name);
        }
        return widget;
    }
    void click(const char* name);
    void typeInto(const char* name, const QString& text);
    QString stored(const char* key) const;
    std::string fileText() const;

    QTemporaryDir m_folder;
    std::string m_path = m_folder.filePath(QStringLiteral("QZT.INI")).toStdString();
    std::string m_lastName = "FLANGEW";
    std::string m_lastComment = "FLANGE PLATE";
    std::unique_ptr<quorlan::platform::IniFileSection> m_file;
    std::unique_ptr<AutoFieldSelection> m_selection;
    std::unique_ptr<FieldSelectionSetup> m_setup;
    std::unique_ptr<MacFlds> m_dialog;
};

void MacFldsTest::open(const std::string& settings) {
    m_dialog.reset();
    std::ofstream(m_path, std::ios::binary | std::ios::trunc) << "[KORVALDE]\r\n" << settings;
    m_file = std::make_unique<quorlan::platform::IniFileSection>(m_path, "KORVALDE");
    m_selection = std::make_unique<AutoFieldSelection>(*m_file);
    m_setup = std::make_unique<FieldSelectionSetup>(*m_selection, m_lastName, m_lastComment);
    m_dialog = std::make_unique<MacFlds>(*m_setup);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

// An option takes clicks on its indicator and caption, at the left end.
void MacFldsTest::click(const char* name) {
    auto* button = find<QAbstractButton>(name);
    const bool option = qobject_cast<QPushButton*>(button) == nullptr;
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
    return QString::fromStdString(quorlan::platform::getPrivateProfileString("KORVALDE", key, "-", 128, m_path));
}

std::string MacFldsTest::fileText() const {
    std::ifstream file(m_path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void MacFldsTest::controlsStartAsDesigned() {
    open({});
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Automatic Field Selection Setup"));
    auto* tabs = find<QTabWidget>("SSTab");
    const QStringList captions = names({"Auto Field Select", "Standard Fields", "Front and Back", "Field Limits"});
    QCOMPARE(tabs->count(), 4);
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), captions.at(i));
    }
    QCOMPARE(m_dialog->findChildren<QCheckBox*>().size(), 16);
    const struct {
        const char* name;
        const char* text;
        const char* tip;
        bool visible;
        int checked; // -1: not an option
        int limit;   // typing limit of a text box, 0: not one
    } controls[] = {
        {"BtnOK", "OK", "Exit and keep changes", true, -1, 0},
        {"BtnCan", "Cancel", "Exit and loose changes", true, -1, 0},
        {"BtnSA", "Set All", "Enable all fields on this tab", false, -1, 0},
        {"BtnCA", "Clear All", "Disable all fields on this tab", false, -1, 0},
        {"MPName", "Program Name", "", true, 0, 0},
        {"MCmt", "Comment", "", true, 0, 0},
        {"MBC", "Barcode", "", true, 1, 0},
        {"MSel", "Mirror", "", true, 1, 0},
        {"NMSel", "Norm and Mirror", "", true, 0, 0},
        {"OptAlnL", "", "", true, 1, 0},
        {"OptAlnR", "", "", true, 0, 0},
        {"LabDispStr", "????????????????????????", "", true, -1, 0},
        {"DFN", "", "", true, -1, 3},
        {"SFN", "", "", false, -1, 3},
        {"BFR", "", "", false, -1, 3},
        {"FFS", "", "", false, -1, 5},
        {"FFA", "", "", false, -1, 5},
        {"FFT", "", "", false, -1, 5},
        {"FFR", "", "", false, -1, 5},
    };
    for (const auto& c : controls) {
        QWidget* widget = find(c.name);
        QCOMPARE(widget->property("text").toString(), QString::fromLatin1(c.text));
        QCOMPARE(widget->toolTip(), QString::fromLatin1(c.tip));
        QVERIFY2(widget->isVisible() == c.visible, c.name);
        if (c.checked >= 0) {
            QVERIFY2(qobject_cast<QAbstractButton*>(widget)->isChecked() == (c.checked == 1), c.name);
        }
        if (c.limit > 0) {
            QCOMPARE(qobject_cast<QLineEdit*>(widget)->maxLength(), c.limit);
        }
    }
}

void MacFldsTest::okAfterChoosingCommentWithTheMouseWritesItsTrigger() {
    open({});
    click("MCmt");
    typeInto("MSpec", QStringLiteral("Xy"));
    click("BtnOK");
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(stored("AutoSelSetting"), QStringLiteral("2"));
    QCOMPARE(stored("CommentMirrorText"), QStringLiteral("Xy"));
    QCOMPARE(stored("CommentMirrorCPos"), QStringLiteral("1"));
    QCOMPARE(stored("CommentMirrorLR"), QStringLiteral("0")); // a missing alignment counts from the right
    QCOMPARE(stored("CommentMSel"), QStringLiteral("1"));
}

// Arrow keys move through an option group; every move stores the trigger being left.
void MacFldsTest::okAfterChoosingByKeyboardKeepsEveryTypedTrigger() {
    open({});
    const auto key = [this](const char* option, Qt::Key direction) {
        find(option)->setFocus();
        QTest::keyClick(find(option), direction);
    };
    key("MBC", Qt::Key_Up);
    key("MCmt", Qt::Key_Up);
    QVERIFY(find<QRadioButton>("MPName")->isChecked());
    typeInto("MSpec", QStringLiteral("P1"));
    key("MPName", Qt::Key_Down);
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QString());
    typeInto("MSpec", QStringLiteral("C1"));
    key("MSel", Qt::Key_Down);
    QVERIFY(find<QRadioButton>("NMSel")->isChecked());
    typeInto("MSpec", QStringLiteral("C2"));
    QTest::keyClick(find("MSpec"), Qt::Key_Return); // the default button
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(stored("AutoSelSetting"), QStringLiteral("2"));
    QCOMPARE(stored("PNameMirrorText"), QStringLiteral("P1"));
    QCOMPARE(stored("CommentMirrorText"), QStringLiteral("C1"));
    QCOMPARE(stored("CommentNandMText"), QStringLiteral("C2"));
}

void MacFldsTest::eachModeKeepsItsOwnTrigger() {
    open("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameNandMText=N\r\n");
    typeInto("MSpec", QStringLiteral("A"));
    click("NMSel");
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("N"));
    typeInto("MSpec", QStringLiteral("B"));
    click("MSel");
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("A"));
    click("BtnOK");
    QCOMPARE(stored("PNameMirrorText"), QStringLiteral("A"));
    QCOMPARE(stored("PNameNandMText"), QStringLiteral("B"));
}

void MacFldsTest::cancelLeavesFileAndLiveSettingsAsTheyWere() {
    open("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=W\r\nFieldCode_SFN=N\r\nHalfLimitX=1000\r\n");
    const std::string before = fileText();
    const FieldSelectionSettings loaded = m_setup->settings();
    typeInto("MSpec", QStringLiteral("Q"));
    click("NMSel");
    click("MCmt");
    find<QTabWidget>("SSTab")->setCurrentIndex(1);
    typeInto("SFN", QStringLiteral("M1"));
    click("BtnSA");
    typeInto("HlfLimX", QStringLiteral("5"));
    click("BtnCan");
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(fileText(), before);
    QVERIFY(m_setup->settings() == loaded);
    m_dialog->show(); // and it shows what is in force
    QCOMPARE(find<QLineEdit>("SFN")->text(), QStringLiteral("N"));
    QCOMPARE(find<QLineEdit>("MSpec")->text(), QStringLiteral("W"));
    QVERIFY(find<QRadioButton>("MPName")->isChecked() && find<QRadioButton>("MSel")->isChecked());
    QVERIFY(!find<QCheckBox>("SFScb")->isChecked());
}

void MacFldsTest::barcodeGreysTheEditorAndTheDoubleClick() {
    open("AutoSelSetting=3\r\n");
    auto* display = find<QLabel>("LabDispStr");
    const QString shown = display->text();
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), shown);
    for (const bool barcode : {true, false}) {
        for (const char* name : kEditor) {
            QVERIFY2(find(name)->isEnabled() != barcode, name);
        }
        click("MPName");
    }
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), QStringLiteral("FLANGEW"));
    typeInto("MSpec", QStringLiteral("W")); // the next layout puts the row back
    QCOMPARE(display->text(), QStringLiteral("W???????????"));
    click("MCmt");
    QTest::mouseDClick(display, Qt::LeftButton);
    QCOMPARE(display->text(), QStringLiteral("FLANGE PLATE"));
}

void MacFldsTest::setAllAndClearAllOnlyOnTheSlotTabs() {
    open({});
    const auto checked = [this] {
        QStringList result;
        for (const QCheckBox* box : m_dialog->findChildren<QCheckBox*>()) {
            if (box->isChecked()) {
                result.append(box->objectName());
            }
        }
        result.sort();
        return result;
    };
    for (int tab = 3; tab >= 0; --tab) {
        find<QTabWidget>("SSTab")->setCurrentIndex(tab);
        QCOMPARE(find("BtnSA")->isVisible(), !kTabChecks[tab].isEmpty());
        QCOMPARE(find("BtnCA")->isVisible(), !kTabChecks[tab].isEmpty());
        if (kTabChecks[tab].isEmpty()) {
            continue;
        }
        click("BtnSA");
        QStringList expected = kTabChecks[tab];
        expected.sort();
        QCOMPARE(checked(), expected);
        click("BtnCA");
        QCOMPARE(checked(), QStringList());
    }
}

void MacFldsTest::storedPositionIsKeptWithinRange() {
    const struct {
        const char* text;
        const char* position;
        int shown;
    } cases[] = {{"W", "0", 1}, {"W", "50", 12}, {"AB", "12", 11}, {"ABCDEFGHIJKLM", "7", 1}};
    for (const auto& c : cases) {
        open(std::string("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=") + c.text +
             "\r\nPNameMirrorCPos=" + c.position + "\r\n");
        auto* scroll = find<QScrollBar>("PosScroll");
        QCOMPARE(scroll->value(), c.shown);
        QVERIFY(scroll->isEnabled() && scroll->minimum() == 1 && scroll->maximum() >= 1);
        click("BtnOK");
        QCOMPARE(stored("PNameMirrorCPos"), QString::number(c.shown));
    }
}

void MacFldsTest::triggerLayoutOfTheExample() {
    open("AutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorText=W\r\nPNameMirrorCPos=12\r\nPNameMirrorLR=-1\r\n");
    auto* left = find<QLabel>("PosDispLeft");
    auto* right = find<QLabel>("PosDispRight");
    QCOMPARE(find<QLabel>("LabDispStr")->text(), QString(11, QLatin1Char('?')) + QLatin1Char('W'));
    QCOMPARE(left->text(), QStringLiteral("12 From Left"));
    QCOMPARE(right->text(), QStringLiteral("1 From Right"));
    QVERIFY(left->isVisible() && !right->isVisible());
    click("OptAlnR");
    QVERIFY(!left->isVisible() && right->isVisible());
}

void MacFldsTest::typedTextIsStoredAsTypedWithCodesUpperCased() {
    struct Typed {
        const char* box;
        int tab;
        const char* typed;
        const char* key;
        const char* inFile;
    };
    const std::vector<std::vector<Typed>> rounds = {
        {{"SFN", 1, "abcdef", "FieldCode_SFN", "ABC"},
         {"FFS", 2, "s1/xyz", "FieldCode_FFS", "S1/XY"},
         {"DFN", 0, ";=\"", "FieldCode_DFN", ";=\""},
         {"HlfLimX", 3, "abc", "HalfLimitX", "abc"},
         {"HlfLimY", 3, "-5", "HalfLimitY", "-5"}},
        {{"SFN", 1, "s", "FieldCode_SFN", "S"},
         {"HlfLimX", 3, "1e9", "HalfLimitX", "1e9"},
         {"HlfLimY", 3, " 600mm", "HalfLimitY", "600mm"}}, // blanks around a value are not read back
    };
    for (const auto& round : rounds) {
        open({});
        for (const Typed& t : round) {
            find<QTabWidget>("SSTab")->setCurrentIndex(t.tab);
            typeInto(t.box, QString::fromLatin1(t.typed));
        }
        click("BtnOK");
        for (const Typed& t : round) {
            QCOMPARE(stored(t.key), QString::fromLatin1(t.inFile));
        }
    }
    // The live code stays as typed until the settings are read again.
    QCOMPARE(m_setup->settings().slot("SFN").fieldCode, std::string("s"));
}

void MacFldsTest::everySlotBoxSitsAtItsEndOfItsField() {
    open({});
    for (const QSize size : {m_dialog->size(), m_dialog->size() * 3 / 2}) {
        m_dialog->resize(size);
        for (const int tab : {1, 2}) {
            find<QTabWidget>("SSTab")->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            const QStringList boxes =
                tab == 1 ? names({"SFN", "SFM", "SFS", "SFA", "SFT", "SFR"})
                         : names({"BFN", "BFM", "FFN", "FFM", "BFS", "BFA", "BFT", "BFR", "FFS", "FFA", "FFT", "FFR"});
            for (const QString& name : boxes) {
                const QByteArray code = name.toLatin1();
                auto* box = find<QLineEdit>(code.constData());
                auto* drawing = qobject_cast<TableDrawing*>(box->parentWidget());
                QVERIFY2(drawing != nullptr && drawing->isVisible(), code.constData());
                const SlotPlace place = *placeOf(code.toStdString());
                const QRect field = drawing->fieldRect(place.row, place.part);
                const bool leftEnd = place.end == FieldEnd::Left;
                QVERIFY2(field.contains(box->geometry()), code.constData());
                QVERIFY2((box->geometry().center().x() < field.center().x()) == leftEnd, code.constData());
                auto* check = m_dialog->findChild<QCheckBox*>(name + QStringLiteral("cb"));
                if (check != nullptr) { // beside its box, towards the field's middle
                    QVERIFY2(field.contains(check->geometry()), code.constData());
                    QVERIFY2(leftEnd ? check->x() > box->geometry().right() : check->geometry().right() < box->x(),
                             code.constData());
                    QVERIFY2(qAbs(check->geometry().center().y() - box->geometry().center().y()) <= 1,
                             code.constData());
                }
            }
        }
    }
}

void MacFldsTest::hostCreatesHiddenOnFirstUseAndNeverWaitsUnattended() {
    open("FieldCode_DFN=N\r\n");
    m_dialog.reset();
    AutoFieldSelection selection(*m_file);
    FieldSelectionSetup setup(selection, m_lastName, m_lastComment);
    QWidget mainWindow;
    MacFldsHost host(setup, mainWindow, /*unattended=*/true);
    QVERIFY(host.dialog() == nullptr);
    QCOMPARE(selection.defaultField(), std::string("N")); // a scan reads the settings first
    const QPointer<MacFlds> dialog = host.dialog();
    QVERIFY(dialog != nullptr && !dialog->isVisible() && dialog->parentWidget() == &mainWindow);
    host.show(); // nobody is there to answer: back at once, still hidden
    QVERIFY(host.dialog() == dialog && !dialog->isVisible());
    host.unload();
    QVERIFY(dialog.isNull());
}

QTEST_MAIN(MacFldsTest)
#include "macflds_dialog_test.moc"
