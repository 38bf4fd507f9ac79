// A scripted field selector: the default field, the trigger's answer and the automatic choice per
// mode are the test's; the calls are recorded.
#pragma once

#include "fieldsel/field_selector.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::testing {

class FakeFieldSelector final : public fieldsel::FieldSelector {
public:
    struct Call {
        std::int16_t mode;
        float x;
        std::string fieldCode;
    };

    std::string defaultField() override { return defaultFieldCode; }
    fieldsel::MirrorSource mirrorSource() override { return source; }
    bool DetectMirrorTrigger(const std::string&, const std::string& comment, std::string& fieldCode) override {
        triggerComments.push_back(comment);
        fieldCode = triggerSetsField.value_or(fieldCode);
        return normalAndMirrored;
    }
    std::string SelectMachineField(std::int16_t mode, float x, float, const std::string& fieldCode) override {
        calls.push_back({mode, x, fieldCode});
        return automaticChoice[mode];
    }

    std::string defaultFieldCode;
    fieldsel::MirrorSource source = fieldsel::MirrorSource::Barcode;
    std::optional<std::string> triggerSetsField;
    bool normalAndMirrored = false;
    std::map<std::int16_t, std::string> automaticChoice{{0, "S1"}, {1, "A1"}, {8, "T1"}};
    std::vector<Call> calls;
    std::vector<std::string> triggerComments;
};

} // namespace quorlan::testing
