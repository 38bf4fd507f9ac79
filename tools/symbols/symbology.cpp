#include "symbology.h"

#include <array>
#include <utility>

namespace quorlan::symbols {

namespace {

constexpr std::array<std::pair<Symbology, std::string_view>, 4> kNames = {{
    {Symbology::Code128, "code128"},
    {Symbology::QRCode, "qr"},
    {Symbology::DataMatrix, "datamatrix"},
    {Symbology::PDF417, "pdf417"},
}};

} // namespace

std::string_view nameOf(Symbology symbology) {
    for (const auto& [known, name] : kNames) {
        if (known == symbology) {
            return name;
        }
    }
    return {};
}

std::optional<Symbology> symbologyNamed(std::string_view name) {
    for (const auto& [known, knownName] : kNames) {
        if (knownName == name) {
            return known;
        }
    }
    return std::nullopt;
}

std::string twoDimensionalNames() {
    return "qr, datamatrix or pdf417";
}

} // namespace quorlan::symbols
