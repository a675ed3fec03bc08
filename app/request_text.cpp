#include "app/request_text.h"

QString BytesForDisplay(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

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

std::string EditedTextToRequestBytes(const QString& text) {
    // The editor separates its paragraphs with U+2029 internally; plain text gives LF.
    QString plain = text;
    plain.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return WithCrLfLineEnds(plain.toStdString());
}

std::string BodyAfterBlankLine(const std::string& request) {
    const size_t blank = request.find("\r\n\r\n");
    if (blank == std::string::npos)
        return std::string();
    return request.substr(blank + 4);
}
