// frmSettings: the scanner port and its serial settings, chosen from fixed options. The dialog
// only chooses; storing and reopening the port is the caller's business.
#pragma once

#include "config/comm_settings.h"
#include "config/station_settings.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QGridLayout;

namespace quorlan::config {

class FrmSettings final : public QDialog {
    Q_OBJECT
public:
    using DeviceName = std::function<std::string(int port)>;

    // state lives for the run: clicks change it even when the dialog is cancelled.
    FrmSettings(SettingsDialogState& state, const StationSettings& current, const DeviceName& deviceName,
                QWidget* parent = nullptr);

    // The choice after OK; nothing after Cancel.
    std::optional<CommChoice> selection() const { return m_selection; }

private:
    struct Cell {
        int row;
        int column;
        int rows;
    };
    QGroupBox* addGroup(QGridLayout& grid, const char* name, const char* caption, Cell cell);
    QAbstractButton* addOption(QGroupBox& group, const QString& name, const QString& caption,
                               std::function<void()> store);
    template <typename T, std::size_t N>
    void addNumberOptions(QGroupBox& group, const char* prefix, const std::array<T, N>& values,
                          T SettingsDialogState::*field);
    void addPortOptions(QGridLayout& grid, const DeviceName& deviceName);
    void addLineOptions(QGridLayout& grid);
    void addButtons(QGridLayout& grid);
    void preselect(const StationSettings& current);
    void select(const QString& name);
    void confirm();

    SettingsDialogState& m_state;
    std::optional<CommChoice> m_selection;
};

// Shows the dialog modally, centred; the choice on OK.
std::optional<CommChoice> askCommSettings(SettingsDialogState& state, const StationSettings& current,
                                          const FrmSettings::DeviceName& deviceName, QWidget* parent);

} // namespace quorlan::config
