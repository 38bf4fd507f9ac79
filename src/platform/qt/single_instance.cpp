#include "platform/qt/single_instance.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace quorlan::platform {

namespace {

// $XDG_RUNTIME_DIR, else a private folder of this user's under the temporary folder.
QString userRuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        return runtime;
    }
    const QString folder = QDir::temp().filePath(QStringLiteral("quorlan-runtime-%1").arg(::getuid()));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, const QString& runtimeFolder) {
    const QString folder = runtimeFolder.isEmpty() ? userRuntimeFolder() : runtimeFolder;
    m_path = QDir(folder).filePath(name + QStringLiteral(".lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // Only a dead owner makes a lock stale; a long run must not lose its lock to age.
    m_lock->setStaleLockTime(0);
}

SingleInstance::Outcome SingleInstance::acquire() {
    if (m_lock->tryLock(0)) {
        return Outcome::First;
    }
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        return Outcome::AlreadyRunning;
    case QLockFile::PermissionError:
        m_errorText = QStringLiteral("cannot create the lock file %1: permission denied").arg(m_path);
        return Outcome::Unknown;
    default:
        m_errorText = QStringLiteral("cannot create the lock file %1").arg(m_path);
        return Outcome::Unknown;
    }
}

} // namespace quorlan::platform
