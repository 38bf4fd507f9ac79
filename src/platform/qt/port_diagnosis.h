// Why a serial device refused to open with a permission error: a user who may not open the device
// (platform/device_access.h says why), another program holding it, or a lock file left by a
// program that has ended.
#pragma once

#include "platform/error.h"

#include <QStringList>
#include <string>

namespace quorlan::platform {

// The lock-file folders the serial library uses, in its order of preference.
QStringList defaultLockFolders();

StationError diagnosePermissionFailure(const std::string& device, const QStringList& lockFolders);

} // namespace quorlan::platform
