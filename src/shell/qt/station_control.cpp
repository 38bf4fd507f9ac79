#include "shell/qt/station_control.h"

#include "cnc/control_client.h"
#include "cnc/qt/local_control_transport.h"
#include "cnc/qt/work_list_window.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "shell/qt/main_window.h"

#include <QFile>

namespace quorlan::shell {

StationControl::StationControl(const LaunchOptions& launch, const platform::PathMapper& paths, MainWindow& window) {
    if (!launch.cncServer.isEmpty()) {
        m_remote = std::make_unique<cnc::RemoteControl>(
            std::make_shared<cnc::ControlClient>(std::make_unique<cnc::LocalControlTransport>(launch.cncServer)));
        m_factory = m_remote.get();
        return;
    }
    m_simulator = std::make_unique<cnc::Simulator>(paths);
    if (!launch.cncJournal.isEmpty()) {
        window.guarded(
            [&] { m_simulator->setJournal(cnc::makeFileJournal(QFile::encodeName(launch.cncJournal).toStdString())); });
    }
    m_workList = std::make_unique<cnc::WorkListWindow>(*m_simulator);
    m_factory = m_simulator.get();
}

StationControl::~StationControl() = default;

void StationControl::showList() {
    if (m_simulator) {
        m_simulator->showList();
    }
}

} // namespace quorlan::shell
