// The main window driven as the operator drives it: controls found by name, clicks and keys.
#include "platform/error.h"
#include "shell/qt/main_window.h"
#include "shell/qt/status_line.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

using quorlan::platform::Option;
using quorlan::shell::MainWindow;
using quorlan::shell::StatusLine;
using quorlan::shell::WindowActions;

namespace {

// A port named the way README tells installers to name it, in the message an installer meets.
const QString kByIdPort = QStringLiteral("/dev/serial/by-id/usb-Example_Barcode_Scanner_0001-if00");
const QString kLongStatus =
    QStringLiteral("The scanner port COM1 (%1) cannot be opened: Permission denied: %1 belongs to the group dialout "
                   "and op is not a member; add the user to it (sudo usermod -aG dialout op) and log in again. "
                   "Trying again until it opens.")
        .arg(kByIdPort);

// What the action writes to standard error.
QString standardErrorOf(const std::function<void()>& action) {
    QTemporaryFile file;
    if (!file.open()) {
        qFatal("no temporary file");
    }
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

// The text a tooltip shows.
QString tipText(const QWidget& widget) {
    return QTextDocumentFragment::fromHtml(widget.toolTip()).toPlainText();
}

} // namespace

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
    void everythingButTheStatusLineKeepsItsDesignedPlace_data();
    void everythingButTheStatusLineKeepsItsDesignedPlace();
    void aLongMessageIsShownWholeAndTheWindowFollowsIt();
    void aWiderWindowWidensTheStatusLine();
    void onlyAGarbledScanLosesItsMiddle();
    void besideTheWindowStatusAndMessagesGoToStandardError();

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
    // A rectangle of the window's design, in twips, as placed on this screen.
    QRect pixels(QRect twips) const {
        const int dpi = m_window->logicalDpiX();
        const auto scale = [dpi](int value) { return value * dpi / 1440; };
        return {scale(twips.left()), scale(twips.top()), scale(twips.width()), scale(twips.height())};
    }

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
    QCOMPARE(find<StatusLine>("lblStatusBar")->text(), QStringLiteral("Reading Barcode-Label.X\\r\\n\\x1B[2J\\x07"));
    m_window->setStatus("C:\\ZUNT\\PRODUCT\\ Ready.");
    QCOMPARE(find<StatusLine>("lblStatusBar")->text(), QStringLiteral("C:\\ZUNT\\PRODUCT\\ Ready."));
}

void MainWindowTest::everythingButTheStatusLineKeepsItsDesignedPlace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips"); // in its parent; a check box may be wider than designed
    QTest::newRow("cmdEdit") << "cmdEdit" << QRect(120, 120, 855, 375);
    QTest::newRow("txtEtichetta") << "txtEtichetta" << QRect(1080, 120, 5655, 375);
    QTest::newRow("cmdEndEdit") << "cmdEndEdit" << QRect(6720, 120, 495, 375);
    QTest::newRow("ShowEd") << "ShowEd" << QRect(1080, 960, 2055, 255);
    QTest::newRow("ExLab") << "ExLab" << QRect(3480, 960, 3255, 255);
    QTest::newRow("Overwrite") << "Overwrite" << QRect(1080, 1320, 4695, 255);
    QTest::newRow("AClear") << "AClear" << QRect(1080, 1680, 4695, 255);
    QTest::newRow("DSpin") << "DSpin" << QRect(120, 2160, 180, 285);
    QTest::newRow("LabelAFS") << "LabelAFS" << QRect(480, 2520, 2535, 255);
    QTest::newRow("picStatusBar") << "picStatusBar" << QRect(0, 3015, 7380, 315);
    QTest::newRow("lblCurSettings") << "lblCurSettings" << QRect(0, 0, 1935, 255);
    QTest::newRow("lblStatusBar") << "lblStatusBar" << QRect(2040, 0, 4695, 255);
}

