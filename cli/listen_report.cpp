#include "cli/listen_report.h"

#include "cli/message_json.h"

std::string FormatMessageLine(const MessageReport& report) {
    std::string line;
    switch (report.kind) {
        case MessageKind::Response:
            line = "response";
            break;
        case MessageKind::Event:
            line = "event";
            break;
        case MessageKind::Other:
            line = "other";
            break;
    }
    line += " length=" + std::to_string(report.length);
    if (report.kind == MessageKind::Event) {
        line += " smartType=" + report.smartType;
        line += " pictures=" + std::to_string(report.pictures.size());
        for (const std::string& path : report.pictures)
            line += " " + path;
    }
    if (!report.complete)
        line += " incomplete";
    return line;
}

void ListenReport::OnMessage(const MessageReport& report) {
    if (report.note && !json_) {
        return;
    }
    std::string line = json_ ? ReportJson(report) : FormatMessageLine(report);
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back(std::move(line));
    // A Digest challenge that made the request go out again is no answer to it yet.
    if (report.kind == MessageKind::Response && !report.sentAgain) {
        ++responses_;
        lastStatus_ = report.status;
    }
}

std::vector<std::string> ListenReport::TakeLines() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> lines(lines_.begin(), lines_.end());
    lines_.clear();
    return lines;
}

int ListenReport::Responses() const {
    std::lock_guard<std::mutex> hold(lock_);
    return responses_;
}

int ListenReport::LastStatus() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lastStatus_;
}
