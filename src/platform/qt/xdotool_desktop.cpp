#include "platform/qt/xdotool_desktop.h"

#include "platform/error.h"
#include "platform/qt/cp1252.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace quorlan::platform {

namespace {

// A program just started needs a moment before its window is mapped.
constexpr int kWindowWaitMilliseconds = 2000;
constexpr int kWindowPollMilliseconds = 50;
// Between two typed characters; some programs lose keys that come faster.
constexpr int kTypingDelayMilliseconds = 4;

WindowHandle windowNumber(const QByteArray& text) {
    bool ok = false;
    const WindowHandle window = text.trimmed().toULongLong(&ok);
    if (!ok || window == 0) {
        throw StationError(errc::kInvalidCall);
    }
    return window;
}

} // namespace

XdotoolDesktop::XdotoolDesktop(const QString& display, QString xdotool) : m_xdotool(std::move(xdotool)) {
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("DISPLAY"), display);
    if (display.isEmpty()) {
        m_unavailable = "No X display: the program is not shown in the editor.";
    } else if (m_xdotool.isEmpty()) {
        m_unavailable = "xdotool is not installed: the program is not shown in the editor.";
    }
}

XdotoolDesktop::XdotoolDesktop()
    : XdotoolDesktop(qEnvironmentVariable("DISPLAY"), QStandardPaths::findExecutable(QStringLiteral("xdotool"))) {}

std::optional<std::string> XdotoolDesktop::unavailableReason() const {
    return m_unavailable;
}

QByteArray XdotoolDesktop::run(const QStringList& arguments, int timeoutMilliseconds) const {
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(m_xdotool, arguments);
    if (!process.waitForFinished(timeoutMilliseconds)) {
        process.kill();
        process.waitForFinished();
        throw StationError(errc::kInvalidCall);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        throw StationError(errc::kInvalidCall);
    }
    return process.readAllStandardOutput();
}

TaskId XdotoolDesktop::startProgram(const std::string& localPath) {
    const QString program = QFile::decodeName(QByteArray::fromStdString(localPath));
    const QFileInfo file(program);
    if (!file.isFile()) {
        throw StationError(errc::kFileNotFound);
    }
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(file.absolutePath());
    process.setProcessEnvironment(m_environment);
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0) {
        throw StationError(errc::kFileNotFound);
    }
    return pid;
}

// A detached program is reaped by the system, so an ended one is gone from /proc or, briefly, a zombie.
bool XdotoolDesktop::isRunning(TaskId task) {
    if (task <= 0) {
        return false;
    }
    QFile stat(QStringLiteral("/proc/%1/stat").arg(task));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    const qsizetype nameEnd = line.lastIndexOf(')');
    if (nameEnd < 0 || nameEnd + 2 >= line.size()) {
        throw StationError(errc::kInvalidCall);
    }
    const char state = line.at(nameEnd + 2);
    return state != 'Z' && state != 'X';
}

WindowHandle XdotoolDesktop::windowOf(TaskId task) const {
    if (task <= 0) {
        throw StationError(errc::kInvalidCall);
    }
    QElapsedTimer waited;
    waited.start();
    while (true) {
        try {
            // The last one listed is the most recently mapped: the program's main window.
            const QList<QByteArray> windows = run({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                   QStringLiteral("--pid"), QString::number(task)})
                                                  .trimmed()
                                                  .split('\n');
            return windowNumber(windows.back());
        } catch (const StationError&) {
            if (waited.elapsed() >= kWindowWaitMilliseconds) {
                throw;
            }
        }
        QThread::msleep(kWindowPollMilliseconds);
    }
}

void XdotoolDesktop::activate(TaskId task) {
    const QString window = QString::number(windowOf(task));
    try {
        run({QStringLiteral("windowactivate"), window});
    } catch (const StationError&) {
        // Without a window manager there is no activation, only the keyboard focus.
        run({QStringLiteral("windowfocus"), window});
    }
}

WindowHandle XdotoolDesktop::activeWindow() {
    try {
        return windowNumber(run({QStringLiteral("getactivewindow")}));
    } catch (const StationError&) {
        return windowNumber(run({QStringLiteral("getwindowfocus")}));
    }
}

// xdotool as Debian ships it cannot set a window's stacking state; raising it is the nearest.
void XdotoolDesktop::makeTopmost(WindowHandle window) {
    if (window == 0) {
        throw StationError(errc::kInvalidCall);
    }
    run({QStringLiteral("windowraise"), QString::number(window)});
}

void XdotoolDesktop::typeText(const std::string& text) {
    const QString characters = fromCp1252(text);
    const int timeout = 3000 + static_cast<int>(characters.size()) * kTypingDelayMilliseconds * 4;
    // After "--" nothing is an option, not even a name that begins with "-".
    run({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(kTypingDelayMilliseconds),
         QStringLiteral("--"), characters},
        timeout);
}

void XdotoolDesktop::pressKey(Key key) {
    const QString name = key == Key::CtrlO ? QStringLiteral("ctrl+o") : QStringLiteral("Return");
    run({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), name});
}

} // namespace quorlan::platform