void MainWindowTest::everythingButTheStatusLineKeepsItsDesignedPlace() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    const QRect place = m_window->findChild<QWidget*>(name)->geometry();
    const QRect designed = pixels(twips);
    QCOMPARE(place.topLeft(), designed.topLeft());
    QCOMPARE(place.height(), designed.height());
    QVERIFY2(place.width() == designed.width() || qobject_cast<QCheckBox*>(m_window->findChild<QWidget*>(name)),
             qPrintable(QStringLiteral("%1 wide, designed %2").arg(place.width()).arg(designed.width())));
    QCOMPARE(m_window->centralWidget()->size(), pixels({0, 0, 7380, 3330}).size());
}

void MainWindowTest::aLongMessageIsShownWholeAndTheWindowFollowsIt() {
    auto* line = find<StatusLine>("lblStatusBar");
    const QRect designed = line->geometry();
    const QSize window = m_window->size();

    m_window->setStatus(kLongStatus.toStdString());
    QCOMPARE(tipText(*line), kLongStatus);
    const QStringList lines = line->shownLines(line->width());
    QVERIFY(lines.size() > 2);
    QCOMPARE(lines.join(QString()), kLongStatus);
    for (const QString& shown : lines) {
        QVERIFY2(line->fontMetrics().horizontalAdvance(shown.trimmed()) <= line->contentsRect().width(),
                 qPrintable(shown));
    }
    QVERIFY(line->contentsRect().height() >= lines.size() * line->fontMetrics().lineSpacing());
    QCOMPARE(line->width(), designed.width());
    QTRY_COMPARE(m_window->size(), window + QSize(0, line->height() - designed.height()));
    QVERIFY(m_window->rect().contains(QRect(line->mapTo(&*m_window, QPoint()), line->size())));

    m_window->setStatus("Ready.");
    QCOMPARE(line->geometry(), designed);
    QTRY_COMPARE(m_window->size(), window);
}

void MainWindowTest::aWiderWindowWidensTheStatusLine() {
    auto* line = find<StatusLine>("lblStatusBar");
    const QRect designed = line->geometry();
    m_window->setStatus(kLongStatus.toStdString());
    const int narrowHeight = line->height();
    const int added = 400;
    m_window->resize(m_window->width() + added, m_window->height());
    QTRY_COMPARE(line->width(), designed.width() + added);
    QCOMPARE(line->x(), designed.x());
    QVERIFY(line->height() < narrowHeight);
    QCOMPARE(line->shownLines(line->width()).join(QString()), kLongStatus);
    QTRY_COMPARE(m_window->height(), m_window->minimumSizeHint().height());
}

void MainWindowTest::onlyAGarbledScanLosesItsMiddle() {
    auto* line = find<StatusLine>("lblStatusBar");
    QString garbled = QStringLiteral("Barcode Formating Error.  ");
    for (int n = 0; garbled.size() < 4000; ++n) {
        garbled += QString::number(n * 7919 % 10007, 36);
    }
    garbled += QStringLiteral(" END");
    line->setText(garbled); // the window would shorten it first
    const QStringList lines = line->shownLines(line->width());
    QCOMPARE(lines.size(), StatusLine::kMaxLines);
    const QString shown = lines.join(QString());
    QVERIFY(shown.startsWith(QStringLiteral("Barcode Formating Error.")));
    QVERIFY(shown.endsWith(QStringLiteral(" END")));
    QVERIFY(shown.contains(QStringLiteral("\u2026")));
    QCOMPARE(tipText(*line), garbled);
}

void MainWindowTest::besideTheWindowStatusAndMessagesGoToStandardError() {
    MainWindow attended(/*unattended=*/false);
    attended.show();
    const QString written = standardErrorOf([&] {
        attended.setPortText("COM1:9600,N,8,1");
        attended.setStatus("Reading Barcode-Label.FLANGE\r");
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->defaultButton()->click();
            }
        });
        attended.message("File QZT.INI Not Found", quorlan::platform::MessageIcon::Critical);
    });
    QCOMPARE(written, QStringLiteral("COM1:9600,N,8,1\n"
                                     "Reading Barcode-Label.FLANGE\\r\n"
                                     "Quorlan: File QZT.INI Not Found\n"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
