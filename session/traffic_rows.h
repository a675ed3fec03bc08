#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "receive/log_index.h"
#include "receive/receive_observer.h"

// What a row of the long connection's traffic is, as the event browser and the scripts name it.
enum class RowKind : std::uint8_t {
    Answer,      // a response to a request sent on the long connection
    Event,       // an event pushed by the device
    Other,       // bytes that are neither (also a folder note)
    Incomplete,  // a message the connection or the log ended inside of
};

// The kind of a received message: Incomplete when it was cut, else after its MessageKind.
RowKind KindOf(MessageKind kind, bool complete);
// "answer", "event", "other" or "incomplete".
const char* RowKindName(RowKind kind);
// Local time of milliseconds since 1970 in ISO 8601 with milliseconds and the offset from UTC,
// e.g. "2024-05-01T16:47:03.123+02:00".
std::string IsoTime(std::int64_t timeMs);

// One row: metadata only. A received message's text stays in the log, where offset and
// logLength say; a sent request's bytes are kept by the rows (they are small).
struct TrafficRow {
    enum Flags : std::uint8_t {
        kSent = 1,          // a request the tool sent
        kNote = 2,          // a folder note of the picture archive
        kMalformed = 4,     // its body should be XML and does not parse cleanly
        kDecoded = 8,       // an event body the decoder walked
        kSendFailed = 16,   // sent: the send failed, the device got nothing or part
        kCut = 32,          // sent: only the first kMaxSentBytes were kept
        kPartlyLogged = 64  // received: fewer of its bytes reached the log than arrived
    };
    std::int64_t timeMs = -1;       // when it arrived or was sent; -1 unknown (a log read again)
    std::uint64_t offset = 0;       // received: its first byte in the log; sent: its ordinal
    std::uint64_t length = 0;       // bytes of the message
    std::uint64_t logLength = 0;    // received: its bytes in the log
    std::uint32_t fingerprint = 0;  // received: LogFingerprint of its bytes in the log
    std::uint32_t smartType = 0;    // index into SmartTypes(); 0 is the empty type
    std::uint32_t pictureAt = 0;    // its first filed picture in the picture table
    std::int32_t firstNumber = 0;   // decoded: the first picture number it drew
    std::uint16_t status = 0;       // answers: the status code; 0 when none
    std::uint16_t pictures = 0;     // pictures filed (live) or in its text (a log read again)
    RowKind kind = RowKind::Other;
    std::uint8_t flags = 0;
    std::uint8_t numbersDrawn = 0;  // decoded: numbers it drew (at most 255 counted)

    bool Sent() const { return (flags & kSent) != 0; }
};

// Which rows to show. An event's smart type is the only type filtered; other rows are not.
struct RowFilter {
    enum Shown : unsigned {
        kAnswers = 1,
        kEvents = 2,
        kOther = 4,
        kIncomplete = 8,
        kSentRows = 16,
        kAll = 31,
    };
    unsigned shown = kAll;
    std::vector<bool> hiddenTypes;               // by smart type index; missing entries are shown
    const std::vector<bool>* matches = nullptr;  // a text search: rows it found (by row
                                                 // index); rows past its end are hidden
};

// The rows of one source (the live connection or a log read again), in order of arrival.
// Owned and used by one thread (the window's); nothing here blocks or touches a file.
class TrafficRows {
  public:
    // Sent bytes beyond this are not kept (the row says so).
    static constexpr std::size_t kMaxSentBytes = 1024 * 1024;

    // folder: where the live session's pic folder lies ("" for a log read again).
    explicit TrafficRows(std::string folder = "");

    // Appends the row of a report; its picture paths are kept compactly.
    void AddReport(const MessageReport& report);
    // Appends a row of a request of `length` bytes sent at timeMs, of which `bytes` holds the
    // first (at least kMaxSentBytes of them when it is longer); returns its ordinal.
    std::uint32_t AddSent(std::string_view bytes, std::uint64_t length, std::int64_t timeMs);
    // Marks the sent row with that ordinal failed.
    void MarkSendFailed(std::uint32_t ordinal);
    // Appends the row of an index entry (no time, pictures counted in the text).
    void AddEntry(const LogEntry& entry);

