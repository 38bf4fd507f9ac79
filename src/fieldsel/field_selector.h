// What the scan path asks of automatic field selection: the default field, where the mirror
// decision comes from, the mirror trigger test and the choice of a machine field.
#pragma once

#include <cstdint>
#include <string>

namespace quorlan::fieldsel {

enum class MirrorSource : std::int16_t { ProgramName = 1, Comment = 2, Barcode = 3 };

// Modes of SelectMachineField.
namespace mode {
inline constexpr std::int16_t kNormal = 0;
inline constexpr std::int16_t kMirrored = 1;
inline constexpr std::int16_t kFieldCodeLabel = 6;
inline constexpr std::int16_t kExplicitField = 7;
inline constexpr std::int16_t kAlternating = 8;
} // namespace mode

class FieldSelector {
public:
    virtual ~FieldSelector() = default;

    // DFN's field code: the field a label gets that names none of its own.
    virtual std::string defaultField() = 0;
    virtual MirrorSource mirrorSource() = 0;

    // True: produce the part normal and mirrored. May set fieldCode to "W" or "P".
    virtual bool DetectMirrorTrigger(const std::string& programName, const std::string& programComment,
                                     std::string& fieldCode) = 0;
    // The chosen slot's field code in modes 0, 1, 8; empty in modes 6 and 7, which only record
    // the explicit field (whose first letter is taken from fieldCode).
    virtual std::string SelectMachineField(std::int16_t mode, float dimX, float dimY, const std::string& fieldCode) = 0;
};

} // namespace quorlan::fieldsel
