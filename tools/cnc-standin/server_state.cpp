#include "server_state.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <objbase.h>

namespace quorlan::standin {

namespace {

std::atomic<long> holds{0};
HANDLE idleEvent = nullptr;

} // namespace

cnc::Simulator& simulator() {
    static const std::unique_ptr<cnc::Simulator> control = [] {
        auto made = std::make_unique<cnc::Simulator>();
        if (const char* journal = std::getenv("QUORLAN_CNC_JOURNAL"); journal != nullptr && *journal != '\0') {
            made->setJournal(cnc::makeFileJournal(journal));
        }
        return made;
    }();
    return *control;
}

std::mutex& simulatorLock() {
    static std::mutex lock;
    return lock;
}

void holdServer() {
    if (idleEvent != nullptr) {
        CoAddRefServerProcess();
    }
    ++holds;
}

void releaseServer() {
    --holds;
    // COM stops handing out the class objects as the count reaches 0, so no client can come in
    // between this and the end of the process.
    if (idleEvent != nullptr && CoReleaseServerProcess() == 0) {
        SetEvent(idleEvent);
    }
}

bool serverIdle() {
    return holds == 0;
}

void endProcessWhenIdle(HANDLE event) {
    idleEvent = event;
}

} // namespace quorlan::standin
