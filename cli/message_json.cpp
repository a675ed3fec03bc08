#include "cli/message_json.h"

#include <cstdio>

#include "cli/json_text.h"
#include "session/traffic_rows.h"

namespace {

// The keys the two commands share, without the braces.
struct Facts {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    RowKind kind = RowKind::Other;
    int status = 0;
    std::string_view smartType;
    bool note = false;
    bool wellFormed = true;
};

std::string Members(const Facts& facts) {
    std::string json = "\"offset\":" + std::to_string(facts.offset) +
                       ",\"length\":" + std::to_string(facts.length) + ",\"kind\":\"" +
                       RowKindName(facts.kind) + "\"";
    if (facts.kind == RowKind::Answer) {
        json += ",\"status\":" + std::to_string(facts.status);
    }
    if (facts.kind == RowKind::Event) {
        json += ",\"smartType\":" + JsonString(facts.smartType);
    }
    if (facts.note) {
        json += ",\"note\":true";
    }
    if (!facts.wellFormed) {
        json += ",\"malformed\":true";
    }
    return json;
}

}  // namespace

std::string ReportJson(const MessageReport& report) {
    Facts facts;
    facts.offset = report.logOffset;
    facts.length = report.logLength;
    facts.kind = KindOf(report.kind, report.complete);
    facts.status = report.status;
    facts.smartType = report.smartType;
    facts.note = report.note;
    facts.wellFormed = report.wellFormed;
    std::string json = "{\"time\":" + JsonString(IsoTime(report.timeMs)) + "," + Members(facts);
    if (facts.kind == RowKind::Event) {
        json += ",\"pictures\":[";
        for (std::size_t i = 0; i < report.pictures.size(); ++i) {
            json += (i > 0 ? "," : "") + JsonString(report.pictures[i]);
        }
        json += "]";
    }
    return json + "}";
}

std::string EntryJson(const LogEntry& entry) {
    Facts facts;
    facts.offset = entry.offset;
    facts.length = entry.length;
    facts.kind = KindOf(entry.kind, entry.complete);
    facts.status = entry.status;
    facts.smartType = entry.smartType;
    facts.note = entry.note;
    facts.wellFormed = entry.wellFormed;
    std::string json = "{" + Members(facts);
    if (facts.kind == RowKind::Event) {
        json += ",\"pictures\":" + std::to_string(entry.pictures);
    }
    return json + "}";
}

std::string EntryLine(const LogEntry& entry) {
    const RowKind kind = KindOf(entry.kind, entry.complete);
    std::string line = std::string(RowKindName(kind)) + " offset=" + std::to_string(entry.offset) +
                       " length=" + std::to_string(entry.length);
    if (kind == RowKind::Answer) {
        line += " status=" + std::to_string(entry.status);
    }
    if (kind == RowKind::Event) {
        line += " smartType=" + entry.smartType + " pictures=" + std::to_string(entry.pictures);
    }
    if (entry.note) {
        line += " note";
    }
    if (!entry.wellFormed) {
        line += " malformed";
    }
    return line;
}
