// The symbologies the labels are printed in, by the names the command lines use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorlan::symbols {

enum class Symbology { Code128, QRCode, DataMatrix, PDF417 };

// "code128", "qr", "datamatrix", "pdf417"
std::string_view nameOf(Symbology symbology);
// Nothing for a name that is none of them.
std::optional<Symbology> symbologyNamed(std::string_view name);
// "qr, datamatrix or pdf417": for messages.
std::string twoDimensionalNames();

} // namespace quorlan::symbols
