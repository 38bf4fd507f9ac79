#include "cnc/simulated_control.h"

#include "cnc/line_reader.h"
#include "platform/ordinary_file.h"
#include "platform/text.h"

#include <algorithm>
#include <fcntl.h>
#include <istream>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// Generous for a work list, yet bounded against a wrong file.
constexpr std::size_t kMaxListLineBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxListLines = 100000;

} // namespace

SimulatedControl::SimulatedControl(platform::PathMapper paths) : m_paths(std::move(paths)) {}

void SimulatedControl::takeInjectedFailure(std::string_view name) {
    const auto failure = std::find_if(m_injectedFailures.begin(), m_injectedFailures.end(),
                                      [name](const auto& injected) { return injected.first == name; });
    if (failure == m_injectedFailures.end()) {
        return;
    }
    const int number = failure->second;
    m_injectedFailures.erase(failure);
    throw StationError(number);
}

// One call, one line, whatever its arguments hold.
void SimulatedControl::journal(const std::string& entry) const {
    if (m_journal) {
        m_journal(platform::escapeControls(entry, true));
    }
}

void SimulatedControl::changed(ListChange change) const {
    if (m_changeObserver) {
        m_changeObserver(change);
    }
}

void SimulatedControl::requireLive(std::uint64_t generation) const {
    if (generation < m_liveFrom) {
        throw StationError(platform::errc::kServerUnavailable);
    }
}

bool SimulatedControl::takeNullNewList() {
    if (m_nullNewLists <= 0) {
        return false;
    }
    --m_nullNewLists;
    return true;
}

std::size_t SimulatedControl::rowIndex(std::int32_t row) const {
    if (row < 1 || static_cast<std::size_t>(row) > m_rows.size()) {
        throw StationError(platform::errc::kSubscriptOutOfRange);
    }
    return static_cast<std::size_t>(row - 1);
}

std::int32_t SimulatedControl::addLine(const std::string& line) {
    m_rows.push_back(line);
    changed({ListChange::Kind::Appended, m_rows.size() - 1});
    return 0;
}

std::int32_t SimulatedControl::delLine(std::int32_t row) {
    const std::size_t index = rowIndex(row);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
    // The rows after the deleted one move up, the executing one with them.
    if (row < m_exeRow) {
        --m_exeRow;
    }
    if (static_cast<std::size_t>(m_exeRow) > m_rows.size()) {
        stopRun();
    }
    changed({ListChange::Kind::Removed, index});
    return 0;
}

std::string SimulatedControl::getLine(std::int32_t row) const {
    return m_rows[rowIndex(row)];
}

void SimulatedControl::setLine(std::int32_t row, const std::string& line) {
    const std::size_t index = rowIndex(row);
    m_rows[index] = line;
    changed({ListChange::Kind::Replaced, index});
}

std::vector<std::string> SimulatedControl::readListFile(const std::string& path) const {
    const platform::FileDescriptor file = platform::openOrdinaryFile(m_paths.toLocal(path), O_RDONLY);
    platform::FileInputBuffer buffer(file.get());
    std::istream input(&buffer);
    LineReader reader(input, kMaxListLineBytes, kMaxListLines);
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) {
        if (!platform::trimBlanks(line).empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::int32_t SimulatedControl::appendList(const std::string& path) {
    auto lines = readListFile(path);
    const std::size_t first = m_rows.size();
    m_rows.insert(m_rows.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    changed({ListChange::Kind::Appended, first});
    return 0;
}

void SimulatedControl::loadList(const std::string& path) {
    m_rows = readListFile(path);
    m_listOpened = true;
    stopRun();
    changed({ListChange::Kind::Reloaded});
}

void SimulatedControl::clear() {
    m_rows.clear();
    stopRun();
    changed({ListChange::Kind::Reloaded});
}

void SimulatedControl::closeList() {
    m_listOpened = false;
    clear();
    setListVisible(false);
}

void SimulatedControl::setListVisible(bool visible) {
    m_listVisible = visible;
    if (m_visibilityObserver) {
        m_visibilityObserver(visible);
    }
}

void SimulatedControl::startList() {
    if (m_rows.empty()) {
        return;
    }
    // A held run goes on from its row; any other starts from the top.
    if (!m_held) {
        m_exeRow = 1;
    }
    m_inRun = true;
    m_held = false;
    changed({ListChange::Kind::Run});
}

void SimulatedControl::holdList() {
    if (!m_inRun) {
        return;
    }
    m_inRun = false;
    m_held = true;
    changed({ListChange::Kind::Run});
}

void SimulatedControl::stopRun() {
    m_inRun = false;
    m_held = false;
    m_exeRow = 0;
}

void SimulatedControl::endList() {
    stopRun();
    changed({ListChange::Kind::Run});
}

void SimulatedControl::advance() {
    if (!m_inRun) {
        return;
    }
    if (static_cast<std::size_t>(m_exeRow) < m_rows.size()) {
        ++m_exeRow;
        changed({ListChange::Kind::Run});
    } else {
        endList();
    }
}

} // namespace quorlan::cnc
