#include "config/qt/settings_dialog.h"

#include "config/qt/center_form.h"
#include "platform/qt/cp1252.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

namespace quorlan::config {

namespace {

QString portOptionName(int port) {
    // The fourth port's option has always been spelt with a capital.
    return port == 4 ? QStringLiteral("OptCom4") : QStringLiteral("optCom%1").arg(port);
}

struct ParityOption {
    char letter;
    const char* caption;
};
constexpr std::array<ParityOption, 3> kParityCaptions{{{'N', "None"}, {'O', "Odd"}, {'E', "Even"}}};

QString parityCaption(char letter) {
    for (const ParityOption& option : kParityCaptions) {
        if (option.letter == letter) {
            return QString::fromLatin1(option.caption);
        }
    }
    return {};
}

QString parityOptionName(char letter) {
    return QStringLiteral("optParity") + parityCaption(letter);
}

QString numberOptionName(const char* prefix, int value) {
    return QString::fromLatin1(prefix) + QString::number(value);
}

} // namespace

FrmSettings::FrmSettings(SettingsDialogState& state, const StationSettings& current, const DeviceName& deviceName,
                         QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    auto* grid = new QGridLayout(this);
    addPortOptions(*grid, deviceName);
    addLineOptions(*grid);
    addButtons(*grid);
    preselect(current);
    adjustSize();
    centerOnScreen(*this);
}

QGroupBox* FrmSettings::addGroup(QGridLayout& grid, const char* name, const char* caption, Cell cell) {
    auto* group = new QGroupBox(QString::fromLatin1(caption), this);
    group->setObjectName(QString::fromLatin1(name));
    grid.addWidget(group, cell.row, cell.column, cell.rows, 1);
    return group;
}

QAbstractButton* FrmSettings::addOption(QGroupBox& group, const QString& name, const QString& caption,
                                        std::function<void()> store) {
    auto* option = new QRadioButton(caption, &group);
    option->setObjectName(name);
    // Selecting an option in code counts as clicking it.
    connect(option, &QRadioButton::toggled, this, [store = std::move(store)](bool checked) {
        if (checked) {
            store();
        }
    });
    return option;
}

void FrmSettings::addPortOptions(QGridLayout& grid, const DeviceName& deviceName) {
    QGroupBox* group = addGroup(grid, "fraComPort", "&Com Port", {0, 0, 1});
    auto* layout = new QGridLayout(group);
    for (const std::int16_t port : kPortOptions) {
        QAbstractButton* option = addOption(*group, portOptionName(port), QStringLiteral("Com%1").arg(port),
                                            [this, port] { m_state.port = port; });
        auto* device = new QLabel(platform::fromCp1252(deviceName ? deviceName(port) : std::string{}), group);
        device->setObjectName(QStringLiteral("lblDevice%1").arg(port));
        device->setTextFormat(Qt::PlainText);
        layout->addWidget(option, port - 1, 0);
        layout->addWidget(device, port - 1, 1);
    }
}

template <typename T, std::size_t N>
void FrmSettings::addNumberOptions(QGroupBox& group, const char* prefix, const std::array<T, N>& values,
                                   T SettingsDialogState::*field) {
    auto* layout = new QVBoxLayout(&group);
    for (const T value : values) {
        layout->addWidget(addOption(group, numberOptionName(prefix, value), QString::number(value),
                                    [this, field, value] { m_state.*field = value; }));
    }
}

void FrmSettings::addLineOptions(QGridLayout& grid) {
    addNumberOptions(*addGroup(grid, "Frame1", "&Baud Rate", {0, 1, 3}), "optBaud", kBaudOptions,
                     &SettingsDialogState::baud);
    QGroupBox* parity = addGroup(grid, "fraParity", "&Parity", {0, 2, 1});
    auto* parityLayout = new QVBoxLayout(parity);
    for (const char letter : kParityOptions) {
        parityLayout->addWidget(addOption(*parity, parityOptionName(letter), parityCaption(letter),
                                          [this, letter] { m_state.parity = std::string(1, letter); }));
    }
    addNumberOptions(*addGroup(grid, "fraDataBits", "&Data Bits", {1, 2, 1}), "optDataBits", kDataBitsOptions,
                     &SettingsDialogState::dataBits);
    addNumberOptions(*addGroup(grid, "fraStopBits", "&Stop Bits", {2, 2, 1}), "optStopBits", kStopBitsOptions,
                     &SettingsDialogState::stopBits);
}

void FrmSettings::addButtons(QGridLayout& grid) {
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    grid.addWidget(ok, 3, 1);
    grid.addWidget(cancel, 3, 2);
    connect(ok, &QPushButton::clicked, this, &FrmSettings::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmSettings::preselect(const StationSettings& current) {
    const SettingsSelection selected = preselectSettings(m_state, current);
    if (selected.port) {
        select(portOptionName(*selected.port));
    }
    if (selected.baud) {
        select(numberOptionName("optBaud", *selected.baud));
    }
    if (selected.parity) {
        select(parityOptionName(*selected.parity));
    }
    if (selected.dataBits) {
        select(numberOptionName("optDataBits", *selected.dataBits));
    }
    if (selected.stopBits) {
        select(numberOptionName("optStopBits", *selected.stopBits));
    }
}

void FrmSettings::select(const QString& name) {
    if (auto* option = findChild<QRadioButton*>(name)) {
        option->setChecked(true);
    }
}

void FrmSettings::confirm() {
    m_selection = CommChoice{m_state.port, buildCommSettings(m_state)};
    accept();
}

std::optional<CommChoice> askCommSettings(SettingsDialogState& state, const StationSettings& current,
                                          const FrmSettings::DeviceName& deviceName, QWidget* parent) {
    FrmSettings dialog(state, current, deviceName, parent);
    dialog.exec();
    return dialog.selection();
}

} // namespace quorlan::config
