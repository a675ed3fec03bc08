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

bool RequestLinePath(const std::string& request, std::string& path) {
    static const std::string kStart = "POST /";
    if (request.compare(0, kStart.size(), kStart) != 0)
        return false;
    const size_t end = request.find_first_of(" \r\n", kStart.size());
    path = request.substr(kStart.size(),
                          end == std::string::npos ? std::string::npos : end - kStart.size());
    return true;
}

size_t ValidUtf8Length(std::string_view text, size_t at) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned int least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    unsigned int code = lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= least && code <= 0x10FFFF && !surrogate ? length : 0;
}
