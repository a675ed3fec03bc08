#include "receive/receive_thread.h"

#include <pthread.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "net/transport.h"
#include "receive/archive_writer.h"
#include "receive/event_decoder.h"
#include "receive/message_framing.h"

namespace {

// A receive buffer, and the loan under which the archive writer may view it.
struct Buffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    WriterLoan loan;
};

// Buffers of loops that ended, kept for the next connection: memory new to the process costs
// a page fault per page when first touched, which on some virtual machines costs more than
// reading the page's bytes from the network, so a reconnect should not pay it again.
class KeptBuffers {
  public:
    static constexpr std::size_t kMost = 4;
    // A kept buffer (the largest), or null.
    static std::unique_ptr<Buffer> Take() {
        std::lock_guard<std::mutex> hold(lock_);
        if (kept_.empty()) {
            return nullptr;
        }
        std::unique_ptr<Buffer> buffer = std::move(kept_.back());
        kept_.pop_back();
        return buffer;
    }
    // Keeps a buffer that nobody views any more, unless kMost are kept or it is larger than
    // `largest`.
    static void Give(std::unique_ptr<Buffer> buffer, std::size_t largest) {
        std::lock_guard<std::mutex> hold(lock_);
        if (kept_.size() < kMost && buffer->capacity <= largest) {
            try {
                kept_.push_back(std::move(buffer));
                std::sort(kept_.begin(), kept_.end(),
                          [](const auto& a, const auto& b) { return a->capacity < b->capacity; });
            } catch (...) {
            }
        }
    }

  private:
    static inline std::mutex lock_;
    static inline std::vector<std::unique_ptr<Buffer>> kept_;
};

// The thread's receive buffers: the current one is read into; the others may be lent to the
// archive writer, which decodes pictures from them where they lie. A buffer is taken from the
// kept ones or allocated when needed (at most kBuffers), grown for a larger message, never
// shrunk and never zeroed (texts are cut at the first NUL by memchr over the bytes held).
class ReceiveBuffers {
  public:
    // Buffers above this size are not lent (their pictures are copied): at most kBuffers - 1
    // of them are out at once, so what is lent stays bounded.
    static constexpr std::size_t kMaxLent = 8 * 1024 * 1024;
    static constexpr std::size_t kBuffers = 4;

    explicit ReceiveBuffers(ArchiveWriter& writer) : writer_(writer) {}
    // Waits until no buffer is lent any more (the writer may still read them), then keeps
    // those that are not too large for the next loop.
    ~ReceiveBuffers() {
        for (std::unique_ptr<Buffer>& buffer : buffers_) {
            writer_.WaitForReturn(buffer->loan);
            KeptBuffers::Give(std::move(buffer), kMaxLent);
        }
    }
    ReceiveBuffers(const ReceiveBuffers&) = delete;
    ReceiveBuffers& operator=(const ReceiveBuffers&) = delete;

    // The first buffer. False when memory is short.
    bool Allocate(std::size_t capacity) { return Add(capacity); }
    // Makes room for `capacity` bytes keeping the first `held`. False when memory is short.
    bool Reserve(std::size_t capacity, std::size_t held) {
        return Grow(*buffers_[current_], capacity, held);
    }
    char* Data() { return buffers_[current_]->data.get(); }
    std::size_t Capacity() const { return buffers_[current_]->capacity; }
    // The loan under which the pictures of the message just framed may view this buffer;
    // null when the buffer is too large to lend.
    WriterLoan* Loan() {
        Buffer& buffer = *buffers_[current_];
        return buffer.capacity <= kMaxLent ? &buffer.loan : nullptr;
    }
    // After a message was handed out: puts the `held` bytes at `from` (what follows the
    // message) at the start of a buffer that is not lent: this one when it is not, else another
    // one that is back or new, else the one lent longest ago, once it is back.
    void Continue(std::size_t from, std::size_t held) {
        Buffer& lent = *buffers_[current_];
        if (writer_.Out(lent.loan)) {
            const std::size_t count = buffers_.size();
            std::size_t next = count;
            for (std::size_t i = 1; i < count && next == count; ++i) {
                if (!writer_.Out(buffers_[(current_ + i) % count]->loan)) {
                    next = (current_ + i) % count;
                }
            }
            if (next == count && count < kBuffers && Add(std::max(kReceiveBufferSize, held + 1))) {
                next = count;
            } else if (next == count && count > 1) {
                next = (current_ + 1) % count;
                writer_.WaitForReturn(buffers_[next]->loan);
            }
            if (next < buffers_.size() && Grow(*buffers_[next], held + 1, 0)) {
                std::memcpy(buffers_[next]->data.get(), lent.data.get() + from, held);
                current_ = next;
                return;
            }
            writer_.WaitForReturn(lent.loan);  // memory is short: wait for this one
        }
        if (held > 0 && from > 0) {
            std::memmove(lent.data.get(), lent.data.get() + from, held);
        }
    }

