#include "app/message_detail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "receive/event_decoder.h"
#include "receive/message_framing.h"
#include "receive/receive_observer.h"

namespace {
// A problem text in the window's language; the paths and reasons filled in stay as they are.
QString ProblemText(const char* source) {
    return QCoreApplication::translate("MessageDetail", source);
}
std::string Problem(const char* source, const std::string& a) {
    return ProblemText(source).arg(QString::fromStdString(a)).toStdString();
}
std::string Problem(const char* source, const std::string& a, const std::string& b) {
    return ProblemText(source)
        .arg(QString::fromStdString(a), QString::fromStdString(b))
        .toStdString();
}

constexpr std::string_view kNulSign = "\xe2\x90\x80";  // U+2400, shown for a NUL byte

bool IsBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// True when text is a run to collapse: long, of Base64 characters and line breaks only.
bool IsBase64Run(std::string_view text) {
    if (text.size() < kCollapsedRun) {
        return false;
    }
    std::size_t letters = 0;
    for (char c : text) {
        if (IsBase64Char(c)) {
            ++letters;
        } else if (!IsBlank(c)) {
            return false;
        }
    }
    return letters >= kCollapsedRun;
}

// Appends bytes for display: CR LF as LF, NUL as U+2400, lines longer than kDetailLineBytes
// cut, everything past kDetailTotalBytes left out. `column` is the length of the current line.
class DisplayText {
  public:
    explicit DisplayText(std::string& text) : text_(text) {}

    void Append(std::string_view bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (full_) {
                ++leftOut_;
                continue;
            }
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                continue;
            }
            if (c == '\n') {
                EndLine();
                text_ += '\n';
                column_ = 0;
                continue;
            }
            if (column_ >= kDetailLineBytes) {
                ++lineCut_;
                continue;
            }
            if (c == '\0') {
                text_ += kNulSign;
            } else {
                text_ += c;
            }
            ++column_;
            if (text_.size() >= kDetailTotalBytes) {
                full_ = true;
            }
        }
    }
    // Ends the text with the markers of what was left out.
    void Finish() {
        EndLine();
        if (leftOut_ > 0) {
            text_ += "\n... [" + Thousands(leftOut_) + " more bytes not shown]";
        }
    }
    std::size_t Column() const { return column_; }

  private:
    void EndLine() {
        if (lineCut_ > 0) {
            text_ += " ... [" + Thousands(lineCut_) + " more bytes]";
            lineCut_ = 0;
        }
    }
    std::string& text_;
    std::size_t column_ = 0;
    std::size_t lineCut_ = 0;
    std::uint64_t leftOut_ = 0;
    bool full_ = false;
};

// One token of a well-formed XML text.
struct Token {
    enum Kind { kText, kStart, kEnd, kEmpty, kCData, kOther } kind = kText;
    std::string_view bytes;
};

// The next token of xml at `at`; stops at the end of xml.
Token NextToken(std::string_view xml, std::size_t& at) {
    Token token;
    const std::size_t start = at;
    auto until = [&](std::string_view end) {
        const std::size_t found = xml.find(end, at);
        at = found == std::string_view::npos ? xml.size() : found + end.size();
    };
    if (xml[at] != '<') {
        const std::size_t next = xml.find('<', at);
        at = next == std::string_view::npos ? xml.size() : next;
        token.kind = Token::kText;
    } else if (xml.compare(at, 4, "<!--") == 0) {
        until("-->");
        token.kind = Token::kOther;
    } else if (xml.compare(at, 9, "<![CDATA[") == 0) {
        until("]]>");
        token.kind = Token::kCData;
    } else if (xml.compare(at, 2, "<?") == 0) {
        until("?>");
        token.kind = Token::kOther;
    } else {
        // A tag: up to the ">" outside quotes.
        char quote = 0;
        std::size_t i = at + 1;
        for (; i < xml.size(); ++i) {
            if (quote != 0) {
                quote = xml[i] == quote ? 0 : quote;
            } else if (xml[i] == '"' || xml[i] == '\'') {
                quote = xml[i];
            } else if (xml[i] == '>') {
                break;
            }
        }
        at = std::min(i + 1, xml.size());
        token.kind = xml.compare(start, 2, "</") == 0 ? Token::kEnd
                     : xml.compare(start, 2, "<!") == 0
                         ? Token::kOther
                         : (at >= 2 && xml[at - 2] == '/' ? Token::kEmpty : Token::kStart);
    }
    token.bytes = xml.substr(start, at - start);
    return token;
}

// True when the XML stands on fewer lines than it has elements by far: worth indenting.
bool LooksFlat(std::string_view xml) {
    const std::size_t lines = static_cast<std::size_t>(std::count(xml.begin(), xml.end(), '\n'));
    const std::size_t tags = static_cast<std::size_t>(std::count(xml.begin(), xml.end(), '<'));
    return tags >= 4 && lines * 4 < tags;
}

