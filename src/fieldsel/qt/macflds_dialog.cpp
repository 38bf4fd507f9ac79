#include "fieldsel/qt/macflds_dialog.h"

#include "fieldsel/qt/table_drawing.h"
#include "platform/qt/cp1252.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quorlan::fieldsel {

using platform::fromCp1252;
using platform::toCp1252;

namespace {

constexpr int kFieldCodeLimit = 3;
constexpr int kQuarterCodeLimit = 5; // the front-row quarters take longer codes
constexpr int kLimitBoxCharacters = 6;

int typingLimitOf(std::string_view code) {
    return code == "FFS" || code == "FFA" || code == "FFT" || code == "FFR" ? kQuarterCodeLimit : kFieldCodeLimit;
}

QString latin(const char* text) {
    return QString::fromLatin1(text);
}

// The controls' initial states, set before the settings are shown: they change no setting.
void checkInitially(QAbstractButton& option) {
    const QSignalBlocker quiet(option);
    option.setChecked(true);
}

QPushButton* addButton(QHBoxLayout& row, QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* button = new QPushButton(latin(caption), parent);
    button->setObjectName(latin(name));
    button->setToolTip(latin(tip));
    row.addWidget(button);
    return button;
}

} // namespace

MacFlds::MacFlds(FieldSelectionSetup& setup, QWidget* parent) : QDialog(parent), m_setup(setup) {
    setObjectName(QStringLiteral("MacFlds"));
    setWindowTitle(QStringLiteral("Automatic Field Selection Setup"));
    auto* layout = new QVBoxLayout(this);
    m_ssTab = new QTabWidget(this);
    m_ssTab->setObjectName(QStringLiteral("SSTab"));
    m_ssTab->addTab(buildAutoSelectPage(), QStringLiteral("Auto Field Select"));
    m_ssTab->addTab(buildStandardPage(), QStringLiteral("Standard Fields"));
    m_ssTab->addTab(buildFrontAndBackPage(), QStringLiteral("Front and Back"));
    m_ssTab->addTab(buildLimitsPage(), QStringLiteral("Field Limits"));
    layout->addWidget(m_ssTab);
    buildButtons();
    connect(m_ssTab, &QTabWidget::currentChanged, this, &MacFlds::tabChanged);
    showSettings();
    adjustSize();
    centreOnScreen();
}

// Left and top as the screen's free room halved, never off the screen's top or left edge.
void MacFlds::centreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = frameGeometry().size();
    move(area.left() + std::max(0, (area.width() - size.width()) / 2),
         area.top() + std::max(0, (area.height() - size.height()) / 2));
}

QWidget* MacFlds::buildAutoSelectPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);

    auto* mirror = new QGroupBox(QStringLiteral("Mirror"), page);
    new QVBoxLayout(mirror);
    m_mPName =
        addOption(*mirror, "MPName", "Program Name", [this] { m_setup.selectSource(MirrorSource::ProgramName); });
    m_mCmt = addOption(*mirror, "MCmt", "Comment", [this] { m_setup.selectSource(MirrorSource::Comment); });
    m_mBC = addOption(*mirror, "MBC", "Barcode", [this] { m_setup.selectSource(MirrorSource::Barcode); });
    checkInitially(*m_mBC);
    grid->addWidget(mirror, 0, 0);

    auto* produce = new QGroupBox(QStringLiteral("On Match Produce: "), page);
    new QVBoxLayout(produce);
    m_mSel = addOption(*produce, "MSel", "Mirror", [this] { m_setup.selectMode(MatchMode::Mirror); });
    m_nmSel = addOption(*produce, "NMSel", "Norm and Mirror", [this] { m_setup.selectMode(MatchMode::NormAndMirror); });
    checkInitially(*m_mSel);
    static_cast<QVBoxLayout*>(produce->layout())->addStretch();
    grid->addWidget(produce, 0, 1);

    auto* defaultField = new QGroupBox(QStringLiteral("Default Field"), page);
    auto* defaultLayout = new QVBoxLayout(defaultField);
    QLineEdit* dfn = addSlotBox("DFN");
    dfn->setParent(defaultField);
    defaultLayout->addWidget(dfn);
    defaultLayout->addStretch();
    grid->addWidget(defaultField, 0, 2);

    grid->addWidget(buildTriggerEditor(), 1, 0, 1, 3);
    grid->setRowStretch(2, 1);
    return page;
}

