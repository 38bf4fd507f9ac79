// A recording stand-in for the main window.
#pragma once

#include "platform/view.h"

#include <array>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::testing {

struct RecordedMessage {
    std::string text;
    platform::MessageIcon icon;
    platform::MessageButtons buttons;
    std::string title;
};

class FakeView final : public platform::StationView {
public:
    void setStatus(const std::string& text) override {
        statusText = text;
        statusHistory.push_back(text);
    }
    std::string status() const override { return statusText; }
    void setPortText(const std::string& text) override { portText = text; }
    void setPartIndicator(int index, bool visible) override {
        partIndicators.at(static_cast<std::size_t>(index)) = visible;
    }
    void setFieldSelectionIndicator(bool visible) override { fieldSelectionIndicator = visible; }
    void setScanActivity(bool visible, const std::string& caption) override {
        scanActivityVisible = visible;
        scanActivityCaption = caption;
    }
    void setLastScan(const std::string& text) override { lastScan = text; }
    void setExclusionLabel(const std::optional<std::string>& caption) override { exclusionLabel = caption; }
    bool option(platform::Option option) const override {
        const auto it = options.find(option);
        return it != options.end() && it->second;
    }
    void setOption(platform::Option option, bool checked) override {
        if (this->option(option) != checked) {
            optionChanges.emplace_back(option, checked);
        }
        options[option] = checked;
    }
    void hideEditorOption() override { editorOptionHidden = true; }
    void setPollInterval(int milliseconds) override { pollInterval = milliseconds; }
    platform::MessageAnswer message(const std::string& text, platform::MessageIcon icon,
                                    platform::MessageButtons buttons, const std::string& title) override {
        messages.push_back({text, icon, buttons, title});
        if (!answers.empty()) {
            const auto answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == platform::MessageButtons::RetryCancel ? platform::MessageAnswer::Retry
                                                                : platform::MessageAnswer::Ok;
    }
    void beep() override { ++beeps; }

    bool anyPartIndicator() const {
        for (bool lit : partIndicators) {
            if (lit) {
                return true;
            }
        }
        return false;
    }

    std::string statusText = "Ready.";
    std::vector<std::string> statusHistory;
    std::string portText;
    std::array<bool, platform::kPartIndicatorCount> partIndicators{};
    bool fieldSelectionIndicator = false;
    bool scanActivityVisible = false;
    std::string scanActivityCaption;
    std::string lastScan;
    std::optional<std::string> exclusionLabel; // nothing: hidden
    std::map<platform::Option, bool> options;
    std::vector<std::pair<platform::Option, bool>> optionChanges;
    bool editorOptionHidden = false;
    int pollInterval = 1000;
    std::vector<RecordedMessage> messages;
    std::deque<platform::MessageAnswer> answers; // scripted answers; default button otherwise
    int beeps = 0;
};

} // namespace quorlan::testing