// Writes the XML body, each Base64 run collapsed; indented when asked.
class BodyWriter {
  public:
    BodyWriter(DetailText& detail, DisplayText& display, std::string_view body,
               const EventListing* listing, int firstNumber)
        : detail_(detail),
          display_(display),
          body_(body),
          listing_(listing),
          firstNumber_(firstNumber) {}

    void Write(bool indent) {
        int depth = 0;
        Token::Kind last = Token::kOther;
        for (std::size_t at = 0; at < body_.size();) {
            const Token token = NextToken(body_, at);
            if (!indent) {
                Emit(token);
                continue;
            }
            switch (token.kind) {
                case Token::kText:
                    if (token.bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
                        continue;  // layout between tags: made anew
                    }
                    if (last != Token::kStart) {
                        NewLine(depth);
                    }
                    Emit(token);
                    break;
                case Token::kStart:
                    NewLine(depth);
                    Emit(token);
                    ++depth;
                    break;
                case Token::kEnd:
                    depth = std::max(depth - 1, 0);
                    if (last != Token::kText && last != Token::kStart && last != Token::kCData) {
                        NewLine(depth);
                    }
                    Emit(token);
                    break;
                case Token::kCData:
                    if (last != Token::kStart) {
                        NewLine(depth);
                    }
                    Emit(token);
                    break;
                case Token::kEmpty:
                case Token::kOther:
                    NewLine(depth);
                    Emit(token);
                    break;
            }
            last = token.kind;
        }
    }

  private:
    void NewLine(int depth) {
        if (!started_) {
            started_ = true;
            return;
        }
        std::string indent(static_cast<std::size_t>(depth) + 1, '\t');
        indent.front() = '\n';
        display_.Append(indent);
    }

    void Emit(const Token& token) {
        started_ = true;
        if (token.kind == Token::kText && IsBase64Run(token.bytes)) {
            Collapse(token.bytes, token.bytes);
            return;
        }
        if (token.kind == Token::kCData && token.bytes.size() > 12) {
            const std::string_view content = token.bytes.substr(9, token.bytes.size() - 12);
            if (IsBase64Run(content)) {
                display_.Append("<![CDATA[");
                Collapse(content, content);
                display_.Append("]]>");
                return;
            }
        }
        display_.Append(token.bytes);
    }

    void Collapse(std::string_view run, std::string_view where) {
        DetailText::Run collapsed;
        collapsed.text.assign(run);
        collapsed.label = "[Base64, " + Thousands(run.size()) + " characters";
        const std::string picture = PictureOf(where);
        collapsed.label += picture.empty() ? "]" : ": picture " + picture + "]";
        collapsed.at = detail_.text.size();
        display_.Append(collapsed.label);
        // A label cut by the bounds of the text is no placeholder to expand.
        if (detail_.text.size() == collapsed.at + collapsed.label.size()) {
            detail_.runs.push_back(std::move(collapsed));
        }
    }

    // "snap id5" when the run is the text of one of the event's pictures; "" otherwise.
    std::string PictureOf(std::string_view run) const {
        if (listing_ == nullptr) {
            return std::string();
        }
        for (const EventPictureText& picture : listing_->pictures) {
            const bool same = picture.inBody ? picture.text.data() == run.data() &&
                                                   picture.text.size() == run.size()
                                             : picture.text == run;
            if (same) {
                std::string name = picture.kind;
                if (firstNumber_ != 0) {
                    name += " id" + std::to_string(firstNumber_ + picture.number);
                }
                return name;
            }
        }
        return std::string();
    }

    DetailText& detail_;
    DisplayText& display_;
    std::string_view body_;
    const EventListing* listing_;
    int firstNumber_;
    bool started_ = false;
};

}  // namespace

std::string Thousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

LogReader::LogReader(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
    }
}

LogReader::~LogReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

LoggedBytes LogReader::Read(std::uint64_t offset, std::uint64_t length, std::uint32_t fingerprint) {
    LoggedBytes read;
    if (fd_ < 0) {
        read.status = LoggedBytes::Status::Unreadable;
        read.error = error_;
        return read;
    }
    struct stat info {};
    if (fstat(fd_, &info) == 0 && static_cast<std::uint64_t>(info.st_size) < offset + length) {
        read.status = LoggedBytes::Status::Gone;
        read.logSize = static_cast<std::uint64_t>(info.st_size);
        return read;
    }
    try {
        read.bytes.resize(length);
    } catch (...) {
        read.status = LoggedBytes::Status::Unreadable;
        read.error = "not enough memory for " + Thousands(length) + " bytes";
        return read;
    }
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n =
            pread(fd_, read.bytes.data() + got, length - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            read.status = n == 0 ? LoggedBytes::Status::Gone : LoggedBytes::Status::Unreadable;
            read.error = n == 0 ? "" : std::strerror(errno);
            read.logSize = offset + got;
            read.bytes.clear();
            return read;
        }
        got += static_cast<std::size_t>(n);
    }
    if (fingerprint != 0 &&
        LogFingerprint(read.bytes.data(), read.bytes.size(), length) != fingerprint) {
        read.status = LoggedBytes::Status::Replaced;
        read.bytes.clear();
    }
    return read;
}