  private:
    // Appends a buffer of `capacity` bytes; false when memory is short.
    bool Add(std::size_t capacity) {
        std::unique_ptr<Buffer> buffer = KeptBuffers::Take();
        if (!buffer) {
            buffer.reset(new (std::nothrow) Buffer);
        }
        if (!buffer || !Grow(*buffer, capacity, 0)) {
            return false;
        }
        try {
            buffers_.push_back(std::move(buffer));
        } catch (...) {
            return false;
        }
        return true;
    }
    static bool Grow(Buffer& buffer, std::size_t capacity, std::size_t held) {
        if (capacity <= buffer.capacity) {
            return true;
        }
        std::unique_ptr<char[]> larger(new (std::nothrow) char[capacity]);
        if (!larger) {
            return false;
        }
        if (held > 0) {
            std::memcpy(larger.get(), buffer.data.get(), held);
        }
        buffer.data = std::move(larger);
        buffer.capacity = capacity;
        return true;
    }

    ArchiveWriter& writer_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    std::size_t current_ = 0;
};

// Offset of the first NUL in data[from, size), or size.
std::size_t FirstNul(const char* data, std::size_t from, std::size_t size) {
    const void* nul = from >= size ? nullptr : std::memchr(data + from, '\0', size - from);
    return nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - data);
}

// Where the bytes held lie in the log: one span per run of bytes that went to the log one after
// the other (or did not go at all), in buffer order. Usually one span: a message's reads follow
// each other in the log, and notes are only written between messages.
class LogSpans {
  public:
    // A read of `count` bytes was appended to the bytes held; the first `logged` of them went to
    // the log at `offset`.
    void Add(std::size_t count, std::size_t logged, std::uint64_t offset) {
        Extend(logged, true, offset);
        Extend(count - logged, false, 0);
    }
    // The first `end` bytes held as they lie in the log: the offset of the first one logged,
    // how many were logged, and the fingerprint of those bytes (0 when none were).
    void Locate(const char* data, std::size_t end, std::uint64_t& offset, std::size_t& length,
                std::uint32_t& fingerprint) const {
        offset = 0;
        length = 0;
        char head[kFingerprintBytes];
        std::size_t headSize = 0;
        std::size_t at = 0;
        for (const Span& span : spans_) {
            if (at >= end) {
                break;
            }
            const std::size_t count = std::min(span.count, end - at);
            if (span.logged) {
                if (length == 0) {
                    offset = span.offset;
                }
                const std::size_t copy = std::min(count, kFingerprintBytes - headSize);
                std::memcpy(head + headSize, data + at, copy);
                headSize += copy;
                length += count;
            }
            at += count;
        }
        fingerprint = length == 0 ? 0 : LogFingerprint(head, headSize, length);
    }
    // Drops the first `end` bytes held.
    void Consume(std::size_t end) {
        std::size_t gone = 0;
        while (gone < spans_.size() && end >= spans_[gone].count) {
            end -= spans_[gone++].count;
        }
        spans_.erase(spans_.begin(), spans_.begin() + static_cast<std::ptrdiff_t>(gone));
        if (end > 0 && !spans_.empty()) {
            spans_.front().count -= end;
            if (spans_.front().logged) {
                spans_.front().offset += end;
            }
        }
    }
    void Clear() { spans_.clear(); }

  private:
    struct Span {
        std::size_t count = 0;
        bool logged = false;
        std::uint64_t offset = 0;  // logged: where its first byte lies in the log
    };
    void Extend(std::size_t count, bool logged, std::uint64_t offset) {
        if (count == 0) {
            return;
        }
        if (!spans_.empty()) {
            Span& last = spans_.back();
            if (last.logged == logged && (!logged || last.offset + last.count == offset)) {
                last.count += count;
                return;
            }
        }
        spans_.push_back({count, logged, offset});
    }
    std::vector<Span> spans_;
};

// Milliseconds since 1970 by the system clock.
std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Reports the folder notes the log received since the last look, after the message before them.
void ReportNotes(TrafficLog& log, ArchiveWriter& writer) {
    const std::vector<LoggedNote> notes = log.TakeWrittenNotes();
    if (notes.empty()) {
        return;
    }
    const std::int64_t now = NowMs();
    for (const LoggedNote& note : notes) {
        MessageReport report;
        report.note = true;
        report.complete = true;
        report.length = std::strlen(note.text);
        report.logOffset = note.offset;
        report.logLength = report.length;
        report.fingerprint = LogFingerprint(note.text, report.length, report.length);
        report.timeMs = now;
        writer.QueueReport(std::move(report));
    }
}

