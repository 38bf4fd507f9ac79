#include "shell/qt/station_control.h"

#include "cnc/authenticated_transport.h"
#include "cnc/control_client.h"
#include "cnc/control_key.h"
#include "cnc/qt/local_control_transport.h"
#include "cnc/qt/tcp_control_transport.h"
#include "cnc/qt/work_list_window.h"
#include "cnc/remote_control.h"
#include "cnc/simulator.h"
#include "platform/error.h"
#include "shell/qt/main_window.h"

#include <QFile>

namespace quorlan::shell {

namespace {

// The link to the bridge on the control's PC. A key that cannot be read is said at every attempt
// to reach the control, as the control being out of reach is; the station runs on.
std::unique_ptr<cnc::ControlTransport> networkTransport(const LaunchOptions& launch) {
    std::string key;
    std::string keyProblem;
    if (launch.cncKeyFile.isEmpty()) {
        keyProblem = "no key file is named for it (quorlan --cnc-key FILE), and without the key that it shares "
                     "with the bridge the station does not connect";
    } else {
        try {
            key = cnc::readControlKey(QFile::encodeName(launch.cncKeyFile).toStdString());
        } catch (const platform::StationError& error) {
            keyProblem = error.description();
        }
    }
    return std::make_unique<cnc::AuthenticatedTransport>(
        std::make_unique<cnc::TcpControlTransport>(launch.cncHost, launch.cncPort), std::move(key),
        std::move(keyProblem));
}

} // namespace

StationControl::StationControl(const LaunchOptions& launch, const platform::PathMapper& paths, MainWindow& window) {
    if (!launch.cncServer.isEmpty() || !launch.cncHost.isEmpty()) {
        std::unique_ptr<cnc::ControlTransport> transport =
            launch.cncHost.isEmpty() ? std::make_unique<cnc::LocalControlTransport>(launch.cncServer)
                                     : networkTransport(launch);
        m_client = std::make_shared<cnc::ControlClient>(std::move(transport));
        m_remote = std::make_unique<cnc::RemoteControl>(m_client);
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

void StationControl::setReachabilityObserver(cnc::ControlClient::ReachabilityObserver observer) {
    if (m_client) {
        m_client->setReachabilityObserver(std::move(observer));
    }
}

void StationControl::showList() {
    if (m_simulator) {
        m_simulator->showList();
    }
}

} // namespace quorlan::shell