LoggedBytes ReadLoggedBytes(const std::string& path, std::uint64_t offset, std::uint64_t length,
                            std::uint32_t fingerprint) {
    LogReader reader(path);
    return reader.Read(offset, length, fingerprint);
}

std::string LoggedBytesProblem(const LoggedBytes& read, const std::string& path) {
    switch (read.status) {
        case LoggedBytes::Status::Ok:
            break;
        case LoggedBytes::Status::Unreadable:
            return Problem(QT_TRANSLATE_NOOP("MessageDetail",
                                             "The log %1 cannot be read (%2): the text of this "
                                             "message cannot be shown."),
                           path, read.error);
        case LoggedBytes::Status::Gone:
            return Problem(QT_TRANSLATE_NOOP("MessageDetail",
                                             "The text is no longer in the log: %1 now ends at "
                                             "byte %2, before this message ends."),
                           path, Thousands(read.logSize));
        case LoggedBytes::Status::Replaced:
            return Problem(QT_TRANSLATE_NOOP("MessageDetail",
                                             "The text is no longer in the log: %1 holds other "
                                             "bytes there now (it was emptied or replaced since)."),
                           path);
    }
    return std::string();
}

DetailText BuildDetailText(std::string_view message, bool event, int firstNumber, bool indent) {
    DetailText detail;
    DisplayText display(detail.text);
    const MessageFrame frame = FrameMessage(message.data(), message.size());
    std::size_t bodyStart = message.size();
    if (frame.kind != MessageKind::Other && frame.state == MessageFrame::State::Framed &&
        (frame.decodable || frame.bodyLength > 0)) {
        bodyStart = frame.bodyStart;
    } else {
        // A request the tool sent, or a message without a usable length: the body follows
        // the first blank line.
        const std::size_t crlf = message.find("\r\n\r\n");
        const std::size_t lf = message.find("\n\n");
        bodyStart = std::min(crlf == std::string_view::npos ? message.size() : crlf + 4,
                             lf == std::string_view::npos ? message.size() : lf + 2);
        const bool http = message.substr(0, 4) == "POST" || message.substr(0, 4) == "HTTP" ||
                          message.substr(0, 4) == "GET " || message.substr(0, 4) == "PUT ";
        if (!http) {
            bodyStart = 0;  // other data: all of it is "body"
        }
    }
    const std::string_view head = message.substr(0, bodyStart);
    const std::string_view body = message.substr(bodyStart);
    display.Append(head);

    std::string problem;
    const BodyXml xml = CheckBodyXml(body, &problem);
    if (xml != BodyXml::WellFormed) {
        if (xml == BodyXml::Broken) {
            detail.problem =
                Problem(QT_TRANSLATE_NOOP("MessageDetail",
                                          "The XML body does not parse (%1): shown as it arrived."),
                        problem);
        } else if (!body.empty() && !head.empty()) {
            detail.problem =
                ProblemText(
                    QT_TRANSLATE_NOOP("MessageDetail", "The body is not XML: shown as it arrived."))
                    .toStdString();
        }
        display.Append(body);
        display.Finish();
        return detail;
    }
    EventListing listing;
    if (event && frame.decodable) {
        listing = ListEvent(message.substr(frame.bodyStart, frame.bodyLength));
        for (const EventPictureText& picture : listing.pictures) {
            detail.pictures.push_back({picture.kind,
                                       firstNumber != 0 ? firstNumber + picture.number : 0,
                                       std::string(picture.text)});
        }
    }
    detail.indented = indent && LooksFlat(body);
    BodyWriter(detail, display, body, event && frame.decodable ? &listing : nullptr, firstNumber)
        .Write(detail.indented);
    display.Finish();
    return detail;
}

std::string ExpandedRun(std::string_view run, std::size_t maxBytes) {
    std::string shown;
    const bool ownLines = run.find('\n') != std::string_view::npos;
    const std::size_t count = std::min(run.size(), maxBytes);
    shown.reserve(count + count / 76 + 64);
    for (std::size_t i = 0; i < count; ++i) {
        const char c = run[i];
        if (ownLines) {
            if (c != '\r') {
                shown += c;
            }
            continue;
        }
        if (i > 0 && i % 76 == 0) {
            shown += '\n';
        }
        shown += c;
    }
    if (count < run.size()) {
        shown += "\n... [" + Thousands(run.size() - count) + " more characters; Copy gives all]";
    }
    return shown;
}
