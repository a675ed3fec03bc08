#include "receive/message_framing.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

bool IsPrefixOf(std::string_view start, std::string_view word) {
    return start.size() <= word.size() && word.substr(0, start.size()) == start;
}

// Offset of the first occurrence of `needle` in text[from, size), or `size` when absent.
std::size_t FindText(const char* text, std::size_t size, std::size_t from, const char* needle) {
    if (from > size) {
        return size;
    }
    const std::size_t at = std::string_view(text, size).find(needle, from);
    return at == kNotFound ? size : at;
}

// Offset just past the first blank line ("\r\n\r\n" or "\n\n") of text, or kNotFound.
std::size_t HeadEnd(std::string_view text) {
    const std::size_t crlf = text.find("\r\n\r\n");
    // A "\n\n" counts only before the first "\r\n\r\n": no need to scan a whole body for it.
    const std::size_t lf = text.substr(0, crlf == kNotFound ? text.size() : crlf).find("\n\n");
    if (lf != kNotFound) {
        return lf + 2;
    }
    return crlf == kNotFound ? kNotFound : crlf + 4;
}

// A message whose length is not known: it ends with the bytes held.
MessageFrame Unframed(MessageKind kind, std::size_t size, bool tooLarge = false) {
    MessageFrame frame;
    frame.kind = kind;
    frame.total = size;
    frame.tooLarge = tooLarge;
    frame.open = true;
    return frame;
}

MessageFrame NeedMore(MessageKind kind, std::size_t want) {
    MessageFrame frame;
    frame.state = MessageFrame::State::NeedMore;
    frame.kind = kind;
    frame.want = want;
    return frame;
}

MessageFrame FrameEvent(const char* data, std::size_t size, std::string_view text) {
    std::size_t xml = text.find("<?xml");
    const std::size_t headEnd = HeadEnd(xml == kNotFound ? text : text.substr(0, xml));
    if (headEnd == kNotFound && xml == kNotFound) {
        if (text.size() == size && size < kMaxHeadLength) {
            return NeedMore(MessageKind::Event, 0);
        }
        return Unframed(MessageKind::Event, size);
    }
    bool found = false;
    const std::uint64_t length = ContentLengthValue(data, xml != kNotFound ? xml : headEnd, found);
    if (!found) {
        return Unframed(MessageKind::Event, size);
    }
    if (length > kMaxContentLength) {
        return Unframed(MessageKind::Event, size, true);
    }
    if (xml != kNotFound && headEnd != kNotFound && xml > headEnd + length) {
        xml = kNotFound;  // it belongs to what follows the message
    }
    if (xml == kNotFound) {
        // The body has not shown its "<?xml" yet: wait for the bytes the length promises.
        const std::size_t end = headEnd + static_cast<std::size_t>(length);
        if (size < end && text.size() == size) {
            return NeedMore(MessageKind::Event, end - size);
        }
        MessageFrame frame = Unframed(MessageKind::Event, end);
        frame.open = false;  // framed by its length, only without a body to decode
        return frame;
    }
    MessageFrame frame;
    frame.kind = MessageKind::Event;
    frame.decodable = true;
    frame.bodyStart = xml;
    frame.bodyLength = static_cast<std::size_t>(length);
    frame.total = xml + frame.bodyLength;
    return frame;
}

MessageFrame FrameResponse(const char* data, std::size_t size, std::string_view text) {
    const std::size_t headEnd = HeadEnd(text);
    if (headEnd == kNotFound) {
        if (text.size() == size && size < kMaxHeadLength) {
            return NeedMore(MessageKind::Response, 0);
        }
        return Unframed(MessageKind::Response, size);
    }
    bool found = false;
    const std::uint64_t length = ContentLengthValue(data, headEnd, found);
    if (!found) {
        return Unframed(MessageKind::Response, size);
    }
    if (length > kMaxContentLength) {
        return Unframed(MessageKind::Response, size, true);
    }
    MessageFrame frame;
    frame.kind = MessageKind::Response;
    frame.bodyStart = headEnd;
    frame.bodyLength = static_cast<std::size_t>(length);
    frame.total = headEnd + frame.bodyLength;
    return frame;
}

}  // namespace

std::uint64_t ContentLengthValue(const char* text, std::size_t size, bool& found) {
    static constexpr char kName[] = "Content-Length:";
    constexpr std::size_t kNameLength = sizeof(kName) - 1;
    const std::size_t at = FindText(text, size, 0, kName);
    found = at < size;
    if (!found) {
        return 0;
    }
    const std::size_t start = at + kNameLength;
    std::size_t end = FindText(text, size, start, "Content");
    const std::size_t lineEnd = FindText(text, size, start, "\n");
    if (lineEnd < end) {
        end = lineEnd;
    }
    std::size_t i = start;
    while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\v' ||
                       text[i] == '\f')) {
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return UINT64_MAX;
        }
        value = value * 10 + digit;
    }
    return value;
}

int ResponseStatus(const char* text, std::size_t size) {
    const std::string_view line(text, size);
    const std::size_t blank = line.find(' ');
    if (line.compare(0, 4, "HTTP") != 0 || blank == std::string_view::npos || blank + 3 >= size) {
        return 0;
    }
    int status = 0;
    for (std::size_t i = blank + 1; i < blank + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return 0;
        }
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

bool FindServerAddress(const char* text, std::size_t size, std::string& address) {
    const std::size_t name = FindText(text, size, 0, "serverAddress");
    if (name == 0 || name >= size) {
        return false;
    }
    const std::size_t cdata = FindText(text, size, name, "CDATA[");
    if (cdata >= size) {
        return false;
    }
    const std::size_t start = cdata + 6;
    const std::size_t end = FindText(text, size, start, "]]>");
    if (end >= size) {
        return false;
    }
    address.assign(text + start, end - start);
    return true;
}

MessageFrame FrameMessage(const char* data, std::size_t size) {
    const void* nul = size == 0 ? nullptr : std::memchr(data, '\0', size);
    return FrameMessage(
        data, size,
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - data));
}

MessageFrame FrameMessage(const char* data, std::size_t size, std::size_t textLength) {
    const std::string_view text(data, textLength < size ? textLength : size);
    if (text.size() < 4) {
        if (!text.empty() && text.size() == size) {
            if (IsPrefixOf(text, "POST")) {
                return NeedMore(MessageKind::Event, 0);
            }
            if (IsPrefixOf(text, "HTTP")) {
                return NeedMore(MessageKind::Response, 0);
            }
        }
        return Unframed(MessageKind::Other, size);
    }
    if (text.substr(0, 4) == "POST") {
        return FrameEvent(data, size, text);
    }
    if (text.substr(0, 4) == "HTTP") {
        return FrameResponse(data, size, text);
    }
    return Unframed(MessageKind::Other, size);
}
