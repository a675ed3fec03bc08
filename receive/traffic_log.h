#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

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
    // the write fails. Never opens the file. A size of 0 is a successful no-op.
    bool Append(const char* data, std::size_t size);
    // True while the stream is open.
    bool IsOpen() const { return file_ != nullptr; }
    // Pushes buffered bytes to the file; harmless when closed.
    void Flush();
    // Closes the stream; harmless when closed. A later Open() empties the file again.
    void Close();
    // Full path of the log file.
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};