// The alignment options stand at the ends of the layout display, each on the side it counts from.
QGroupBox* MacFlds::buildTriggerEditor() {
    m_frameTSet = new QGroupBox(QStringLiteral("Set Characters to Trigger Mirror "), this);
    m_frameTSet->setObjectName(QStringLiteral("FrameTSet"));
    auto* grid = new QGridLayout(m_frameTSet);

    m_mSpec = new QLineEdit(m_frameTSet);
    m_mSpec->setObjectName(QStringLiteral("MSpec"));
    connect(m_mSpec, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_setup.settings().editor.characters = toCp1252(text);
        PlaceText();
    });
    grid->addWidget(m_mSpec, 0, 1, Qt::AlignHCenter);

    // The question marks stand for characters of the tested text, so they must line up.
    m_labDispStr = new QLabel(QStringLiteral("????????????????????????"), m_frameTSet);
    m_labDispStr->setObjectName(QStringLiteral("LabDispStr"));
    m_labDispStr->setTextFormat(Qt::PlainText);
    m_labDispStr->setAlignment(Qt::AlignCenter);
    m_labDispStr->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(font().pointSize() + 2);
    m_labDispStr->setFont(fixed);
    m_labDispStr->setMinimumWidth(
        QFontMetrics(fixed).horizontalAdvance(QString(kCommentLayoutWidth + 1, QLatin1Char('?'))));
    m_labDispStr->installEventFilter(this);
    grid->addWidget(m_labDispStr, 1, 1);

    const auto alignment = [this](const char* name, bool fromLeft) {
        auto* option = new QRadioButton(m_frameTSet);
        option->setObjectName(latin(name));
        connect(option, &QRadioButton::toggled, this, [this, fromLeft](bool checked) {
            if (checked) {
                m_setup.settings().editor.fromLeft = fromLeft ? -1 : 0;
                PlaceText();
            }
        });
        return option;
    };
    m_optAlnL = alignment("OptAlnL", true);
    m_optAlnR = alignment("OptAlnR", false);
    checkInitially(*m_optAlnL);
    grid->addWidget(m_optAlnL, 1, 0);
    grid->addWidget(m_optAlnR, 1, 2);

    m_posScroll = new QScrollBar(Qt::Horizontal, m_frameTSet);
    m_posScroll->setObjectName(QStringLiteral("PosScroll"));
    m_posScroll->setRange(1, kNameLayoutWidth);
    m_posScroll->setPageStep(1);
    connect(m_posScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_setup.settings().editor.position = static_cast<std::int16_t>(value);
        PlaceText();
    });
    grid->addWidget(m_posScroll, 2, 1);

    auto* readOuts = new QHBoxLayout;
    m_posDispLeft = new QLabel(m_frameTSet);
    m_posDispLeft->setObjectName(QStringLiteral("PosDispLeft"));
    m_posDispRight = new QLabel(m_frameTSet);
    m_posDispRight->setObjectName(QStringLiteral("PosDispRight"));
    m_posDispRight->hide();
    readOuts->addWidget(m_posDispLeft);
    readOuts->addStretch();
    readOuts->addWidget(m_posDispRight);
    grid->addLayout(readOuts, 3, 1);
    grid->setColumnStretch(1, 1);
    return m_frameTSet;
}

QWidget* MacFlds::buildStandardPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(buildDrawing({"SFN", "SFM"}, false, false));
    layout->addWidget(buildDrawing({"SFS", "SFA", "SFT", "SFR"}, true, false));
    return page;
}

