// The desktop on Linux: programs are started with QProcess, detached so that an editor outlives
// the station; windows and keystrokes go through xdotool on the X display. Without a display or
// without the tool, nothing can be driven and unavailableReason() says why.
#pragma once

#include "platform/desktop.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quorlan::platform {

class XdotoolDesktop final : public Desktop {
public:
    // display: the X display to work on; xdotool: the tool's path, empty when it is not installed.
    XdotoolDesktop(const QString& display, QString xdotool);
    // The process's own display and the xdotool found on the PATH.
    XdotoolDesktop();

    std::optional<std::string> unavailableReason() const override;
    TaskId startProgram(const std::string& localPath) override;
    bool isRunning(TaskId task) override;
    void activate(TaskId task) override;
    WindowHandle activeWindow() override;
    void makeTopmost(WindowHandle window) override;
    void typeText(const std::string& text) override;
    void pressKey(Key key) override;

private:
    // xdotool's standard output; StationError when it fails or does not finish in time.
    QByteArray run(const QStringList& arguments, int timeoutMilliseconds = 3000) const;
    WindowHandle windowOf(TaskId task) const;

    std::optional<std::string> m_unavailable;
    QString m_xdotool;
    QProcessEnvironment m_environment; // this process's, on the display given
};

} // namespace quorlan::platform
