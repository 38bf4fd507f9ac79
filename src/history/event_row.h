// An event as a row of the events table, a notice as a row of the notices table: the one column
// list of each that writing, reading and the outbox share.
#pragma once

#include "history/event.h"
#include "history/notice.h"
#include "history/sqlite.h"

#include <string_view>

namespace quorlan::history {

// The columns in the order readEvent() expects them.
inline constexpr std::string_view kEventColumns =
    "id, time, kind, scan, program, field_code, dim_x, dim_y, dim_z, line, outcome, reason, control";

inline constexpr std::string_view kInsertEvent =
    "INSERT INTO events (time, kind, scan, program, field_code, dim_x, dim_y, dim_z, line, outcome, reason, control)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)";

// Binds the event (all but its id) to a statement made from kInsertEvent.
void bindEvent(sql::Statement& insert, const Event& event);

// The event in the current row of a statement that selects kEventColumns. A kind or outcome that
// this program does not know (written by a newer one) reads as a command, and as done.
Event readEvent(const sql::Statement& row);

inline constexpr std::string_view kNoticeColumns = "id, time, kind, subject, detail";

// The next id of the events' sequence (see the schema): never one an event or a notice had.
inline constexpr std::string_view kInsertNotice =
    "INSERT INTO notices (id, time, kind, subject, detail) VALUES (max("
    "coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'events'), 0),"
    " coalesce((SELECT max(id) FROM events), 0), coalesce((SELECT max(id) FROM notices), 0)) + 1, ?1, ?2, ?3, ?4)";

void bindNotice(sql::Statement& insert, const Notice& notice);

// A kind this program does not know (written by a newer one) reads as the station starting.
Notice readNotice(const sql::Statement& row);

} // namespace quorlan::history
