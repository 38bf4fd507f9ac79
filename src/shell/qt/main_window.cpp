#include "shell/qt/main_window.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/qt/cp1252.h"
#include "platform/text.h"
#include "scan/qt/exclusion_form.h"
#include "shell/qt/about_box.h"
#include "shell/qt/status_line.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quorlan::shell {

using platform::fromCp1252;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::Option;
using platform::toCp1252;

namespace {

const QString kApplicationTitle = QStringLiteral("Quorlan");
constexpr int kTwipsPerInch = 1440;
constexpr std::array<const char*, platform::kPartIndicatorCount> kPartCaptions = {"Load List", "Program", "Dimensions",
                                                                                  "Vars A-D", "Vars E-I"};
constexpr std::array<int, platform::kPartIndicatorCount> kPartLefts = {480, 1800, 3120, 4440, 5760};

// Whatever a scan held, the operator sees its control characters as escapes: they neither squeeze
// a status into another line nor drive the terminal that watches an unattended station.
QString shown(const std::string& text) {
    return fromCp1252(platform::visibleText(text));
}

// Unattended output is read line by line by whoever watches the station: one line, flushed at
// once. What reaches it was made visible already.
void writeLine(std::FILE* stream, const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QLabel* addLabel(QWidget& parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromLatin1(caption), &parent);
    label->setObjectName(QString::fromLatin1(name));
    // Scanned text is shown as it came, never interpreted as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

void setBordered(QLabel& label) {
    label.setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The buttons in their order; the first is the default.
std::vector<std::pair<QMessageBox::StandardButton, MessageAnswer>> buttonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel:
        return {{QMessageBox::Ok, MessageAnswer::Ok}, {QMessageBox::Cancel, MessageAnswer::Cancel}};
    case MessageButtons::RetryCancel:
        return {{QMessageBox::Retry, MessageAnswer::Retry}, {QMessageBox::Cancel, MessageAnswer::Cancel}};
    case MessageButtons::Ok:
        break;
    }
    return {{QMessageBox::Ok, MessageAnswer::Ok}};
}

} // namespace

MainWindow::MainWindow(bool unattended, QWidget* parent) : QMainWindow(parent), m_unattended(unattended) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kApplicationTitle);
    auto* client = new QWidget(this);
    // The controls' fixed places were measured for an 8-point sans-serif face.
    QFont font = client->font();
    font.setPointSize(8);
    client->setFont(font);
    setCentralWidget(client);
    // Everything keeps its designed place in the part above the status bar; the status bar below
    // spans the window's width, and its status line grows with the window and with its text.
    auto* controls = new QWidget(client);
    controls->setFixedSize(pixels(QRect(0, 0, 7380, 3015)).size());
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(controls);
    buildControls(*controls);
    buildIndicators(*controls);
    column->addStretch();
    column->addWidget(buildStatusBar(*client));
    buildMenus();
    // The window's limits are set once, here: changed later, some platforms complain about each
    // change. A taller status line makes the window taller by resizing it (fitHeightToContents).
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(minimumSizeHint());
    resize(minimumSizeHint());

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    // Scans are framed by counting quiet ticks, so ticks should come when they are due.
    m_timer1->setTimerType(Qt::PreciseTimer);
    // The tick runs as a queued call, not inside the timer's own event: Qt does not fire a timer
    // again while its handler is running, and the scan loop relies on ticks that run nested in
    // the pauses of a hand-over to keep reading the scanner.
    connect(
        m_timer1, &QTimer::timeout, this, [this] { guarded(m_actions.tick); }, Qt::QueuedConnection);
    m_timer1->start();
}

QRect MainWindow::pixels(QRect twips) const {
    const auto scale = [dpi = logicalDpiX()](int value) { return value * dpi / kTwipsPerInch; };
    return {scale(twips.left()), scale(twips.top()), scale(twips.width()), scale(twips.height())};
}

