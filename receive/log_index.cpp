#include "receive/log_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "receive/event_decoder.h"
#include "receive/message_framing.h"
#include "receive/picture_archive.h"

namespace {

// Bytes framed at once: every head the receive path waits for fits.
constexpr std::size_t kHeadWindow = 64 * 1024;
static_assert(kHeadWindow > kMaxHeadLength);
// Least bytes read from the file at once.
constexpr std::size_t kReadChunk = 1024 * 1024;
// Length of the two notes.
constexpr std::size_t kNoteLength = 29;
// The start that every note shares, searched for between messages.
constexpr std::string_view kNoteStart = "\n\nCreateDirectory ";

std::size_t Find(std::string_view text, std::string_view what, std::size_t from) {
    if (from >= text.size()) {
        return text.size();
    }
    const void* at = memmem(text.data() + from, text.size() - from, what.data(), what.size());
    return at == nullptr ? text.size()
                         : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
}

}  // namespace

bool StartsWithNote(std::string_view text) {
    return text.substr(0, kNoteLength) == kPicFolderNote ||
           text.substr(0, kNoteLength) == kSmartTypeFolderNote;
}

std::size_t NextMessageStart(std::string_view text, std::size_t from) {
    std::size_t best = Find(text, "POST ", from);
    for (std::size_t at = Find(text, "HTTP/", from); at < best; at = Find(text, "HTTP/", at + 1)) {
        if (at == 0 || text[at - 1] != ' ') {
            best = at;
        }
    }
    for (std::size_t at = Find(text, kNoteStart, from); at < best;
         at = Find(text, kNoteStart, at + 1)) {
        if (StartsWithNote(text.substr(at))) {
            best = at;
        }
    }
    return best;
}

LogIndexer::LogIndexer() = default;

LogIndexer::~LogIndexer() {
    Close();
}

void LogIndexer::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    inMemory_ = false;
    memory_ = {};
    bufferStart_ = 0;
    filled_ = 0;
    position_ = 0;
    size_ = 0;
    nextNumber_ = 1;
    error_.clear();
}

bool LogIndexer::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        Close();
        error_ = folder ? "it is a folder" : "it is not a regular file";
        return false;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void LogIndexer::OpenBytes(std::string_view bytes) {
    Close();
    inMemory_ = true;
    memory_ = bytes;
    size_ = bytes.size();
}

const char* LogIndexer::Window(std::uint64_t offset, std::size_t want, std::size_t& got) {
    got = 0;
    if (inMemory_) {
        if (offset >= memory_.size()) {
            return memory_.data();
        }
        got = memory_.size() - static_cast<std::size_t>(offset);
        return memory_.data() + offset;
    }
    if (fd_ < 0) {
        return nullptr;
    }
    if (offset >= bufferStart_ && offset - bufferStart_ <= filled_) {
        const std::size_t at = static_cast<std::size_t>(offset - bufferStart_);
        if (filled_ - at >= want) {
            got = filled_ - at;
            return buffer_.get() + at;
        }
        if (at > 0 && filled_ > at) {
            std::memmove(buffer_.get(), buffer_.get() + at, filled_ - at);
        }
        filled_ -= at;
    } else {
        filled_ = 0;
    }
    bufferStart_ = offset;
    const std::size_t capacity = std::max(want, kReadChunk);
    if (capacity_ < capacity) {
        std::unique_ptr<char[]> larger(new (std::nothrow) char[capacity]);
        if (!larger) {
            error_ = "not enough memory for a message of " + std::to_string(want) + " bytes";
            return nullptr;
        }
        if (filled_ > 0) {
            std::memcpy(larger.get(), buffer_.get(), filled_);
        }
        buffer_ = std::move(larger);
        capacity_ = capacity;
    }
    while (filled_ < want) {
        const ssize_t n = pread(fd_, buffer_.get() + filled_, capacity_ - filled_,
                                static_cast<off_t>(bufferStart_ + filled_));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error_ = std::strerror(errno);
            return nullptr;
        }
        if (n == 0) {
            break;  // the end of the file
        }
        filled_ += static_cast<std::size_t>(n);
    }
    got = filled_;
    return buffer_.get();
}

