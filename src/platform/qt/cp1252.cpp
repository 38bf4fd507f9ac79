#include "platform/qt/cp1252.h"

#include "platform/text.h"

#include <QList>

namespace quorlan::platform {

namespace {

char16_t decode(unsigned char byte) {
    return static_cast<char16_t>(cp1252CodePoint(byte));
}

char encode(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<char>(codePoint);
    }
    for (unsigned byte = 0x80; byte <= 0x9F; ++byte) {
        if (cp1252CodePoint(static_cast<unsigned char>(byte)) == codePoint) {
            return static_cast<char>(byte);
        }
    }
    return '?';
}

} // namespace

QString fromCp1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        text.append(QChar(decode(static_cast<unsigned char>(byte))));
    }
    return text;
}

std::string toCp1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t codePoint : text.toUcs4()) {
        bytes.push_back(encode(codePoint));
    }
    return bytes;
}

} // namespace quorlan::platform
