// Why a serial device refused to open with a permission error: a user outside the dialout group,
// another program holding the device, or a lock file left by a program that has ended.
#pragma once

#include "platform/error.h"

#include <QStringList>
#include <string>

namespace quorlan::platform {

// The lock-file folders the serial library uses, in its order of preference.
QStringList defaultLockFolders();

StationError diagnosePermissionFailure(const std::string& device, const QStringList& lockFolders);

} // namespace quorlan::platform
