// The narrow window interface through which the logic talks to the operator. The main window
// implements it with widgets; tests implement it with a recorder.
#pragma once

#include <optional>
#include <string>

namespace quorlan::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, RetryCancel };
enum class MessageAnswer { Ok, Cancel, Retry };

// The main window's option check boxes, the live copy of their settings.
enum class Option { AutoStart, Overwrite, AutoClear, ShowEditor };

// Indicator labels of the main window: LabID 0..4 of the label parts.
inline constexpr int kPartIndicatorCount = 5;

class StationView {
public:
    virtual ~StationView() = default;

    // lblStatusBar, the one status line.
    virtual void setStatus(const std::string& text) = 0;
    virtual std::string status() const = 0;
    // lblCurSettings, the port text in the status bar.
    virtual void setPortText(const std::string& text) = 0;

    // LabID(index), index 0..4.
    virtual void setPartIndicator(int index, bool visible) = 0;
    // LabelAFS, "Automatic Field Selection".
    virtual void setFieldSelectionIndicator(bool visible) = 0;
    // DSpin: scanner activity, shown with the first character of the latest chunk.
    virtual void setScanActivity(bool visible, const std::string& caption) = 0;
    // ComDisplay: the echo of the scan buffer (never shown to the operator).
    virtual void setLastScan(const std::string& text) = 0;
    // ExLab: shown with the caption, or hidden (its caption kept) when there is none.
    virtual void setExclusionLabel(const std::optional<std::string>& caption) = 0;

    virtual bool option(Option option) const = 0;
    // Setting a state that differs from the current one counts as a change of the box, and
    // the window writes every change to the settings file at once.
    virtual void setOption(Option option, bool checked) = 0;
    // Hides "Show Program in Editor" and moves "Machine Auto Start" into its place.
    virtual void hideEditorOption() = 0;
    virtual void setPollInterval(int milliseconds) = 0;

    // A message box, titled with the application title unless another title is given.
    // Unattended, nobody answers: a plain message is acknowledged, a question takes its way out
    // (Cancel), so a failing disk cannot keep the station asking.
    virtual MessageAnswer message(const std::string& text, MessageIcon icon,
                                  MessageButtons buttons = MessageButtons::Ok, const std::string& title = {}) = 0;
    virtual void beep() = 0;
};

// LabID 0 to 4 off.
inline void hidePartIndicators(StationView& view) {
    for (int index = 0; index < kPartIndicatorCount; ++index) {
        view.setPartIndicator(index, false);
    }
}

} // namespace quorlan::platform
