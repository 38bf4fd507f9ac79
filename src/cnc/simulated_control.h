// The simulator's state and the effects of the control's operations; the handles of simulator.cpp
// forward to it. Internal to the simulator.
#pragma once

#include "cnc/simulator.h"
#include "platform/error.h"
#include "platform/path_mapper.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorlan::cnc {

class SimulatedControl final {
public:
    explicit SimulatedControl(platform::PathMapper paths);

    // Runs one operation: an injected failure first, then its effect, then its journal line.
    template <typename Effect> auto perform(Operation operation, const std::string& arguments, Effect&& effect) {
        const std::string_view name = describe(operation)->name;
        const std::string entry = arguments.empty() ? std::string(name) : std::string(name) + ' ' + arguments;
        try {
            takeInjectedFailure(name);
            if constexpr (std::is_void_v<decltype(effect())>) {
                effect();
                journal(entry);
            } else {
                auto result = effect();
                journal(entry);
                return result;
            }
        } catch (const platform::StationError& error) {
            journal(entry + " -> error " + std::to_string(error.number()));
            throw;
        }
    }

    // List handles carry the generation they were made in; disconnecting ends every generation so far.
    std::uint64_t newListGeneration() const { return m_generation; }
    void requireLive(std::uint64_t generation) const;
    void disconnectLists() { m_liveFrom = ++m_generation; }
    bool takeNullNewList();

    // The list.
    std::int32_t addLine(const std::string& line);
    std::int32_t delLine(std::int32_t row);
    std::string getLine(std::int32_t row) const;
    void setLine(std::int32_t row, const std::string& line);
    std::int32_t appendList(const std::string& path);
    void loadList(const std::string& path);
    void clear();
    void closeList();
    void setListVisible(bool visible);
    const std::vector<std::string>& rows() const { return m_rows; }
    bool listVisible() const { return m_listVisible; }
    bool listOpened() const { return m_listOpened; }

    // The run.
    void startList();
    void holdList();
    void endList();
    void advance();
    bool inRun() const { return m_inRun; }
    std::int32_t exeRow() const { return m_exeRow; }

    bool applicationVisible() const { return m_applicationVisible; }
    void setApplicationVisible(bool visible) { m_applicationVisible = visible; }

    void setJournal(JournalSink sink) { m_journal = std::move(sink); }
    void setVisibilityObserver(std::function<void(bool)> observer) { m_visibilityObserver = std::move(observer); }
    void setChangeObserver(std::function<void(const ListChange&)> observer) { m_changeObserver = std::move(observer); }
    void failNext(std::string operation, int errorNumber) {
        m_injectedFailures.emplace_back(std::move(operation), errorNumber);
    }
    void setNullNewLists(int count) { m_nullNewLists = count; }

private:
    void takeInjectedFailure(std::string_view name);
    void journal(const std::string& entry) const;
    void changed(ListChange change) const;
    void stopRun();
    std::size_t rowIndex(std::int32_t row) const;
    std::vector<std::string> readListFile(const std::string& path) const;

    platform::PathMapper m_paths;
    JournalSink m_journal;
    std::function<void(bool)> m_visibilityObserver;
    std::function<void(const ListChange&)> m_changeObserver;
    std::vector<std::pair<std::string, int>> m_injectedFailures;
    int m_nullNewLists = 0;
    std::vector<std::string> m_rows;
    bool m_listVisible = false;
    bool m_listOpened = false;
    bool m_applicationVisible = false;
    bool m_inRun = false;
    bool m_held = false;
    std::int32_t m_exeRow = 0;
    std::uint64_t m_generation = 0;
    std::uint64_t m_liveFrom = 0;
};

} // namespace quorlan::cnc