void MainWindow::buildControls(QWidget& client) {
    m_cmdEdit = new QPushButton(QStringLiteral("Edit"), &client);
    m_cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    m_cmdEdit->setGeometry(pixels({120, 120, 855, 375}));
    connect(m_cmdEdit, &QPushButton::clicked, this, &MainWindow::startEditing);

    m_txtEtichetta = new QLineEdit(&client);
    m_txtEtichetta->setObjectName(QStringLiteral("txtEtichetta"));
    m_txtEtichetta->setGeometry(pixels({1080, 120, 5655, 375}));
    m_txtEtichetta->setEnabled(false);

    m_cmdEndEdit = new QPushButton(QStringLiteral("OK"), &client);
    m_cmdEndEdit->setObjectName(QStringLiteral("cmdEndEdit"));
    m_cmdEndEdit->setGeometry(pixels({6720, 120, 495, 375}));
    m_cmdEndEdit->setEnabled(false);
    m_cmdEndEdit->setDefault(true);
    connect(m_cmdEndEdit, &QPushButton::clicked, this, &MainWindow::endEditing);
    // A main window has no default button of its own: Enter presses OK while it is enabled.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            if (m_cmdEndEdit->isEnabled()) {
                m_cmdEndEdit->click();
            }
        });
    }

    m_autoStart =
        addOptionBox(client, "AutoStart", "  Machine Auto Start", {1080, 600, 2055, 255}, true, Option::AutoStart);
    m_comDisplay = addLabel(client, "ComDisplay", "");
    m_comDisplay->setGeometry(pixels({3480, 600, 3255, 255}));
    m_comDisplay->hide();
    m_showEd = addCheckBox(client, "ShowEd", "Show Program in Editor", {1080, 960, 2055, 255}, false);
    m_exLab = addLabel(client, "ExLab", "");
    m_exLab->setGeometry(pixels({3480, 960, 3255, 255}));
    m_overwrite = addOptionBox(client, "Overwrite", "Overwrite Existing Programs With Program From 2D Barcode",
                               {1080, 1320, 4695, 255}, true, Option::Overwrite);
    m_aClear =
        addOptionBox(client, "AClear", "Automatic Clear on Scan", {1080, 1680, 4695, 255}, false, Option::AutoClear);
}

QCheckBox* MainWindow::addCheckBox(QWidget& client, const char* name, const char* caption, QRect twips, bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), &client);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(pixels(twips));
    // Faces here run wider than the ones the places were measured with: never cut a caption.
    box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    box->setChecked(checked);
    return box;
}

QCheckBox* MainWindow::addOptionBox(QWidget& client, const char* name, const char* caption, QRect twips, bool checked,
                                    Option option) {
    QCheckBox* box = addCheckBox(client, name, caption, twips, checked);
    // Every change of state is stored at once, also one made by the logic.
    connect(box, &QCheckBox::toggled, this, [this, option](bool state) {
        if (m_actions.optionChanged) {
            guarded([&] { m_actions.optionChanged(option, state); });
        }
    });
    return box;
}

void MainWindow::buildIndicators(QWidget& client) {
    m_dSpin = addLabel(client, "DSpin", "X");
    m_dSpin->setGeometry(pixels({120, 2160, 180, 285}));
    m_dSpin->setAlignment(Qt::AlignCenter);
    m_dSpin->setStyleSheet(QStringLiteral("background-color: #c0c0c0; color: blue;"
                                          "font-family: Arial; font-weight: bold;"));
    m_dSpin->hide();
    for (int index = 0; index < platform::kPartIndicatorCount; ++index) {
        QLabel* part = addLabel(client, "LabID", kPartCaptions.at(index));
        part->setProperty("index", index);
        part->setGeometry(pixels({kPartLefts.at(index), 2160, 1215, 255}));
        part->setAlignment(Qt::AlignCenter);
        part->setStyleSheet(QStringLiteral("background-color: blue; color: yellow;"));
        setBordered(*part);
        part->hide();
        m_labId.at(index) = part;
    }
    m_labelAfs = addLabel(client, "LabelAFS", "Automatic Field Selection");
    m_labelAfs->setGeometry(pixels({480, 2520, 2535, 255}));
    m_labelAfs->setStyleSheet(QStringLiteral("background-color: blue; color: yellow;"));
    m_labelAfs->hide();
}