// Shows, records and decodes the message data[0, length); its pictures and its report go
// through the writer. textEnd: offset of the first NUL among the bytes held (or their count).
// The report carries where the message lies in the log (spans) and its time (timeMs).
void HandOut(const ReceiveContext& context, Transport& transport, ArchiveWriter& writer,
             WriterLoan* loan, const char* data, std::size_t length, std::size_t textEnd,
             const MessageFrame& frame, bool complete, const LogSpans& spans, std::int64_t timeMs) {
    MessageReport report;
    report.kind = frame.kind;
    report.length = length;
    if (frame.kind == MessageKind::Response) {
        report.status = ResponseStatus(data, std::min(length, textEnd));
        if (complete && context.answerHook != nullptr) {
            std::string back =
                context.answerHook->OnAnswer(std::string_view(data, length), report.status);
            if (!back.empty()) {
                transport.WriteSoon(std::move(back));
                report.sentAgain = true;
            }
        }
    }
    report.complete = complete;
    report.timeMs = timeMs;
    spans.Locate(data, length, report.logOffset, report.logLength, report.fingerprint);
    const std::size_t textLength = textEnd < length ? textEnd : length;
    if (frame.kind != MessageKind::Other && context.observer != nullptr) {
        context.observer->OnResponseText(std::string_view(data, textLength));
    }
    if (complete && frame.kind == MessageKind::Response && context.serverAddress != nullptr) {
        std::string address;
        if (FindServerAddress(data, textLength, address)) {
            context.serverAddress->Set(std::move(address));
        }
    }
    if (complete && frame.kind == MessageKind::Response && !frame.open && frame.bodyLength > 0) {
        report.wellFormed = CheckBodyXml(std::string_view(data + frame.bodyStart,
                                                          frame.bodyLength)) != BodyXml::Broken;
    }
    if (complete && frame.decodable) {
        // The decoder reads the body where it lies in the buffer; the writer decodes the
        // pictures from there too, under the buffer's loan.
        const PictureArchive archive{context.programFolder, context.log, &writer, loan};
        DecodeResult result =
            DecodeEvent(archive, data + frame.bodyStart, static_cast<int>(frame.bodyLength));
        report.decoded = true;
        report.smartType = std::move(result.smartType);
        report.pictures = std::move(result.pictures);
        report.wellFormed = result.wellFormed;
        report.firstNumber = result.firstNumber;
        report.numbersDrawn = result.numbersDrawn;
    }
    writer.QueueReport(std::move(report));
}

}  // namespace

long RecvAndLog(TrafficLog& log, Transport& transport, char* buffer, std::size_t size) {
    const long received = transport.Read(buffer, size);
    if (received > 0 && log.Open() && buffer[0] != '\0') {
        log.Append(buffer, static_cast<std::size_t>(received));
    }
    return received;
}