    std::size_t Size() const { return rows_.size(); }
    const TrafficRow& Row(std::size_t index) const { return rows_[index]; }
    // The smart types seen, in order of first appearance; index 0 is "".
    const std::vector<std::string>& SmartTypes() const { return types_; }
    // Events of each smart type, by type index.
    const std::vector<std::size_t>& TypeCounts() const { return typeCounts_; }
    // A sent row's bytes as kept (cut at kMaxSentBytes); "" for a received row.
    std::string_view SentBytes(const TrafficRow& row) const;
    // The request path of a sent row: the word after "POST " (or another method) on its first
    // line; "" when there is none.
    std::string SentPath(const TrafficRow& row) const;
    // Paths of the pictures filed for a received row, in filing order.
    std::vector<std::string> PicturePaths(const TrafficRow& row) const;

    // True when the row passes the filter (index: its position, for a text search).
    bool Passes(std::size_t index, const RowFilter& filter) const;
    // The indices of the rows from `from` on that pass, in order.
    std::vector<std::uint32_t> Visible(const RowFilter& filter, std::size_t from = 0) const;
    // Events that arrived in each of the `seconds` whole seconds up to the one of nowMs, oldest
    // first (only the last two minutes are kept).
    std::vector<int> EventsPerSecond(std::int64_t nowMs, int seconds) const;

  private:
    std::uint32_t TypeIndex(const std::string& type);
    // Where the archive files the pictures of a smart type, ending in "/".
    std::string PictureFolder(const std::string& smartType) const;
    void CountEvent(const TrafficRow& row);

    std::string folder_;
    // Rows and picture names are kept in blocks that never move: a growing vector of a
    // hundred thousand rows would copy them all, and fault in fresh pages, on the window's
    // thread in one go.
    std::deque<TrafficRow> rows_;
    std::vector<std::string> types_{""};
    std::unordered_map<std::string, std::uint32_t> typeIndex_{{"", 0}};
    std::vector<std::size_t> typeCounts_{0};
    std::vector<std::string> sent_;        // by sent ordinal
    std::vector<std::uint32_t> sentRows_;  // row index by sent ordinal
    // Filed pictures, in filing order: where each name lies among the blocks of names. A name
    // is the file name when the file lies in pic/<safe smart type>/ of folder_, else the whole
    // path after a "/" marker.
    struct NameRef {
        std::uint32_t block = 0;
        std::uint32_t at = 0;
        std::uint32_t length = 0;
    };
    void AddName(std::string_view name);
    std::string_view Name(std::size_t picture) const;
    static constexpr std::size_t kNameBlock = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> nameBlocks_;
    std::size_t lastBlockUsed_ = 0;
    std::size_t lastBlockSize_ = 0;
    std::deque<NameRef> names_;
    std::vector<std::pair<std::int64_t, int>> perSecond_;  // second, events; last two minutes
};

// Hands rows from the threads that make them (the receive path's reports, the owner's sends)
// to the owner's thread. Add* may be called from any thread and never wait beyond a short hold
// of the inbox's lock; the wake-up runs on the adding thread when the inbox was empty before,
// so that the owner takes the rows soon.
class TrafficInbox {
  public:
    // Called on the adding thread when the first item arrives in an empty inbox; must return
    // at once (post a call to the owner's thread). Set before anything is added.
    void SetWakeUp(std::function<void()> wakeUp) { wakeUp_ = std::move(wakeUp); }
    void AddReport(const MessageReport& report);
    // A request about to be sent at timeMs; returns a ticket for SendFailed. Keeps no more
    // than a row keeps.
    std::uint32_t AddSent(std::string_view bytes, std::int64_t timeMs);
    // The request of that ticket could not be sent (whole).
    void SendFailed(std::uint32_t ticket);
    // Moves everything added so far into rows, in order (the owner's thread); returns how many
    // rows were added.
    std::size_t TakeInto(TrafficRows& rows);

  private:
    struct Item {
        enum Type { kReport, kSent, kFailed } type = kReport;
        MessageReport report;
        std::string bytes;         // sent: the first TrafficRows::kMaxSentBytes at most
        std::uint64_t length = 0;  // sent: bytes of the request
        std::int64_t timeMs = 0;
        std::uint32_t ticket = 0;
    };
    void Add(Item item);

    std::function<void()> wakeUp_;
    std::mutex lock_;
    std::vector<Item> items_;    // guarded by lock_
    std::uint32_t tickets_ = 0;  // guarded by lock_
};
