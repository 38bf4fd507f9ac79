// The program editor driven for real: a private X server, xdotool, and a stand-in editor started
// from the editor's place on drive C by a site script. What the stand-in received is read back.
#include "cnc/program_editor.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "platform/qt/event_loop_pauser.h"
#include "platform/qt/xdotool_desktop.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <optional>

using quorlan::platform::XdotoolDesktop;

class XdotoolDesktopTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void editorReceivesOpenCommandNameAndTwoEnters();
    void missingEditorIsReportedOnce();

private:
    QString record() const;

    QProcess m_server;
    QString m_display;
    QString m_xdotool;
    std::optional<quorlan::testing::TempFolder> m_folder;
};

void XdotoolDesktopTest::initTestCase() {
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (m_xdotool.isEmpty() || xvfb.isEmpty()) {
        QSKIP("Xvfb or xdotool is not installed (Debian packages xvfb, xdotool); no X server to drive an editor on");
    }
    // The server picks a free display and writes its number to standard output.
    m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("800x600x24")});
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000)) {
        number += m_server.readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        m_server.kill();
        m_server.waitForFinished();
        QSKIP(qPrintable(QStringLiteral("no X server could be started: %1")
                             .arg(QString::fromLocal8Bit(m_server.readAllStandardError()).trimmed())));
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    m_folder.emplace();
}

void XdotoolDesktopTest::cleanupTestCase() {
    // The stand-in ends with its X server.
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
}

QString XdotoolDesktopTest::record() const {
    QFile file(QString::fromStdString(m_folder->path("received.txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void XdotoolDesktopTest::editorReceivesOpenCommandNameAndTwoEnters() {
    // A site may put a script at the editor's place that starts its editor; exec keeps the task.
    const std::string script = m_folder->write("c/koridan/bin/Varneto.exe", "#!/bin/sh\nexec '" STAND_IN_EDITOR "' '" +
                                                                                m_folder->path("received.txt") + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const quorlan::platform::PathMapper paths([this](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(m_folder->path("c")) : std::nullopt;
    });
    XdotoolDesktop desktop(m_display, m_xdotool);
    quorlan::testing::FakeView view;
    quorlan::platform::EventLoopPauser pauser;
    quorlan::cnc::ProgramEditor editor(desktop, view, pauser, paths);

    editor.LaunchEditor("A+B(1).CNC");
    const QString first = QStringLiteral("<Start><Ctrl+O>A+B(1).CNC<Enter><Enter>");
    QTRY_COMPARE_WITH_TIMEOUT(record(), first, 10000);

    // The running editor is driven again, not started a second time.
    editor.LaunchEditor("{x} ^%~[1].CNC");
    QTRY_COMPARE_WITH_TIMEOUT(record(), first + QStringLiteral("<Ctrl+O>{x} ^%~[1].CNC<Enter><Enter>"), 10000);
    QVERIFY(view.messages.empty());
}

void XdotoolDesktopTest::missingEditorIsReportedOnce() {
    quorlan::testing::TempFolder empty;
    const quorlan::platform::PathMapper paths([&empty](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(empty.path()) : std::nullopt;
    });
    XdotoolDesktop desktop(m_display, m_xdotool);
    quorlan::testing::FakeView view;
    quorlan::platform::EventLoopPauser pauser;
    quorlan::cnc::ProgramEditor editor(desktop, view, pauser, paths);
    editor.LaunchEditor("A.CNC");
    editor.LaunchEditor("B.CNC");
    QCOMPARE(view.messages.size(), std::size_t{1});
    QCOMPARE(view.messages[0].title, std::string("Error:  Unable to launch Editor"));
}

QTEST_MAIN(XdotoolDesktopTest)
#include "xdotool_desktop_test.moc"
