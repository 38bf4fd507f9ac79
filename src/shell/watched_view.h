// The window as the logic sees it, with the message boxes of the present scan remembered: a scan
// that ends with a message (a list file not found, say) is recorded with that message.
#pragma once

#include "platform/view.h"

namespace quorlan::shell {

class WatchedView final : public platform::StationView {
public:
    explicit WatchedView(platform::StationView& view) : m_view(view) {}

    // Forgets the messages of the scan before.
    void startScan() { m_lastMessage.clear(); }
    const std::string& lastMessage() const { return m_lastMessage; }

    void setStatus(const std::string& text) override { m_view.setStatus(text); }
    std::string status() const override { return m_view.status(); }
    void setPortText(const std::string& text) override { m_view.setPortText(text); }
    void setPartIndicator(int index, bool visible) override { m_view.setPartIndicator(index, visible); }
    void setFieldSelectionIndicator(bool visible) override { m_view.setFieldSelectionIndicator(visible); }
    void setScanActivity(bool visible, const std::string& caption) override {
        m_view.setScanActivity(visible, caption);
    }
    void setLastScan(const std::string& text) override { m_view.setLastScan(text); }
    void setExclusionLabel(const std::optional<std::string>& caption) override { m_view.setExclusionLabel(caption); }
    bool option(platform::Option option) const override { return m_view.option(option); }
    void setOption(platform::Option option, bool checked) override { m_view.setOption(option, checked); }
    void hideEditorOption() override { m_view.hideEditorOption(); }
    void setPollInterval(int milliseconds) override { m_view.setPollInterval(milliseconds); }
    platform::MessageAnswer message(const std::string& text, platform::MessageIcon icon,
                                    platform::MessageButtons buttons, const std::string& title) override {
        m_lastMessage = text;
        return m_view.message(text, icon, buttons, title);
    }
    void beep() override { m_view.beep(); }

private:
    platform::StationView& m_view;
    std::string m_lastMessage;
};

} // namespace quorlan::shell
