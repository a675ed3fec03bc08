#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "receive/receive_observer.h"

// One stretch of a traffic log as the indexer finds it: a message, a folder note, or bytes
// that are neither. Together the entries cover the log without a gap, in order.
struct LogEntry {
    std::uint64_t offset = 0;  // first byte in the log
    std::uint64_t length = 0;  // bytes in the log
    MessageKind kind = MessageKind::Other;
    bool complete = true;    // false: the log ends before the length the message promised
    bool note = false;       // a folder note (kPicFolderNote or kSmartTypeFolderNote)
    int status = 0;          // a response's status code; 0 otherwise
    bool decoded = false;    // an event the decoder walks (see MessageReport::decoded)
    bool wellFormed = true;  // false: a body that should be XML does not parse cleanly
    std::string smartType;   // decoded events
    int pictures = 0;        // pictures the decoder files for it
    int firstNumber = 0;     // numbersDrawn > 0: its first picture number, counted as a run
                             // that began with this log draws them (from 1)
    int numbersDrawn = 0;
    std::uint32_t fingerprint = 0;  // LogFingerprint of its bytes
};

// Frames a traffic log again, with the framing of the receive path: the messages the receive
// thread reported, in order, with the same offsets and lengths, kinds, status codes, smart
// types and picture counts. Where the receive path's framing depended on how the reads fell
// (data without a usable length ends with the bytes a read held), the stretch ends where the
// next message or note begins: at "POST ", at "HTTP/" not after a blank (not the one of a
// request line), or at a note. Such stretches, a cut end and bytes of no message
// are entries too; nothing is skipped. Reads the file in pieces through a buffer of a few
// megabytes (a message larger than that is read whole, up to kMaxContentLength and its
// head): a log of any size can be indexed. One thread at a time.
class LogIndexer {
  public:
    // Longest stretch of other data made one entry: longer ones are cut into several.
    static constexpr std::uint64_t kMaxOtherLength = 64ull * 1024 * 1024;

    LogIndexer();
    ~LogIndexer();
    LogIndexer(const LogIndexer&) = delete;
    LogIndexer& operator=(const LogIndexer&) = delete;

    // Indexes the file at path from its start. False, with the reason in Error(), when it
    // cannot be opened or is no regular file.
    bool Open(const std::string& path);
    // Indexes bytes in memory (kept by the caller while in use) instead of a file.
    void OpenBytes(std::string_view bytes);
    // The next entry; false at the end of the log or when a read failed (Error() says why;
    // the entries before stay valid). A log that grows meanwhile is read to its new end.
    bool Next(LogEntry& entry);
    // Where the next entry starts.
    std::uint64_t Position() const { return position_; }
    // The size of the log when it was opened (bytes in memory: their count).
    std::uint64_t Size() const { return size_; }
    // Why Open or Next failed; "" otherwise.
    const std::string& Error() const { return error_; }

  private:
    // Bytes from `offset` on: at least `want` of them unless the log ends first (`got` says
    // how many are there; 0 at the end). Null with `got` 0 when a read failed.
    const char* Window(std::uint64_t offset, std::size_t want, std::size_t& got);
    // End of a stretch of other data that starts at `offset`: the next message or note after
    // it, the end of the log, or kMaxOtherLength bytes on.
    std::uint64_t OtherEnd(std::uint64_t offset);
    void Close();

    int fd_ = -1;
    std::string_view memory_;  // OpenBytes
    bool inMemory_ = false;
    std::unique_ptr<char[]> buffer_;  // never zeroed: only the filled bytes are read
    std::size_t capacity_ = 0;
    std::uint64_t bufferStart_ = 0;  // log offset of buffer_[0]
    std::size_t filled_ = 0;         // bytes of buffer_ that hold log bytes
    bool atEnd_ = false;             // a read found the end of the file
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
    std::uint32_t nextNumber_ = 1;
    std::string error_;
};

// Position of the next place after text[from] where a message or a note may begin (see
// LogIndexer), or text.size() when there is none.
std::size_t NextMessageStart(std::string_view text, std::size_t from);

// True when text starts with one of the two 29-byte folder notes.
bool StartsWithNote(std::string_view text);
