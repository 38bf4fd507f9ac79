// The one place where the core's Windows-1252 bytes meet Qt's Unicode text (the codec is
// platform/cp1252.h).
#pragma once

#include <QString>
#include <string>

namespace quorlan::platform {

QString fromCp1252(const std::string& bytes);
// Characters the code page cannot hold become '?'.
std::string toCp1252(const QString& text);

} // namespace quorlan::platform