QWidget* MainWindow::buildStatusBar(QWidget& client) {
    auto* bar = new QWidget(&client);
    bar->setObjectName(QStringLiteral("picStatusBar"));
    const QRect barPlace = pixels({0, 3015, 7380, 315});
    const QRect portPlace = pixels({0, 0, 1935, 255});
    const QRect statusPlace = pixels({2040, 0, 4695, 255});
    // Margins and spacing put both labels at their designed places in a window of designed width.
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, barPlace.width() - statusPlace.right() - 1, barPlace.height() - statusPlace.height());
    row->setSpacing(statusPlace.left() - portPlace.width());
    m_lblCurSettings = addLabel(*bar, "lblCurSettings", "");
    m_lblCurSettings->setFixedSize(portPlace.size());
    m_lblCurSettings->setStyleSheet(QStringLiteral("color: red;"));
    setBordered(*m_lblCurSettings);
    row->addWidget(m_lblCurSettings, 0, Qt::AlignTop);
    m_lblStatusBar = new StatusLine(QStringLiteral("Ready."), bar);
    m_lblStatusBar->setObjectName(QStringLiteral("lblStatusBar"));
    m_lblStatusBar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_lblStatusBar->setLeastHeight(statusPlace.height());
    row->addWidget(m_lblStatusBar, 1, Qt::AlignTop);
    // Queued: a new width comes in the middle of the window's own resize, which must end first.
    connect(m_lblStatusBar, &StatusLine::heightChanged, this, &MainWindow::fitHeightToContents, Qt::QueuedConnection);
    return bar;
}

void MainWindow::fitHeightToContents() {
    // The operator chooses the width; the height is what the controls and the status line need,
    // so a long message makes the window taller and the next short one makes it short again.
    // Laid out at once rather than when the event loop gets to it, so the height is known now.
    for (QWidget* widget = m_lblStatusBar->parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (widget->layout() != nullptr) {
            widget->layout()->activate();
        }
    }
    resize(width(), minimumSizeHint().height());
}

void MainWindow::buildMenus() {
    const auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    const auto addItem = [this](QMenu* menu, const char* name, const char* caption, auto handler) {
        QAction* item = menu->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        connect(item, &QAction::triggered, this, handler);
    };
    QMenu* file = addMenu("mnuFile", "&File");
    addItem(file, "mnuHistory", "&History", [this] { guarded(m_actions.showHistory); });
    addItem(file, "mnuExit", "E&xit", [this] { endProcess(EXIT_SUCCESS); });
    QMenu* options = addMenu("mnuOptions", "&Options");
    addItem(options, "mnuSetttings", "&Settings", [this] { guarded(m_actions.commSettings); });
    addItem(options, "MnuAutoFld", "&Auto Field Select", [this] { guarded(m_actions.autoFieldSelect); });
    addItem(options, "ExIns", "&Exclusion Insertion", [this] { showExclusionInsertion(); });
    addItem(options, "mnuDoubleScan", "&Double Scan Guard", [this] { guarded(m_actions.doubleScanGuard); });
    addItem(addMenu("mnuHelp", "&?"), "mnuAbout", "&About Quorlan ...", [this] { showAbout(); });
}

void MainWindow::guarded(const std::function<void()>& action) {
    if (!action) {
        return;
    }
    try {
        action();
    } catch (const config::EndProgram& end) {
        endProcess(end.exitCode);
    } catch (const platform::StationError& error) {
        config::showUnexpectedError(*this, error);
    } catch (const std::exception& error) {
        message(std::string("Unexpected error: ") + error.what(), MessageIcon::Critical);
    } catch (...) {
        message("Unexpected error of an unknown kind.", MessageIcon::Critical);
    }
}

void MainWindow::endProcess(int exitCode) {
    // Ends at once, as the station always did: the operating system releases the port and the
    // control, and the locks are recovered as stale by the next start.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void MainWindow::startEditing() {
    m_txtEtichetta->setEnabled(true);
    m_txtEtichetta->setFocus();
    m_cmdEdit->setEnabled(false);
    m_cmdEndEdit->setEnabled(true);
    setStatus("Type the Barcode-Label.");
}

void MainWindow::endEditing() {
    const std::string label = platform::toUpper(toCp1252(m_txtEtichetta->text()));
    m_txtEtichetta->setText(fromCp1252(label));
    if (label.empty()) {
        showIdle();
        m_cmdEdit->setFocus();
        setStatus("Ready.");
        return;
    }
    bool accepted = false;
    if (m_actions.processLabel) {
        guarded([&] { accepted = m_actions.processLabel(label); });
    }
    if (accepted) {
        showIdle();
    } else {
        beep();
        m_txtEtichetta->setFocus();
    }
}

void MainWindow::showIdle() {
    m_txtEtichetta->clear();
    m_txtEtichetta->setEnabled(false);
    m_cmdEdit->setEnabled(true);
    m_cmdEndEdit->setEnabled(false);
}

