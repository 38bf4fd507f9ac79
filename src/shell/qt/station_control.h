// The control the station drives: the built-in simulator with its Work List window, or the
// simulator that cnc-sim serves on a local socket (--cnc local:NAME), or the control behind the
// bridge on its PC, or cnc-sim, across a network (--cnc tcp:HOST:PORT --cnc-key FILE).
#pragma once

#include "cnc/control.h"
#include "cnc/control_client.h"
#include "platform/path_mapper.h"
#include "shell/qt/launch_options.h"

#include <memory>

namespace quorlan::cnc {
class Simulator;
class WorkListWindow;
} // namespace quorlan::cnc

namespace quorlan::shell {

class MainWindow;

class StationControl final {
public:
    // A journal that cannot be opened is reported in the window; the station runs without it.
    StationControl(const LaunchOptions& launch, const platform::PathMapper& paths, MainWindow& window);
    ~StationControl();
    StationControl(const StationControl&) = delete;
    StationControl& operator=(const StationControl&) = delete;

    cnc::ControlFactory& factory() { return *m_factory; }
    // --show-work-list: the built-in list's window from the start. cnc-sim shows its own.
    void showList();
    // Told when a control in another process stops answering and answers again; the built-in
    // control always answers.
    void setReachabilityObserver(cnc::ControlClient::ReachabilityObserver observer);

private:
    std::unique_ptr<cnc::Simulator> m_simulator;
    std::unique_ptr<cnc::WorkListWindow> m_workList;
    std::shared_ptr<cnc::ControlClient> m_client;
    std::unique_ptr<cnc::ControlFactory> m_remote;
    cnc::ControlFactory* m_factory = nullptr;
};

} // namespace quorlan::shell
