// frmMain: the station's one permanent window. It shows what the logic tells it through the
// view interface and forwards its events (timer, manual entry, option boxes, menus, closing) to
// the actions it is given. Every message box is also written to standard error, and every status
// and port text is echoed, one line each: to standard error beside the window, to standard output
// when unattended. Unattended, it never waits for a person: message boxes are answered with
// their default button.
#pragma once

#include "platform/view.h"
#include "scan/exclusion.h"

#include <QMainWindow>
#include <array>
#include <cstdio>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quorlan::shell {

class StatusLine;

// What the window's events do. An empty action does nothing (a label it cannot hand on is rejected).
struct WindowActions {
    std::function<void()> tick;
    std::function<bool(const std::string& label)> processLabel;
    std::function<void(platform::Option option, bool checked)> optionChanged;
    std::function<void()> commSettings;
    std::function<void()> autoFieldSelect;
    // ExInsForm: the boxes it opens with, and what its OK chose.
    std::function<scan::ExclusionBoxes()> exclusionBoxes;
    std::function<void(const scan::ExclusionBoxes& boxes)> exclusionChosen;
    // History and the double-scan guard, beyond the station's rules.
    std::function<void()> showHistory;
    std::function<void()> doubleScanGuard;
    // Unload: close the port, let go of the control.
    std::function<void()> shutdown;
};

class MainWindow final : public QMainWindow, public platform::StationView {
    Q_OBJECT
public:
    explicit MainWindow(bool unattended, QWidget* parent = nullptr);

    void setActions(WindowActions actions) { m_actions = std::move(actions); }
    bool unattended() const { return m_unattended; }

    // Runs one call into the logic so that no exception reaches the event loop: a rule that ends
    // the program ends it, any other failure is shown and the station carries on.
    void guarded(const std::function<void()>& action);

    void setStatus(const std::string& text) override;
    std::string status() const override;
    void setPortText(const std::string& text) override;
    void setPartIndicator(int index, bool visible) override;
    void setFieldSelectionIndicator(bool visible) override;
    void setScanActivity(bool visible, const std::string& caption) override;
    void setLastScan(const std::string& text) override;
    void setExclusionLabel(const std::optional<std::string>& caption) override;
    bool option(platform::Option option) const override;
    void setOption(platform::Option option, bool checked) override;
    void hideEditorOption() override;
    void setPollInterval(int milliseconds) override;
    platform::MessageAnswer message(const std::string& text, platform::MessageIcon icon,
                                    platform::MessageButtons buttons = platform::MessageButtons::Ok,
                                    const std::string& title = {}) override;
    void beep() override;

signals:
    void beeped();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(QWidget& client);
    void buildIndicators(QWidget& client);
    QWidget* buildStatusBar(QWidget& client);
    void fitHeightToContents();
    std::FILE* echoStream() const;
    void buildMenus();
    QCheckBox* addCheckBox(QWidget& client, const char* name, const char* caption, QRect twips, bool checked);
    QCheckBox* addOptionBox(QWidget& client, const char* name, const char* caption, QRect twips, bool checked,
                            platform::Option option);
    QCheckBox* optionBox(platform::Option option) const;
    QRect pixels(QRect twips) const;

    void startEditing();
    void endEditing();
    void showIdle();
    void showAbout();
    void showExclusionInsertion();
    [[noreturn]] void endProcess(int exitCode);

    bool m_unattended;
    bool m_shownOnce = false;
    WindowActions m_actions;
    QPushButton* m_cmdEdit = nullptr;
    QLineEdit* m_txtEtichetta = nullptr;
    QPushButton* m_cmdEndEdit = nullptr;
    QCheckBox* m_autoStart = nullptr;
    QCheckBox* m_showEd = nullptr;
    QCheckBox* m_overwrite = nullptr;
    QCheckBox* m_aClear = nullptr;
    QLabel* m_comDisplay = nullptr;
    QLabel* m_exLab = nullptr;
    QLabel* m_dSpin = nullptr;
    std::array<QLabel*, platform::kPartIndicatorCount> m_labId{};
    QLabel* m_labelAfs = nullptr;
    QLabel* m_lblCurSettings = nullptr;
    StatusLine* m_lblStatusBar = nullptr;
    QTimer* m_timer1 = nullptr;
};

} // namespace quorlan::shell