QWidget* MacFlds::buildFrontAndBackPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(buildDrawing({"BFN", "BFM", "FFN", "FFM"}, false, true));
    layout->addWidget(buildDrawing({"BFS", "BFA", "BFT", "BFR", "FFS", "FFA", "FFT", "FFR"}, true, true));
    return page;
}

QWidget* MacFlds::buildLimitsPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* drawing = new TableDrawing({true, true}, page);
    const int width = fontMetrics().horizontalAdvance(QString(kLimitBoxCharacters, QLatin1Char('0'))) + 12;
    QLineEdit* x = addTextBox(QStringLiteral("HlfLimX"), 0,
                              [](FieldSelectionSettings& s) -> std::string& { return s.halfLimitX; });
    QLineEdit* y = addTextBox(QStringLiteral("HlfLimY"), 0,
                              [](FieldSelectionSettings& s) -> std::string& { return s.halfLimitY; });
    x->setFixedWidth(width);
    y->setFixedWidth(width);
    drawing->addDimensions(x, y);
    layout->addWidget(drawing);
    return page;
}

TableDrawing* MacFlds::buildDrawing(std::initializer_list<const char*> codes, bool halves, bool rows) {
    auto* drawing = new TableDrawing({halves, rows}, this);
    for (const char* code : codes) {
        const std::string slot(code);
        const auto place = placeOf(slot);
        drawing->addSlot(*place, addSlotBox(slot), hasEnabledFlag(slot) ? addSlotCheck(slot) : nullptr);
    }
    return drawing;
}

void MacFlds::buildButtons() {
    auto* row = new QHBoxLayout;
    m_btnSA = addButton(*row, this, "BtnSA", "Set All", "Enable all fields on this tab");
    m_btnCA = addButton(*row, this, "BtnCA", "Clear All", "Disable all fields on this tab");
    m_btnSA->hide();
    m_btnCA->hide();
    row->addStretch();
    QPushButton* ok = addButton(*row, this, "BtnOK", "OK", "Exit and keep changes");
    QPushButton* cancel = addButton(*row, this, "BtnCan", "Cancel", "Exit and loose changes");
    ok->setDefault(true);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    connect(m_btnSA, &QPushButton::clicked, this, [this] { setAllOnTab(true); });
    connect(m_btnCA, &QPushButton::clicked, this, [this] { setAllOnTab(false); });
    connect(ok, &QPushButton::clicked, this, &MacFlds::confirm);
    connect(cancel, &QPushButton::clicked, this, &MacFlds::reject);
}

// Chosen by mouse or keyboard alike: the setup stores the editor before the selection moves on.
QRadioButton* MacFlds::addOption(QGroupBox& frame, const char* name, const char* caption,
                                 std::function<void()> chosen) {
    auto* option = new QRadioButton(latin(caption), &frame);
    option->setObjectName(latin(name));
    frame.layout()->addWidget(option);
    connect(option, &QRadioButton::toggled, this, [this, chosen = std::move(chosen)](bool checked) {
        if (checked) {
            chosen();
            showEditor();
        }
    });
    return option;
}

QLineEdit* MacFlds::addTextBox(const QString& name, int typingLimit, TextField field) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    connect(box, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { field(m_setup.settings()) = toCp1252(text); });
    m_textBoxes.push_back({box, typingLimit, std::move(field)});
    return box;
}

QLineEdit* MacFlds::addSlotBox(const std::string& code) {
    const int limit = typingLimitOf(code);
    QLineEdit* box = addTextBox(QString::fromStdString(code), limit,
                                [code](FieldSelectionSettings& s) -> std::string& { return s.slot(code).fieldCode; });
    box->setFixedWidth(fontMetrics().horizontalAdvance(QString(limit + 1, QLatin1Char('M'))) + 10);
    return box;
}

QCheckBox* MacFlds::addSlotCheck(const std::string& code) {
    auto* check = new QCheckBox(this);
    check->setObjectName(QString::fromStdString(code + "cb"));
    connect(check, &QCheckBox::toggled, this,
            [this, code](bool checked) { m_setup.settings().slot(code).enabled = checked ? 1 : 0; });
    m_checks.emplace_back(code, check);
    return check;
}

