// The station's start: the platform's adapters, the control simulator, the station's logic and
// its window, put together for one run.
#include "cnc/qt/work_list_window.h"
#include "cnc/simulator.h"
#include "platform/error.h"
#include "platform/path_mapper.h"
#include "platform/qt/cp1252.h"
#include "platform/qt/event_loop_pauser.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/single_instance.h"
#include "shell/qt/launch_options.h"
#include "shell/qt/main_window.h"
#include "shell/qt/station_binding.h"
#include "shell/station.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>

namespace {

using namespace quorlan;

// Without any display the station still runs, on Qt's offscreen platform.
void chooseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

void warn(const QString& text) {
    const QByteArray line = QStringLiteral("Quorlan: %1\n").arg(text).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

// Folders reach the logic as the file system's own bytes, so files in them can be opened.
std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

shell::HostFolders hostFolders() {
    QString windowsDirectory = qEnvironmentVariable("QUORLAN_WINDIR");
    if (windowsDirectory.isEmpty()) {
        windowsDirectory = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                               .filePath(QStringLiteral("quorlan"));
    }
    return {localPath(QCoreApplication::applicationDirPath()), localPath(windowsDirectory)};
}

// The previous-instance test; false when another station runs.
bool firstInstance(platform::SingleInstance& instance, shell::MainWindow& window) {
    switch (instance.acquire()) {
    case platform::SingleInstance::Outcome::AlreadyRunning:
        window.message("the BarCode Program is already running!", platform::MessageIcon::Exclamation);
        return false;
    case platform::SingleInstance::Outcome::Unknown:
        warn(QStringLiteral("the test for another running station failed (%1); starting anyway")
                 .arg(instance.errorText()));
        return true;
    case platform::SingleInstance::Outcome::First:
        break;
    }
    return true;
}

void attachJournal(cnc::Simulator& simulator, const QString& path, shell::MainWindow& window) {
    if (path.isEmpty()) {
        return;
    }
    window.guarded([&] { simulator.setJournal(cnc::makeFileJournal(localPath(path))); });
}

} // namespace

int main(int argc, char* argv[]) {
    chooseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorlan"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const shell::LaunchOptions launch =
        shell::parseLaunchOptions(arguments, qEnvironmentVariable("QUORLAN_CNC_JOURNAL"));
    for (const QString& problem : launch.problems) {
        warn(problem);
    }

    shell::MainWindow window(launch.unattended);
    platform::SingleInstance instance(QStringLiteral("BarCode"));
    if (!firstInstance(instance, window)) {
        return 1;
    }

    platform::EventLoopPauser pauser;
    platform::QtSerialPort port;
    const platform::PathMapper paths;
    cnc::Simulator simulator(paths);
    attachJournal(simulator, launch.cncJournal, window);
    cnc::WorkListWindow workList(simulator);
    shell::SettingsDialogPrompt prompt(window, port);
    shell::Station station(window, pauser, port, simulator, prompt, paths, hostFolders(),
                           {platform::toCp1252(launch.commandLine), launch.listTimeout});
    port.setDeviceLookup([&station](int number) { return station.deviceForPort(number); });
    window.setActions(shell::stationActions(station, prompt));

    bool started = true;
    window.guarded([&] { started = station.start(); });
    if (!started) {
        return 1;
    }
    window.show();
    // The real control keeps its list on screen beside the station; the demo shows the same.
    if (launch.showWorkList) {
        workList.show();
    }
    return QApplication::exec();
}
