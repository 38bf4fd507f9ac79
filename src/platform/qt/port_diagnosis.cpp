#include "platform/qt/port_diagnosis.h"

#include "platform/device_access.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace quorlan::platform {

namespace {

// The serial library names its lock after the device path without "/dev/", slashes as '_'.
QString lockFileName(const QString& device) {
    QString name = device.startsWith(QStringLiteral("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QString findLockFile(const QString& device, const QStringList& lockFolders) {
    for (const QString& folder : lockFolders) {
        const QString path = QDir(folder).filePath(lockFileName(device));
        if (QFile::exists(path)) {
            return path;
        }
    }
    return {};
}

// Both lock formats in use (the library's and the UUCP one) begin with the owner's process id.
qint64 lockOwner(const QString& lockPath) {
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return file.readLine(64).trimmed().toLongLong();
}

bool processRunning(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string text(const QString& value) {
    return value.toLocal8Bit().toStdString();
}

} // namespace

QStringList defaultLockFolders() {
    return {QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),   QStringLiteral("/tmp"),       QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
}

StationError diagnosePermissionFailure(const std::string& device, const QStringList& lockFolders) {
    DeviceAccess access;
    if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES && readDeviceAccess(device, access)) {
        return StationError(errc::kPermissionDenied, permissionHint(access));
    }
    const QString lockPath = findLockFile(QString::fromLocal8Bit(device), lockFolders);
    if (lockPath.isEmpty()) {
        return StationError(errc::kPortAlreadyOpen, "Port already open: " + device + " is in use by another program");
    }
    const qint64 owner = lockOwner(lockPath);
    if (processRunning(owner)) {
        return StationError(errc::kPortAlreadyOpen, "Port already open: " + device + " is in use by process " +
                                                        std::to_string(owner) + " (lock file " + text(lockPath) + ")");
    }
    return StationError(errc::kPortAlreadyOpen, "Port locked: the lock file " + text(lockPath) +
                                                    " is left by a program that has ended; remove it");
}

} // namespace quorlan::platform