void MainWindow::showAbout() {
    if (m_unattended) {
        return;
    }
    FrmAbout about(this);
    about.exec();
}

void MainWindow::showExclusionInsertion() {
    if (m_unattended || !m_actions.exclusionBoxes || !m_actions.exclusionChosen) {
        return;
    }
    guarded([this] {
        scan::ExInsForm form(m_actions.exclusionBoxes(), this);
        if (form.exec() == QDialog::Accepted) {
            m_actions.exclusionChosen(form.boxes());
        }
    });
}

void MainWindow::showEvent(QShowEvent* event) {
    // Whoever watches an unattended station learns it is up from the status line it starts with.
    if (m_unattended && !m_shownOnce) {
        m_shownOnce = true;
        writeLine(stdout, m_lblStatusBar->text());
    }
    QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    guarded(m_actions.shutdown);
    event->accept();
}

void MainWindow::setStatus(const std::string& text) {
    m_lblStatusBar->setText(shown(text));
    writeLine(echoStream(), m_lblStatusBar->text());
}

std::string MainWindow::status() const {
    return toCp1252(m_lblStatusBar->text());
}

void MainWindow::setPortText(const std::string& text) {
    m_lblCurSettings->setText(shown(text));
    writeLine(echoStream(), m_lblCurSettings->text());
}

std::FILE* MainWindow::echoStream() const {
    // Unattended, standard output carries the status lines for whoever reads them; with a
    // display they are a record for the person at the terminal, beside the messages.
    return m_unattended ? stdout : stderr;
}

void MainWindow::setPartIndicator(int index, bool visible) {
    if (index >= 0 && index < platform::kPartIndicatorCount) {
        m_labId.at(static_cast<std::size_t>(index))->setVisible(visible);
    }
}

void MainWindow::setFieldSelectionIndicator(bool visible) {
    m_labelAfs->setVisible(visible);
}

void MainWindow::setScanActivity(bool visible, const std::string& caption) {
    m_dSpin->setText(fromCp1252(caption));
    m_dSpin->setVisible(visible);
}

void MainWindow::setLastScan(const std::string& text) {
    m_comDisplay->setText(fromCp1252(text));
}

void MainWindow::setExclusionLabel(const std::optional<std::string>& caption) {
    if (caption) {
        m_exLab->setText(fromCp1252(*caption));
    }
    m_exLab->setVisible(caption.has_value());
}

QCheckBox* MainWindow::optionBox(Option option) const {
    switch (option) {
    case Option::AutoStart:
        return m_autoStart;
    case Option::Overwrite:
        return m_overwrite;
    case Option::AutoClear:
        return m_aClear;
    case Option::ShowEditor:
        break;
    }
    return m_showEd;
}

bool MainWindow::option(Option option) const {
    return optionBox(option)->isChecked();
}

void MainWindow::setOption(Option option, bool checked) {
    optionBox(option)->setChecked(checked);
}

void MainWindow::hideEditorOption() {
    m_showEd->hide();
    m_autoStart->move(m_autoStart->x(), m_showEd->y());
}

void MainWindow::setPollInterval(int milliseconds) {
    m_timer1->setInterval(milliseconds);
}

MessageAnswer MainWindow::message(const std::string& text, MessageIcon icon, MessageButtons buttons,
                                  const std::string& title) {
    const QString caption = title.empty() ? kApplicationTitle : shown(title);
    const auto choices = buttonsOf(buttons);
    // Written before the box waits, so that the terminal has it while nobody has answered yet.
    writeLine(stderr, caption + QStringLiteral(": ") + shown(text));
    if (m_unattended) {
        // A question with a way out ("Insert Disk", "Unformatted Disk") takes it: repeating the
        // same attempt with nobody to change the disk would only loop.
        return choices.size() > 1 ? choices.back().second : choices.front().second;
    }
    QMessageBox box(toQt(icon), caption, shown(text), QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    for (const auto& choice : choices) {
        box.addButton(choice.first);
    }
    box.setDefaultButton(choices.front().first);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& choice : choices) {
        if (choice.first == pressed) {
            return choice.second;
        }
    }
    return choices.back().second; // closed without a button: the way out
}

void MainWindow::beep() {
    QApplication::beep();
    emit beeped();
}

} // namespace quorlan::shell
