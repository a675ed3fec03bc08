#include "cli/message_json.h"

#include <cstdio>

#include "session/traffic_rows.h"

namespace {

// Length of the UTF-8 sequence at text[at], or 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and values above U+10FFFF.
    const unsigned char second = byte(at + 1 < text.size() ? at + 1 : at);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
        return 0;
    }
    return length;
}

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

std::string JsonString(std::string_view bytes) {
    std::string json = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = Utf8Length(bytes, at);
        if (length == 0) {
            json += "\\ufffd";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            json += escaped;
        } else {
            json.append(bytes.substr(at, length));
        }
        at += length;
    }
    return json + "\"";
}

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
