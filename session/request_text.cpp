#include "session/request_text.h"

std::string WithCrLfLineEnds(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string BodyAfterBlankLine(const std::string& request) {
    const size_t blank = request.find("\r\n\r\n");
    if (blank == std::string::npos)
        return std::string();
    return request.substr(blank + 4);
}

std::string PartnerPath(const std::string& readerPath, const std::string& partnerName) {
    return readerPath.find("/1") != std::string::npos ? partnerName + "/1" : partnerName;
}
