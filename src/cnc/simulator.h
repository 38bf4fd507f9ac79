// A simulator of the maker's CNC control, which cannot run here: one work list of rows (list-line
// text, 18 columns #161 to #279) behind the control's Application and ExeList objects, with a
// simulated run, a journal of what reached the control, and hooks that make it fail.
//
// Journal: each call through a handle or the factory gives one line: the operation's name and,
// when it has arguments, a blank and the arguments as given, separated by blanks; Booleans read
// True or False. Property writes and reads carry the property's name ("Visible True", "Rows").
// The application's Visible is "Application.Visible". Factory calls read "CreateApplication" and
// "CreateObject Koridan.ExeList". A call that fails gives the same line followed by
// " -> error " and the error number. So that each call stays one line whatever its arguments
// hold, a backslash is written "\\" and each control character as an escape: "\r", "\n", "\t"
// or "\x" and two hex digits ("\x1B"); so are the five bytes the code page leaves undefined.
// For example:
//   AddLine #161=FLANGE.CNC;#162= ;...
//   Clear
//   StartList
//   OpenList D:\\L\\JOB1.LST -> error 53
#pragma once

#include "cnc/control.h"
#include "platform/path_mapper.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::cnc {

using JournalSink = std::function<void(const std::string& line)>;

// Appends each journal line to a local file and flushes it, so a reader sees it at once. Throws
// StationError 75 when the file cannot be opened for appending; later write failures are ignored.
JournalSink makeFileJournal(const std::string& localPath);

class SimulatedControl;

// A column of the control's list: its item ("#161") and what the control calls it (empty when
// the station never fills the item).
struct ListColumn {
    std::string_view item;
    std::string_view name;
};
// The 18 columns in the order of a list line.
std::span<const ListColumn> listColumns();

// What one change did to the list, so that a window can follow it without reading every row again.
struct ListChange {
    enum class Kind {
        Appended, // the rows from row on are new, at the end of the list
        Removed,  // the row at row is gone; the rows after it moved up
        Replaced, // the row at row holds a new line
        Reloaded, // the list was emptied or replaced as a whole
        Run,      // the run or its executing row changed; the rows did not
    };
    Kind kind;
    std::size_t row = 0; // 0-based
};

class Simulator final : public ControlFactory {
public:
    // List-file paths given to OpenList and AppendList are Windows text, mapped through paths.
    explicit Simulator(platform::PathMapper paths = platform::PathMapper());

    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Each application or list handle is a new object onto the one control and its one list.
    // Handles stay valid after the simulator is gone. Any ProgID other than kExeListProgId
    // fails with StationError 429.
    std::shared_ptr<Application> createApplication() override;
    std::shared_ptr<ExeList> createObject(const std::string& progId) override;

    void setJournal(JournalSink sink);
    // Called with the new state each time the list's Visible is written, and with false when
    // the list is closed or the application quits.
    void setVisibilityObserver(std::function<void(bool visible)> observer);
    // Called after the rows, the run state or the executing row changed, with what changed.
    void setChangeObserver(std::function<void(const ListChange&)> observer);

    // As the control's own operator would: the list window comes up. Not a call of the station,
    // so it is not journaled.
    void showList();

    // The list as its window shows it; these neither fail nor reach the journal.
    const std::vector<std::string>& rows() const;
    bool listVisible() const;
    bool inRun() const;
    std::int32_t exeRow() const; // 1-based, 0 when no row executes

    // One step of a run (a timer drives it): the next row executes; after the last row the run ends.
    void advance();

    // Test hooks.
    // The next call of the operation (its journal name: "AddLine", "CreateObject" ...) fails
    // with the error number. Several may be queued, for the same operation or others.
    void failNext(const std::string& operation, int errorNumber);
    // As after a restart of the control: every list handle handed out so far fails with error
    // 462 (the object is gone) from now on; handles created afterwards (CreateObject, NewList) work. The rows stay.
    void disconnectLists();
    // NewList returns null this many times before it hands out a list again.
    void setNullNewLists(int count);

private:
    std::shared_ptr<SimulatedControl> m_control;
};

} // namespace quorlan::cnc
