#pragma once

// What the event browser's detail pane shows of a message, made off the window's thread from
// the message's bytes: the text to show (Base64 runs collapsed to one line each, XML on one
// line indented), the runs to expand or copy, and the pictures to decode. Nothing here uses Qt
// or touches a widget.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A message's bytes read back from a log.
struct LoggedBytes {
    enum class Status {
        Ok,          // bytes hold the message
        Unreadable,  // the log cannot be opened or read (error says why)
        Gone,        // the log is shorter now than where the message ended
        Replaced,    // the log holds other bytes there now (rewritten or replaced)
    };
    Status status = Status::Ok;
    std::string bytes;
    std::string error;          // Unreadable: the reason
    std::uint64_t logSize = 0;  // Gone: the log's size now
};

// Reads messages back from a log: [offset, offset + length), checked against the fingerprint
// the row keeps (LogFingerprint; 0 checks nothing). The file is opened by its path when the
// reader is made, so that a log replaced since the rows were made is noticed. Any thread,
// one at a time.
class LogReader {
  public:
    explicit LogReader(const std::string& path);
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;
    LoggedBytes Read(std::uint64_t offset, std::uint64_t length, std::uint32_t fingerprint);

  private:
    int fd_ = -1;
    std::string error_;  // why the file did not open
};

// One message read with a LogReader of its own.
LoggedBytes ReadLoggedBytes(const std::string& path, std::uint64_t offset, std::uint64_t length,
                            std::uint32_t fingerprint);

// The sentence the detail pane shows instead of the text when the bytes are not Ok.
std::string LoggedBytesProblem(const LoggedBytes& read, const std::string& path);

// A picture of an event as the detail finds it in the message.
struct DetailPicture {
    std::string kind;    // "snap", "album", "src", "target"
    int number = 0;      // its picture number; 0 when unknown
    std::string base64;  // its text as the decoder takes it
};

// What the detail pane shows of one message.
struct DetailText {
    // A Base64 run: its placeholder in text, and the run itself.
    struct Run {
        std::size_t at = 0;  // where the placeholder starts in text (bytes)
        std::string label;  // the placeholder, e.g. "[Base64, 18,485 characters: picture snap id5]"
        std::string text;   // the run as it lies in the message
    };
    std::string text;                     // UTF-8 for display (NUL shown as U+2400)
    std::vector<Run> runs;                // in text order
    std::vector<DetailPicture> pictures;  // events: the pictures the decoder files, in order
    std::string problem;    // said above the text: a body that is no XML or does not parse
    bool indented = false;  // the XML was on few lines and is shown indented
};

// Longest run of Base64 shown as it is: longer ones are collapsed.
constexpr std::size_t kCollapsedRun = 200;
// Longest line of the detail text shown whole: longer lines are cut with a marker.
constexpr std::size_t kDetailLineBytes = 4000;
// Most bytes of detail text: the rest is left out with a marker.
constexpr std::size_t kDetailTotalBytes = 2 * 1024 * 1024;

// Builds the detail of a message. event: the bytes are a pushed event (its pictures are listed
// and named); firstNumber: the first picture number it drew (0: unknown). indent: XML that
// stands on few lines is shown indented (set false to see the layout as it arrived).
DetailText BuildDetailText(std::string_view message, bool event, int firstNumber, bool indent);

// A run as the pane shows it expanded: as it is when it has line breaks of its own, else in
// lines of 76 characters; at most maxBytes of it (a box lays out a megabyte of short lines in
// a few dozen milliseconds), then a marker.
std::string ExpandedRun(std::string_view run, std::size_t maxBytes = 1024 * 1024);

// 1234567 as "1,234,567".
std::string Thousands(std::uint64_t value);
