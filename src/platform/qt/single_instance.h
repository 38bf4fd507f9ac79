// The previous-instance test: a lock named after the program in the user's runtime folder.
// A lock left by a process that no longer runs is taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quorlan::platform {

class SingleInstance final {
public:
    enum class Outcome { First, AlreadyRunning, Unknown };

    // runtimeFolder: the user's runtime folder (settleRuntimeFolder); empty when there is none.
    SingleInstance(const QString& name, const QString& runtimeFolder);

    // Unknown: the lock could not be created (no runtime folder, no permission); why, in errorText().
    Outcome acquire();
    QString errorText() const { return m_errorText; }

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_path;
    QString m_errorText;
};

} // namespace quorlan::platform
