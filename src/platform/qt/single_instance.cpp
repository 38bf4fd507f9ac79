#include "platform/qt/single_instance.h"

#include <QDir>

namespace quorlan::platform {

SingleInstance::SingleInstance(const QString& name, const QString& runtimeFolder) {
    if (runtimeFolder.isEmpty()) {
        m_errorText = QStringLiteral("there is no runtime folder for the lock file");
        return;
    }
    m_path = QDir(runtimeFolder).filePath(name + QStringLiteral(".lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // Only a dead owner makes a lock stale; a long run must not lose its lock to age.
    m_lock->setStaleLockTime(0);
}

SingleInstance::Outcome SingleInstance::acquire() {
    if (!m_lock) {
        return Outcome::Unknown;
    }
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
