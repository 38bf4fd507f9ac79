// The station's start: the platform's adapters, the control, the station's logic and
// its window, put together for one run.
#include "cnc/control_key.h"
#include "cnc/qt/test_console.h"
#include "config/configuration.h"
#include "config/station_settings.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/path_mapper.h"
#include "platform/qt/cp1252.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "platform/qt/xdotool_desktop.h"
#include "platform/runtime_folder.h"
#include "shell/history_export.h"
#include "shell/qt/app_icon.h"
#include "shell/qt/launch_options.h"
#include "shell/qt/main_window.h"
#include "shell/qt/station_binding.h"
#include "shell/qt/station_control.h"
#include "shell/station.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <optional>

namespace {

using namespace quorlan;

// Without any display the station still runs, on Qt's offscreen platform.
void chooseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void warn(const QString& text) {
    print(stderr, QStringLiteral("Quorlan: %1\n").arg(text));
}

// Folders reach the logic as the file system's own bytes, so files in them can be opened.
std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

int writeNewControlKey(const QString& file) {
    try {
        cnc::writeNewControlKey(localPath(file));
    } catch (const platform::StationError& error) {
        print(stderr,
              QStringLiteral("quorlan: no new control key: %1\n").arg(QString::fromStdString(error.description())));
        return 1;
    }
    print(stdout, QStringLiteral("A new control key is in %1, readable by you alone.\n").arg(file));
    return 0;
}

// --help, --version, --new-control-key and unreadable arguments end the program before a station
// starts.
std::optional<int> answerWithoutStarting(const shell::LaunchOptions& launch) {
    switch (launch.action) {
    case shell::LaunchAction::Help:
        print(stdout, shell::launchHelp());
        return 0;
    case shell::LaunchAction::Version:
        print(stdout, QStringLiteral("Quorlan " QUORLAN_VERSION "\n"));
        return 0;
    case shell::LaunchAction::NewControlKey:
        return writeNewControlKey(launch.newControlKeyFile);
    case shell::LaunchAction::UsageError:
        print(stderr, QStringLiteral("quorlan: %1\n%2\nTry 'quorlan --help' for more information.\n")
                          .arg(launch.usageError, shell::launchUsage()));
        return 2;
    case shell::LaunchAction::Run:
    case shell::LaunchAction::HistoryExport:
        break;
    }
    return std::nullopt;
}

// Qt's offscreen and minimal platforms show nothing, so nobody could answer a dialog there.
bool withoutDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

shell::HostFolders hostFolders() {
    QString windowsDirectory = qEnvironmentVariable("QUORLAN_WINDIR");
    if (windowsDirectory.isEmpty()) {
        windowsDirectory = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                               .filePath(QStringLiteral("quorlan"));
    }
    return {localPath(QCoreApplication::applicationDirPath()), localPath(windowsDirectory)};
}

// Reads only: it neither waits for nor disturbs a station that runs meanwhile.
int exportHistory(const shell::LaunchOptions& launch, const shell::HostFolders& folders) {
    const platform::PathMapper paths;
    const auto result =
        shell::exportHistory({localPath(launch.historyFile), launch.historySince, launch.historyUntil}, folders, paths);
    print(result.exitCode == 0 ? stdout : stderr, (result.exitCode == 0 ? QString() : QStringLiteral("quorlan: ")) +
                                                      QString::fromStdString(result.message) + QLatin1Char('\n'));
    return result.exitCode;
}

// The settings-file message names no folder; an installer needs to know where to put one.
void tellWhereSettingsWereSought(const shell::HostFolders& folders) {
    const QString windows = QFile::decodeName(folders.windowsDirectory.c_str());
    warn(QStringLiteral("QZT.INI was looked for in the program folder %1, then in %2 (%3); the first setting "
                        "changed is written to %4")
             .arg(QFile::decodeName(folders.programFolder.c_str()), windows,
                  qEnvironmentVariableIsEmpty("QUORLAN_WINDIR") ? QStringLiteral("$XDG_CONFIG_HOME/quorlan")
                                                                : QStringLiteral("$QUORLAN_WINDIR"),
                  QDir(windows).filePath(QStringLiteral("QZT.INI"))));
}

// Where the control is and the key for it, from the settings file as far as the command line does
// not say; the rest of the settings is read as the station starts.
QString takeControlSettings(shell::LaunchOptions& launch, const shell::HostFolders& folders,
                            const platform::PathMapper& paths) {
    const auto ini = config::settingsFileLocation(paths, folders.programFolder, folders.windowsDirectory);
    if (!ini) {
        return {};
    }
    platform::IniFileSection section(paths.toLocal(*ini), config::kSection);
    const auto read = [&section](const char* key) { return platform::fromCp1252(section.getString(key, "", 1024)); };
    const QString keyFile = read("ControlKeyFile");
    return shell::takeControlSettings(
        launch, read("ControlAddress"),
        keyFile.isEmpty() ? keyFile
                          : QFile::decodeName(paths.toLocal(QFile::encodeName(keyFile).toStdString()).c_str()));
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

} // namespace

int main(int argc, char* argv[]) {
    chooseOffscreenWithoutDisplay();
    const platform::RuntimeFolder runtime = platform::settleRuntimeFolder();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorlan"));
    QApplication::setWindowIcon(shell::applicationIcon());
    // Lets the desktop match the windows to the installed quorlan.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorlan"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    shell::LaunchOptions launch = shell::parseLaunchOptions(arguments, qEnvironmentVariable("QUORLAN_CNC_JOURNAL"));
    if (const auto exitCode = answerWithoutStarting(launch)) {
        return *exitCode;
    }
    if (launch.action == shell::LaunchAction::HistoryExport) {
        return exportHistory(launch, hostFolders());
    }
    if (!launch.unattended && withoutDisplay()) {
        launch.unattended = true;
        warn(QStringLiteral("no display: running unattended (message boxes go to standard error, status lines to "
                            "standard output)"));
    }
    if (!runtime.problem.empty()) {
        warn(QString::fromStdString(runtime.problem));
    }
    for (const QString& problem : launch.problems) {
        warn(problem);
    }

    shell::MainWindow window(launch.unattended);
    // Ended from outside (Ctrl+C, a service stop, a closed terminal), the station shuts down as
    // its close box does. The handlers are in place from here on, so an early signal cannot kill
    // the station with its port locked; one that comes during start-up is acted on after it, so
    // that the shutdown never runs in the middle of it.
    platform::TerminationSignals termination;
    bool running = false;
    bool endRequested = false;
    QObject::connect(&termination, &platform::TerminationSignals::requested, &window, [&] {
        endRequested = true;
        if (running) {
            window.close();
            QApplication::quit();
        }
    });
    platform::SingleInstance instance(QStringLiteral("BarCode"), QFile::decodeName(runtime.path.c_str()));
    if (!firstInstance(instance, window)) {
        return 1;
    }

    const platform::PathMapper paths;
    const shell::HostFolders folders = hostFolders();
    if (const QString problem = takeControlSettings(launch, folders, paths); !problem.isEmpty()) {
        window.message(platform::toCp1252(problem), platform::MessageIcon::Critical);
        return 2;
    }
    shell::StationControl control(launch, paths, window);
    platform::XdotoolDesktop desktop;
    const std::string controlAddress =
        !launch.cncHost.isEmpty()
            ? "tcp:" + launch.cncHost.toStdString() + ":" + std::to_string(launch.cncPort)
            : (launch.cncServer.isEmpty() ? std::string("built-in") : "local:" + launch.cncServer.toStdString());
    shell::StationAssembly assembly(window, control.factory(), paths, desktop, folders,
                                    {platform::toCp1252(launch.commandLine), launch.listTimeout, controlAddress});
    shell::Station& station = assembly.station();
    control.setReachabilityObserver(
        [&station](bool reachable, const std::string& why) { station.controlReachable(reachable, why); });

    bool started = true;
    window.guarded([&] { started = station.start(); });
    if (station.settings().IniFilePath.empty()) {
        tellWhereSettingsWereSought(folders);
    }
    if (!started) {
        return 1;
    }
    window.show();
    // The real control keeps its list on screen beside the station; the demo shows the same.
    if (launch.showWorkList) {
        control.showList();
    }
    // No menu opens the console: it is there for whoever exercises the control by hand.
    std::optional<cnc::FrmTest> console;
    if (launch.testConsole) {
        console.emplace(station.workList().application(), control.factory(), window, paths);
        console->show();
    }
    if (endRequested) {
        window.close();
        return 0;
    }
    running = true;
    return QApplication::exec();
}
