#include "platform/qt/cp1252.h"

#include "platform/cp1252.h"

#include <QList>

namespace quorlan::platform {

QString fromCp1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        // Every character of the code page is in the Basic Multilingual Plane: one UTF-16 unit.
        text.append(QChar(static_cast<char16_t>(cp1252CodePoint(static_cast<unsigned char>(byte)))));
    }
    return text;
}

std::string toCp1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t codePoint : text.toUcs4()) {
        bytes.push_back(cp1252Byte(codePoint).value_or('?'));
    }
    return bytes;
}

} // namespace quorlan::platform