void RecvThreadProc(ReceiveSession& session) {
    const ReceiveContext& context = session.context;
    // Drivers on one thread hand over a socket of their own.
    std::unique_ptr<Transport> borrowed;
    if (session.transport == nullptr) {
        borrowed = Transport::Borrowing(session.socket);
    }
    Transport& transport = session.transport != nullptr ? *session.transport : *borrowed;
    // Files pictures and passes reports on; every job is done before this function returns.
    ArchiveWriter writer(context.observer);
    ReceiveBuffers buffer(writer);
    if (!buffer.Allocate(kReceiveBufferSize)) {
        session.peerClosed.store(true);
        session.stop.WaitForStop();
        return;
    }
    TrafficLog& log = *context.log;
    LogSpans spans;           // where the bytes held lie in the log
    std::int64_t readMs = 0;  // when the last read delivered bytes
    auto read = [&](std::size_t at, std::size_t ask) {
        const std::uint64_t logged = log.Size();
        const long n = RecvAndLog(log, transport, buffer.Data() + at, ask);
        if (context.observer != nullptr) {
            context.observer->OnRead(ask, n);
        }
        if (n <= 0) {
            session.peerClosed.store(true);
        } else {
            readMs = NowMs();
            // A log opened by this read starts at 0, as Size() did while it was closed.
            spans.Add(static_cast<std::size_t>(n), static_cast<std::size_t>(log.Size() - logged),
                      logged);
        }
        return n;
    };

    std::size_t held = 0;  // bytes at the buffer's start: the current message and what follows
    // Offset of the first NUL among the bytes held, or held when there is none: searched once
    // per byte as the bytes arrive, never again per framing.
    std::size_t textEnd = 0;
    auto arrived = [&](std::size_t from) {
        if (textEnd == from) {
            textEnd = FirstNul(buffer.Data(), from, held);
        }
    };
    // Hands out the first `end` bytes held as a message and drops them; what follows starts
    // the next one. Notes wait while bytes of a later message are in the log already.
    auto handOut = [&](std::size_t end, const MessageFrame& frame, bool whole) {
        log.SetAtBoundary(end == held);
        HandOut(context, transport, writer, buffer.Loan(), buffer.Data(), end, textEnd, frame,
                whole, spans, readMs);
        ReportNotes(log, writer);
        held -= end;
        spans.Consume(end);
        buffer.Continue(end, held);
        // The first NUL of what is left: the one found already if it lay past the end, else
        // one searched for anew.
        textEnd = textEnd >= end ? textEnd - end : FirstNul(buffer.Data(), 0, held);
        if (held == 0) {
            log.SetAtBoundary(true);
            ReportNotes(log, writer);
        }
    };
    while (true) {
        if (!session.stop.Receiving()) {
            // Stopping: nothing more is read, but the messages already read whole are handed
            // out and decoded (a read can hold several); a partial one is shown, not decoded.
            while (held > 0) {
                const MessageFrame frame = FrameMessage(buffer.Data(), held, textEnd);
                const bool whole =
                    frame.state == MessageFrame::State::Framed && frame.total <= held;
                handOut(whole ? frame.total : held, frame, whole);
            }
            break;
        }
        if (session.peerClosed.load()) {
            // Nothing more will arrive: sleep until the window disconnects.
            if (!session.endAtPeerClose) {
                session.stop.WaitForStop();
            }
            break;
        }
        if (held == 0) {
            const long n = read(0, kReceiveBufferSize);
            if (n <= 0) {
                continue;
            }
            if (buffer.Data()[0] == '\0') {
                spans.Clear();  // not logged, and not kept either
                session.stop.WaitForStopFor(std::chrono::milliseconds(50));
                continue;
            }
            held = static_cast<std::size_t>(n);
            textEnd = 0;
            arrived(0);
        }

        MessageFrame frame = FrameMessage(buffer.Data(), held, textEnd);
        bool complete = true;
        while (frame.state == MessageFrame::State::NeedMore) {
            if (frame.want != 0) {
                // The head is known: take the bytes it promises before framing again.
                const std::size_t until = held + frame.want;
                if (!buffer.Reserve(until + 1, held)) {
                    complete = false;
                    break;
                }
                while (complete && held < until) {
                    const long n = read(held, until - held);
                    if (n <= 0) {
                        complete = false;
                    } else {
                        held += static_cast<std::size_t>(n);
                        arrived(held - static_cast<std::size_t>(n));
                    }
                }
                if (!complete) {
                    break;
                }
            } else {
                const long n = read(held, buffer.Capacity() - held);
                if (n <= 0) {
                    complete = false;
                    break;
                }
                held += static_cast<std::size_t>(n);
                arrived(held - static_cast<std::size_t>(n));
            }
            frame = FrameMessage(buffer.Data(), held, textEnd);
        }
        if (complete && frame.total >= buffer.Capacity() &&
            !buffer.Reserve(frame.total + 1, held)) {
            complete = false;
        }
        // Completion: every read asks for exactly the bytes still missing.
        while (complete && held < frame.total) {
            const long n = read(held, frame.total - held);
            if (n <= 0) {
                complete = false;
                break;
            }
            held += static_cast<std::size_t>(n);
            arrived(held - static_cast<std::size_t>(n));
        }
        handOut(complete ? frame.total : held, frame, complete);
    }
}

ReceiveThread::ReceiveThread(const ReceiveContext& context) {
    session_.context = context;
}

ReceiveThread::~ReceiveThread() {
    Stop();
}

bool ReceiveThread::Start(Transport& transport) {
    if (thread_.joinable() || session_.context.log == nullptr) {
        return false;
    }
    session_.transport = &transport;
    session_.peerClosed.store(false);
    session_.stop.Arm();
    try {
        thread_ = std::thread([this] { RecvThreadProc(session_); });
    } catch (...) {
        session_.stop.Request();
        return false;
    }
    hasCpuClock_ = pthread_getcpuclockid(thread_.native_handle(), &cpuClock_) == 0;
    return true;
}

void ReceiveThread::Stop() {
    session_.stop.Request();
    if (!thread_.joinable()) {
        return;
    }
    session_.transport->Close();
    thread_.join();
}

long long ReceiveThread::CpuTimeNanoseconds() const {
    if (!thread_.joinable()) {
        return -1;
    }
    timespec now{};
    if (!hasCpuClock_ || clock_gettime(cpuClock_, &now) != 0) {
        return -1;
    }
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}
