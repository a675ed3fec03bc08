#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Path of the traffic log in `folder` ("" means the current folder).
std::string TrafficLogPath(const std::string& folder);

// A folder note that the log received: where it lies and which it was.
struct LoggedNote {
    std::uint64_t offset = 0;
    const char* text = nullptr;  // kPicFolderNote or kSmartTypeFolderNote (29 bytes)
};

// The traffic log "ApiLog.txt" in the program folder: every byte received on the long
// connection, in order, plus the two notes of the picture archive. Written by the receive
// thread only; the window owns the object and closes it after the thread has ended.
class TrafficLog {
  public:
    // Log in `folder` ("" means the current folder). Nothing is opened yet.
    explicit TrafficLog(const std::string& folder);
    // Closes the stream if it is open.
    ~TrafficLog();

    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Opens the file with mode "w+" (created or emptied) unless it is open already. False when
    // it cannot be opened; the next call tries again.
    bool Open();
    // Appends `size` bytes exactly as given if the stream is open; false when it is closed or
    // the write fails. Never opens the file. A size of 0 is a successful no-op. The stream is
    // unbuffered: what was appended is in the file when this returns.
    bool Append(const char* data, std::size_t size);
    // Bytes written since the file was opened (received bytes and notes), which is where the
    // next byte appended lands; bytes that a failed write lost are not counted. 0 while closed.
    std::uint64_t Size() const { return size_; }
    // A folder note (29 bytes, see picture_archive.h), dropped while the stream is closed. It
    // is appended at once while the log ends at a message boundary, and otherwise held until
    // it does, so that no note ever falls between the bytes of one message.
    void AddNote(const char* note);
    // The receive loop tells whether the log ends at a message boundary now (it does until
    // told otherwise); at a boundary the held notes are appended.
    void SetAtBoundary(bool atBoundary);
    // The notes appended since the last call, in order.
    std::vector<LoggedNote> TakeWrittenNotes();
    // True while the stream is open.
    bool IsOpen() const { return file_ != nullptr; }
    // Pushes buffered bytes to the file (there are none: the stream is unbuffered); harmless
    // when closed.
    void Flush();
    // Closes the stream; harmless when closed. A later Open() empties the file again.
    void Close();
    // Full path of the log file.
    const std::string& Path() const { return path_; }

  private:
    void WriteNote(const char* note);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    bool atBoundary_ = true;
    std::vector<const char*> heldNotes_;
    std::vector<LoggedNote> writtenNotes_;
};
