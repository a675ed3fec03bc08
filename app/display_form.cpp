#include "app/display_form.h"

#include <cstring>

#include "app/request_text.h"

namespace {
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// How many of the `length` bytes at `start` to keep when at most `wanted` of them may be
// kept: wanted, moved back to the start of a UTF-8 sequence that it would cut. Invalid
// sequences (more than three continuation bytes) are cut where asked.
std::size_t Utf8Floor(std::string_view bytes, std::size_t start, std::size_t length,
                      std::size_t wanted) {
    if (wanted >= length)
        return length;
    std::size_t keep = wanted;
    for (int back = 0; back < 3 && keep > 0 && IsContinuation(bytes[start + keep]); ++back)
        --keep;
    return IsContinuation(bytes[start + keep]) ? wanted : keep;
}

std::string WithThousands(std::size_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}
}  // namespace

std::string OmissionMarker(std::size_t count, const char* holder) {
    std::string marker =
        " ... [" + WithThousands(count) + (count == 1 ? " more byte" : " more bytes");
    if (holder != nullptr && *holder != '\0') {
        marker += "; ";
        marker += holder;
        marker += " holds all";
    }
    marker += ']';
    return marker;
}

bool FitsDisplayBounds(std::string_view bytes, const DisplayBounds& bounds) {
    if (bounds.totalBytes > 0 && bytes.size() > bounds.totalBytes)
        return false;
    if (bounds.lineBytes == 0)
        return true;
    const char* const data = bytes.data();
    const char* const end = data + bytes.size();
    const char* line = data;
    while (line < end) {
        const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
        const char* lineEnd = lf ? static_cast<const char*>(lf) : end;
        if (static_cast<std::size_t>(lineEnd - line) > bounds.lineBytes)
            return false;
        line = lineEnd + 1;
    }
    return true;
}

std::string DisplayFormBytes(std::string_view bytes, const DisplayBounds& bounds) {
    if (FitsDisplayBounds(bytes, bounds))
        return std::string(bytes);
    const std::size_t size = bytes.size();
    const std::size_t lineBound = bounds.lineBytes > 0 ? bounds.lineBytes : size;
    const std::size_t totalBound = bounds.totalBytes > 0 ? bounds.totalBytes : std::string::npos;
    std::string out;
    out.reserve(std::min(size, totalBound) + 64);
    std::size_t pos = 0;
    while (pos < size) {
        const void* lf = std::memchr(bytes.data() + pos, '\n', size - pos);
        const std::size_t lineEnd =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) : size;
        const std::size_t length = lineEnd - pos;
        const std::size_t keep = Utf8Floor(bytes, pos, length, lineBound);
        const std::size_t room = out.size() < totalBound ? totalBound - out.size() : 0;
        if (keep + (lf ? 1 : 0) > room) {
            // The whole text reaches its bound here: show what fits, then say what is left.
            const std::size_t last = Utf8Floor(bytes, pos, length, std::min(keep, room));
            out.append(bytes.substr(pos, last));
            out += OmissionMarker(size - pos - last, bounds.holder);
            return out;
        }
        out.append(bytes.substr(pos, keep));
        if (keep < length)
            out += OmissionMarker(length - keep, bounds.holder);
        if (!lf)
            break;
        out += '\n';
        pos = lineEnd + 1;
    }
    return out;
}

QString DisplayForm(std::string_view bytes, const DisplayBounds& bounds) {
    if (FitsDisplayBounds(bytes, bounds))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return BytesForDisplay(DisplayFormBytes(bytes, bounds));
}
