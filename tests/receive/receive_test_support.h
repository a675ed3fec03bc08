#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "receive/receive_observer.h"

// A fresh folder under /tmp, removed with its contents at the end of the test.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Records everything the receive thread hands out; waits with a time limit.
class RecordingObserver : public ReceiveObserver {
  public:
    void OnResponseText(std::string text) override;
    void OnMessage(const MessageReport& report) override;
    void OnRead(std::size_t asked, long result) override;

    // Wait until at least `count` reads / reports were seen (false after 10 s).
    bool WaitForReads(std::size_t count);
    bool WaitForReports(std::size_t count);

    std::vector<std::string> Texts();
    std::vector<MessageReport> Reports();
    std::vector<std::pair<std::size_t, long>> Reads();

  private:
    template <typename Ready>
    bool WaitFor(Ready ready);

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> texts_;
    std::vector<MessageReport> reports_;
    std::vector<std::pair<std::size_t, long>> reads_;
};

// Plain Base64 (with "=" padding) for building test events.
std::string ToBase64(const std::string& bytes);

// Whole content of a file; "" when it cannot be read.
std::string ReadFile(const std::string& path);
// True when the path exists (file or folder).
bool Exists(const std::string& path);
// Names of the entries of a folder, sorted; empty when it cannot be listed.
std::vector<std::string> ListFolder(const std::string& path);

// Writes all bytes to a socket; false on error.
bool WriteAll(int fd, const std::string& bytes);

// A pushed event with the given XML body, "Content-Length:" followed by "Content-Type".
std::string EventMessage(const std::string& body);
// A response with a Content-Length and the given body.
std::string ResponseMessage(const std::string& body);
// A face-match body with the given Base64 texts (an empty text leaves the element out).
std::string FaceMatchBody(const std::string& snap, const std::string& album,
                          const std::string& source);
// A body of another smart type with one source picture and typed target pictures.
std::string TargetsBody(const std::string& smartType, const std::string& source,
                        const std::vector<std::string>& targets, const std::string& count);

// A picture file name "<time>_<kind>_id<N>.jpg": fills kind and N; false when it does not fit.
bool SplitPictureName(const std::string& name, std::string& kind, int& number);

// A listening TCP socket on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener {
  public:
    LoopbackListener();
    ~LoopbackListener();
    int Port() const { return port_; }
    // The next connection, waiting at most `milliseconds`; -1 when none came.
    int Accept(int milliseconds = 5000);

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Reads from fd until `size` bytes arrived or 5 s passed.
std::string ReadBytes(int fd, std::size_t size);
