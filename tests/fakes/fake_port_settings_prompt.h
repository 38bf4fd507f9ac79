// The settings dialog asked after a port failed to open: it answers with the test's choices in
// turn, then as if cancelled.
#pragma once

#include "shell/station.h"

#include <optional>
#include <vector>

namespace quorlan::testing {

class FakePortSettingsPrompt final : public shell::PortSettingsPrompt {
public:
    std::optional<config::CommChoice> askPortSettings(const config::StationSettings&) override {
        ++asked;
        if (choices.empty()) {
            return std::nullopt;
        }
        auto choice = choices.front();
        choices.erase(choices.begin());
        return choice;
    }

    std::vector<config::CommChoice> choices;
    int asked = 0;
};

} // namespace quorlan::testing
