// The whole station with its real window, serial adapter and simulated control, the scanner on a
// pseudo-terminal: what the field-selection dialog confirms decides the very next scan's field.
#include "cnc/simulator.h"
#include "fakes/fake_desktop.h"
#include "fieldsel/qt/macflds_dialog.h"
#include "platform/ini_file.h"
#include "scan/label_state.h"
#include "shell/qt/main_window.h"
#include "shell/qt/station_binding.h"
#include "shell/station.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace quorlan;

class AutoFieldSelectTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void confirmedEditsDecideTheNextScansField();

private:
    QString path(const QString& relative) const { return m_root.filePath(relative); }
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    void scan(const QByteArray& label) const;
    // The field-code item of the list's last row.
    QString lastFieldItem() const;
    void closeUnexpectedMessages();

    QTemporaryDir m_root;
    QProcess m_socat;
    int m_scanner = -1;
    QTimer m_watchdog;
    QStringList m_unexpected;
    std::unique_ptr<cnc::Simulator> m_simulator;
};

void AutoFieldSelectTest::init() {
    QVERIFY(m_root.isValid());
    for (const char* folder : {"windows", "program", "drive_c/PROGS", "drive_c/CSV", "drive_c/OUT"}) {
        QVERIFY(QDir().mkpath(path(QString::fromLatin1(folder))));
    }
    m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + path(QStringLiteral("station")),
                                            QStringLiteral("pty,raw,echo=0,link=") + path(QStringLiteral("scanner"))});
    QVERIFY(m_socat.waitForStarted());
    QTRY_VERIFY(QFile::exists(path(QStringLiteral("station"))) && QFile::exists(path(QStringLiteral("scanner"))));
    m_scanner = ::open(QFile::encodeName(path(QStringLiteral("scanner"))).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(m_scanner >= 0);
    // A message box nobody answers would hang the test: each one is closed and counts as a failure.
    connect(&m_watchdog, &QTimer::timeout, this, &AutoFieldSelectTest::closeUnexpectedMessages);
    m_watchdog.start(200);
}

void AutoFieldSelectTest::cleanup() {
    m_watchdog.stop();
    m_simulator.reset();
    if (m_scanner >= 0) {
        ::close(m_scanner);
        m_scanner = -1;
    }
    m_socat.terminate();
    m_socat.waitForFinished();
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(QStringLiteral("; "))));
}

void AutoFieldSelectTest::closeUnexpectedMessages() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_unexpected.append(box->text());
        box->reject();
    }
}

void AutoFieldSelectTest::writeFile(const QString& relative, const QByteArray& bytes) const {
    QFile file(path(relative));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void AutoFieldSelectTest::scan(const QByteArray& label) const {
    QCOMPARE(::write(m_scanner, label.constData(), static_cast<std::size_t>(label.size())), label.size());
}

QString AutoFieldSelectTest::lastFieldItem() const {
    const std::string& row = m_simulator->rows().back();
    const auto start = row.find("#171=");
    return QString::fromStdString(row.substr(start, row.find(';', start) - start));
}

void AutoFieldSelectTest::confirmedEditsDecideTheNextScansField() {
    writeFile(QStringLiteral("drive_c/PROGS/FLANGE.CNC"), "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n");
    // Source "Program Name", mode "Mirror", trigger "X" from the left at position 1; the
    // full-length field, normal and mirrored, is all the table offers.
    writeFile(QStringLiteral("windows/QZT.INI"), "[KORVALDE]\r\nSettings=9600,N,8,1\r\nCommPort=1\r\nCommDevice1=" +
                                                     QFile::encodeName(path(QStringLiteral("station"))) +
                                                     "\r\nCommPollTime=100\r\nGCodePath=C:\\PROGS\\\r\n"
                                                     "CSVInPath=C:\\CSV\\\r\nCSVOutPath=C:\\OUT\\Quorlan.csv\r\n"
                                                     "AutoStart= 0\r\nAutoClear= 0\r\nAutoSelSetting=1\r\n"
                                                     "PNameMSel=1\r\nPNameMirrorLR=-1\r\nPNameMirrorCPos=1\r\n"
                                                     "PNameMirrorText=X\r\nFieldCode_SFN=N\r\nFieldCode_SFM=M\r\n");
    const std::string drive = path(QStringLiteral("drive_c")).toStdString();
    const std::string data = path(QStringLiteral("data")).toStdString();
    const platform::PathMapper paths([drive, data](const std::string& name) -> std::optional<std::string> {
        if (name == "QUORLAN_DRIVE_C") {
            return drive;
        }
        if (name == "XDG_DATA_HOME") {
            return data;
        }
        return std::nullopt;
    });
    shell::MainWindow window(/*unattended=*/false);
    m_simulator = std::make_unique<cnc::Simulator>(paths);
    testing::FakeDesktop desktop;
    shell::StationAssembly assembly(
        window, *m_simulator, paths, desktop,
        {path(QStringLiteral("program")).toStdString(), path(QStringLiteral("windows")).toStdString()},
        {"NOAPP", std::chrono::seconds(5)});
    fieldsel::MacFldsHost& host = assembly.fieldSelection();
    QVERIFY(assembly.station().start());
    window.show();
    QVERIFY(host.dialog() == nullptr);

    const scan::FieldCodeTable fieldCodes;
    const auto fieldItem = [&](const char* code) { return QStringLiteral("#171=%1").arg(fieldCodes.positionOf(code)); };
    scan("FLANGE");
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator->rows().size(), std::size_t{1}, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(window.status()), QStringLiteral("Ready."), 10000);
    QCOMPARE(lastFieldItem(), fieldItem("N"));
    // The scan came first: the dialog exists, hidden, holding the settings the scan used.
    QPointer<fieldsel::MacFlds> dialog = host.dialog();
    QVERIFY(dialog != nullptr);
    QVERIFY(!dialog->isVisible());

    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(QApplication::activeModalWidget() == dialog);
        auto* trigger = dialog->findChild<QLineEdit*>(QStringLiteral("MSpec"));
        trigger->setFocus();
        trigger->selectAll();
        QTest::keyClicks(trigger, QStringLiteral("f"));
        dialog->findChild<QTabWidget*>(QStringLiteral("SSTab"))->setCurrentIndex(1);
        auto* mirrored = dialog->findChild<QLineEdit*>(QStringLiteral("SFM"));
        mirrored->setFocus();
        mirrored->selectAll();
        QTest::keyClicks(mirrored, QStringLiteral("M1"));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
        driven = true;
    });
    window.findChild<QAction*>(QStringLiteral("MnuAutoFld"))->trigger(); // modal until OK
    QVERIFY(driven);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(QString::fromStdString(platform::getPrivateProfileString(
                 "KORVALDE", "PNameMirrorText", "", 80, path(QStringLiteral("windows/QZT.INI")).toStdString())),
             QStringLiteral("f"));

    scan("FLANGE");
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator->rows().size(), std::size_t{2}, 10000);
    QCOMPARE(lastFieldItem(), fieldItem("M1"));

    window.close(); // unloads the dialog with the window
    QVERIFY(dialog.isNull());
}

QTEST_MAIN(AutoFieldSelectTest)
#include "auto_field_select_test.moc"
