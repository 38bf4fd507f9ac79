#include "history/event_row.h"

namespace quorlan::history {

void bindEvent(sql::Statement& insert, const Event& event) {
    insert.bind(1, event.timeMs)
        .bind(2, kindName(event.kind))
        .bind(3, event.scan)
        .bind(4, event.program)
        .bind(5, event.fieldCode)
        .bind(6, event.dimX)
        .bind(7, event.dimY)
        .bind(8, event.dimZ)
        .bind(9, event.line)
        .bind(10, outcomeName(event.outcome))
        .bind(11, event.reason)
        .bind(12, event.control);
}

Event readEvent(const sql::Statement& row) {
    Event event;
    event.id = row.integer(0);
    event.timeMs = row.integer(1);
    event.kind = kindFromName(row.textView(2)).value_or(ScanKind::Command);
    event.scan = row.text(3);
    event.program = row.text(4);
    event.fieldCode = row.text(5);
    event.dimX = row.text(6);
    event.dimY = row.text(7);
    event.dimZ = row.text(8);
    event.line = row.text(9);
    event.outcome = outcomeFromName(row.textView(10)).value_or(Outcome::Done);
    event.reason = row.text(11);
    event.control = row.text(12);
    return event;
}

void bindNotice(sql::Statement& insert, const Notice& notice) {
    insert.bind(1, notice.timeMs).bind(2, noticeName(notice.kind)).bind(3, notice.subject).bind(4, notice.detail);
}

Notice readNotice(const sql::Statement& row) {
    Notice notice;
    notice.id = row.integer(0);
    notice.timeMs = row.integer(1);
    notice.kind = noticeFromName(row.textView(2)).value_or(NoticeKind::StationStarted);
    notice.subject = row.text(3);
    notice.detail = row.text(4);
    return notice;
}

} // namespace quorlan::history
