#include "events/payload.h"

#include "history/local_time.h"

#include <cstdio>

namespace quorlan::events {

namespace {

// A JSON object written field by field, in the order given.
class JsonObject {
public:
    JsonObject& text(std::string_view key, std::string_view value) { return raw(key, jsonString(value)); }
    JsonObject& number(std::string_view key, std::int64_t value) { return raw(key, std::to_string(value)); }
    JsonObject& time(std::string_view key, std::int64_t timeMs) { return text(key, history::formatLocalTime(timeMs)); }
    JsonObject& raw(std::string_view key, std::string_view json) {
        m_json += m_json.empty() ? "{" : ",";
        m_json += jsonString(key);
        m_json += ':';
        m_json += json;
        return *this;
    }
    std::string done() const { return m_json.empty() ? "{}" : m_json + "}"; }

private:
    std::string m_json;
};

// The length of the UTF-8 sequence at text[i], or 0 when it is none (overlong, a surrogate, cut).
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char first = byte(i);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (first < 0x80) {
        return 1;
    } else if ((first & 0xE0) == 0xC0) {
        length = 2;
        codePoint = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        codePoint = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        codePoint = first & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void appendEscaped(std::string& out, char c) {
    switch (c) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
}

std::string scanPayload(const history::Event& scan) {
    return JsonObject()
        .number("id", scan.id)
        .time("time", scan.timeMs)
        .text("event", "scan")
        .text("kind", history::kindName(scan.kind))
        .text("scan", scan.scan)
        .text("program", scan.program)
        .text("field", scan.fieldCode)
        .text("x", scan.dimX)
        .text("y", scan.dimY)
        .text("z", scan.dimZ)
        .text("line", scan.line)
        .text("outcome", history::outcomeName(scan.outcome))
        .text("reason", scan.reason)
        .text("control", scan.control)
        .done();
}

// The topic a notice goes to, below events/.
std::string_view category(history::NoticeKind kind) {
    switch (kind) {
    case history::NoticeKind::ControlUnreachable:
    case history::NoticeKind::ControlBack:
        return "control";
    case history::NoticeKind::PortLost:
    case history::NoticeKind::PortBack:
        return "port";
    case history::NoticeKind::StationStarted:
    case history::NoticeKind::StationStopping:
        break;
    }
    return "station";
}

// The field that holds a notice's subject: the control's address, the port's device, or the
// version of a station that starts or stops.
std::string_view subjectField(history::NoticeKind kind) {
    const std::string_view topic = category(kind);
    return topic == "station" ? "version" : topic;
}

bool carriesReason(history::NoticeKind kind) {
    return kind == history::NoticeKind::ControlUnreachable || kind == history::NoticeKind::PortLost;
}

std::string noticePayload(const history::Notice& notice) {
    JsonObject json;
    json.number("id", notice.id)
        .time("time", notice.timeMs)
        .text("event", history::noticeName(notice.kind))
        .text(subjectField(notice.kind), notice.subject);
    if (carriesReason(notice.kind)) {
        json.text("reason", notice.detail);
    }
    return json.done();
}

std::string lastScanJson(const std::optional<history::Event>& scan) {
    if (!scan) {
        return "null";
    }
    return JsonObject()
        .number("id", scan->id)
        .time("time", scan->timeMs)
        .text("kind", history::kindName(scan->kind))
        .text("program", scan->program)
        .text("outcome", history::outcomeName(scan->outcome))
        .done();
}

std::string countsJson(const history::Tally& tally) {
    JsonObject json;
    for (std::size_t i = 0; i < tally.counts.size(); ++i) {
        json.number(history::outcomeName(static_cast<history::Outcome>(i)), tally.counts[i]);
    }
    return json.done();
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
        } else if (length == 1) {
            appendEscaped(out, text[i++]);
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out + "\"";
}

std::string eventTopic(const std::string& prefix, const history::Entry& entry) {
    const auto* notice = std::get_if<history::Notice>(&entry);
    return prefix + "/events/" + std::string(notice != nullptr ? category(notice->kind) : "scan");
}

std::string eventPayload(const history::Entry& entry) {
    if (const auto* scan = std::get_if<history::Event>(&entry)) {
        return scanPayload(*scan);
    }
    return noticePayload(std::get<history::Notice>(entry));
}

std::string statusTopic(const std::string& prefix) {
    return prefix + "/status";
}

std::string statusPayload(const StationStatus& status) {
    return JsonObject()
        .text("state", status.online ? "online" : "offline")
        .time("time", status.timeMs)
        .text("version", status.version)
        .text("control", status.control)
        .time("since", status.sinceMs)
        .raw("lastScan", lastScanJson(status.today.lastScan))
        .raw("today", countsJson(status.today))
        .done();
}

std::string willPayload(const std::string& version, const std::string& control) {
    return JsonObject().text("state", "offline").text("version", version).text("control", control).done();
}

} // namespace quorlan::events
