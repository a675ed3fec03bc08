#include "session/long_status.h"

#include <cstdio>

void ReceiveTally::Reset() {
    bytes_.store(0);
    messages_.store(0);
    lastStatus_.store(0);
    end_.store(ReadEnd::None);
}

void ReceiveTally::Read(long result) {
    if (result > 0) {
        bytes_.fetch_add(result);
    } else {
        end_.store(result == 0 ? ReadEnd::ClosedByDevice : ReadEnd::ReadFailed);
    }
}

void ReceiveTally::Message(const MessageReport& report) {
    if (report.kind == MessageKind::Other)
        return;
    messages_.fetch_add(1);
    if (report.kind == MessageKind::Response)
        lastStatus_.store(report.status);
}

const char* ConnectFailureText(ConnectResult result) {
    switch (result) {
        case ConnectResult::NoUser:
            return "no user name";
        case ConnectResult::NoPassword:
            return "no password";
        case ConnectResult::NoIp:
            return "no device IP";
        case ConnectResult::NoSocket:
            return "no socket could be made";
        case ConnectResult::ConnectFailed:
            return "refused, unreachable or timed out";
        case ConnectResult::Cancelled:
            return "given up";
        case ConnectResult::Ok:
            break;
    }
    return "";
}

std::string ByteCountText(long long bytes) {
    if (bytes >= 1024 * 1024) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f MB", bytes / (1024.0 * 1024.0));
        return text;
    }
    std::string digits = std::to_string(bytes);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out + (bytes == 1 ? " byte" : " bytes");
}