void MacFlds::confirm() {
    m_setup.confirm();
    accept();
}

void MacFlds::reject() {
    m_setup.cancel();
    showSettings();
    QDialog::reject();
}

void MacFlds::tabChanged(int index) {
    const bool slotTab = !switchableSlots(static_cast<SetupTab>(index)).empty();
    m_btnSA->setVisible(slotTab);
    m_btnCA->setVisible(slotTab);
}

void MacFlds::setAllOnTab(bool enabled) {
    m_setup.setAllOnTab(static_cast<SetupTab>(m_ssTab->currentIndex()), enabled);
    showSlotFlags();
}

void MacFlds::showSettings() {
    FieldSelectionSettings& settings = m_setup.settings();
    for (const TextBox& text : m_textBoxes) {
        const QString value = fromCp1252(text.field(settings));
        // The limit holds the operator's typing; a longer code stored in the file is still shown whole.
        if (text.typingLimit > 0) {
            text.box->setMaxLength(std::max(text.typingLimit, static_cast<int>(value.size())));
        }
        text.box->setText(value);
    }
    showSlotFlags();
    const std::pair<QRadioButton*, bool> options[] = {
        {m_mPName, settings.mirrorSource == MirrorSource::ProgramName},
        {m_mCmt, settings.mirrorSource == MirrorSource::Comment},
        {m_mBC, settings.mirrorSource == MirrorSource::Barcode},
        {m_mSel, settings.selectedMode == MatchMode::Mirror},
        {m_nmSel, settings.selectedMode == MatchMode::NormAndMirror},
    };
    for (const auto& [option, checked] : options) {
        const QSignalBlocker quiet(option);
        option->setChecked(checked);
    }
    showEditor();
}

void MacFlds::showSlotFlags() {
    for (const auto& [code, check] : m_checks) {
        const QSignalBlocker quiet(check);
        check->setChecked(m_setup.settings().slot(code).enabled != 0);
    }
}

void MacFlds::showEditor() {
    const TriggerSpec& editor = m_setup.settings().editor;
    m_mSpec->setText(fromCp1252(editor.characters));
    for (const auto& [option, checked] :
         {std::pair{m_optAlnL, editor.fromLeft != 0}, {m_optAlnR, editor.fromLeft == 0}}) {
        const QSignalBlocker quiet(option);
        option->setChecked(checked);
    }
    PlaceText();
}

void MacFlds::PlaceText() {
    const TriggerLayout layout = m_setup.placeText();
    for (QWidget* control : std::initializer_list<QWidget*>{m_frameTSet, m_optAlnL, m_optAlnR, m_posScroll,
                                                            m_labDispStr, m_mSpec, m_posDispLeft, m_posDispRight}) {
        control->setEnabled(layout.enabled);
    }
    if (!layout.enabled) {
        return;
    }
    {
        const QSignalBlocker quiet(m_posScroll);
        m_posScroll->setRange(1, layout.largestPosition);
        m_posScroll->setValue(m_setup.settings().editor.position);
    }
    if (!layout.display) {
        return;
    }
    m_labDispStr->setText(fromCp1252(layout.display->row));
    m_posDispLeft->setText(fromCp1252(layout.display->fromLeft));
    m_posDispRight->setText(fromCp1252(layout.display->fromRight));
    m_posDispLeft->setVisible(layout.display->showFromLeft);
    m_posDispRight->setVisible(!layout.display->showFromLeft);
}

void MacFlds::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_setup.open();
        m_ssTab->setFocus();
    }
    QDialog::showEvent(event);
}

// The operator compares the trigger with the text of the last label; the next layout puts it back.
bool MacFlds::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_labDispStr && event->type() == QEvent::MouseButtonDblClick) {
        if (const auto text = m_setup.comparisonText()) {
            m_labDispStr->setText(fromCp1252(*text));
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quorlan::fieldsel