std::uint64_t LogIndexer::OtherEnd(std::uint64_t offset) {
    std::size_t want = kHeadWindow;
    std::size_t from = 1;  // a stretch never ends before its first byte
    for (;;) {
        std::size_t got = 0;
        const char* data = Window(offset, want, got);
        if (data == nullptr) {
            return offset + 1;  // Next reports the error
        }
        const std::size_t start = NextMessageStart(std::string_view(data, got), from);
        if (start < got) {
            return offset + start;
        }
        if (got < want || got >= kMaxOtherLength) {
            return offset + std::min<std::uint64_t>(got, kMaxOtherLength);
        }
        // A start cut by the window's end is found in the next, larger one.
        from = got - kNoteLength;
        want = static_cast<std::size_t>(std::min<std::uint64_t>(2ull * got, kMaxOtherLength));
    }
}

bool LogIndexer::Next(LogEntry& entry) {
    if (!error_.empty()) {
        return false;
    }
    std::size_t got = 0;
    const char* data = Window(position_, kHeadWindow, got);
    if (data == nullptr || got == 0) {
        return false;
    }
    entry = LogEntry{};
    entry.offset = position_;
    auto textLength = [&](std::size_t size) {
        const void* nul = std::memchr(data, '\0', size);
        return nul == nullptr ? size
                              : static_cast<std::size_t>(static_cast<const char*>(nul) - data);
    };
    auto finish = [&](std::uint64_t length) {
        entry.length = std::max<std::uint64_t>(length, 1);
        std::size_t head = 0;
        data = Window(position_, kFingerprintBytes, head);
        if (data == nullptr) {
            return false;
        }
        entry.fingerprint = LogFingerprint(
            data, static_cast<std::size_t>(std::min<std::uint64_t>(head, entry.length)),
            entry.length);
        position_ += entry.length;
        return true;
    };

    if (StartsWithNote(std::string_view(data, got))) {
        entry.note = true;
        return finish(kNoteLength);
    }
    std::size_t frameSize = std::min(got, kHeadWindow);
    MessageFrame frame = FrameMessage(data, frameSize, textLength(frameSize));
    while (frame.state == MessageFrame::State::NeedMore) {
        // As the receive loop reads on: the bytes the head promises, or another window.
        const std::size_t want = frameSize + std::max(frame.want, kHeadWindow);
        data = Window(position_, want, got);
        if (data == nullptr) {
            return false;
        }
        if (got <= frameSize) {
            break;  // the log ends first
        }
        frameSize = std::min(got, want);
        frame = FrameMessage(data, frameSize, textLength(frameSize));
    }
    entry.kind = frame.kind;
    if (frame.state == MessageFrame::State::NeedMore) {
        entry.complete = false;
        return finish(got);
    }
    if (frame.open) {
        return finish(OtherEnd(position_) - position_);
    }
    data = Window(position_, frame.total, got);
    if (data == nullptr) {
        return false;
    }
    if (got < frame.total) {
        entry.complete = false;
        return finish(got);
    }
    if (frame.kind == MessageKind::Response) {
        entry.status = ResponseStatus(data, textLength(std::min<std::size_t>(frame.total, 64)));
        if (frame.bodyLength > 0) {
            entry.wellFormed = CheckBodyXml(std::string_view(data + frame.bodyStart,
                                                             frame.bodyLength)) != BodyXml::Broken;
        }
    } else if (frame.decodable) {
        const EventListing listing =
            ListEvent(std::string_view(data + frame.bodyStart, frame.bodyLength));
        entry.decoded = true;
        entry.wellFormed = listing.wellFormed;
        entry.smartType = listing.smartType;
        entry.pictures = static_cast<int>(listing.pictures.size());
        entry.numbersDrawn = listing.numbersDrawn;
        if (listing.numbersDrawn > 0) {
            entry.firstNumber = static_cast<int>(nextNumber_);
            nextNumber_ += static_cast<std::uint32_t>(listing.numbersDrawn);
        }
    }
    return finish(frame.total);
}
