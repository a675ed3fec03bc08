#pragma once

// Support that the tests and the fuzz targets share: folders, files, device messages and peers
// on a socket pair or on 127.0.0.1. No test framework: checks stay with the callers.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "receive/receive_observer.h"

// A fresh folder under /tmp, removed with its contents at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    // Creates `relative` (and its parents) in this folder; returns its path.
    std::string MakeFolder(const std::string& relative) const;
    // Writes `bytes` to the file `relative` (parents created); returns its path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const;

  private:
    std::string path_;
};

// Records everything the receive loop hands out; waits at most 10 s.
class RecordingObserver : public ReceiveObserver {
  public:
    void OnResponseText(std::string_view text) override { Add(texts_, std::string(text)); }
    void OnMessage(const MessageReport& report) override { Add(reports_, report); }
    void OnRead(std::size_t asked, long result) override { Add(reads_, {asked, result}); }
    bool WaitForReads(std::size_t n) { return WaitFor(reads_, n); }
    bool WaitForReports(std::size_t n) { return WaitFor(reports_, n); }
    std::vector<std::string> Texts() { return Copy(texts_); }
    std::vector<MessageReport> Reports() { return Copy(reports_); }
    std::vector<std::pair<std::size_t, long>> Reads() { return Copy(reads_); }
    // Bytes of all successful reads.
    std::size_t BytesRead() {
        std::size_t total = 0;
        for (const auto& read : Reads()) {
            total += read.second > 0 ? static_cast<std::size_t>(read.second) : 0;
        }
        return total;
    }

  private:
    template <typename T>
    void Add(std::vector<T>& kept, T item) {
        std::lock_guard<std::mutex> hold(lock_);
        kept.push_back(std::move(item));
        changed_.notify_all();
    }
    template <typename T>
    bool WaitFor(const std::vector<T>& kept, std::size_t n) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return kept.size() >= n; });
    }
    template <typename T>
    T Copy(const T& kept) {
        std::lock_guard<std::mutex> hold(lock_);
        return kept;
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> texts_;
    std::vector<MessageReport> reports_;
    std::vector<std::pair<std::size_t, long>> reads_;
};

// Milliseconds since 1970 by the system clock, as reports give times.
inline std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Base64 with "=" padding, written independently of the codec under test.
std::string ToBase64(const std::string& bytes);
// Whole content of a regular file; "" when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes a new file (or replaces one); false on failure.
bool PutFile(const std::string& path, const std::string& bytes);
// Number of entries in a folder; 0 when it cannot be listed.
std::size_t CountEntries(const std::string& path);
// "<kind>_id<N>" of a picture path ending in "/<time>_<kind>_id<N>.jpg"; "" when it does not fit.
std::string PictureTag(const std::string& path);
// Writes all bytes to a socket; false on error.
bool WriteAll(int fd, const std::string& bytes);
// Reads from fd until `size` bytes arrived, the peer closed or 5 s passed.
std::string ReadBytes(int fd, std::size_t size);

// A pushed event with the given body, "Content-Length:" followed by "Content-Type".
std::string EventMessage(const std::string& body);
// A response with a Content-Length and the given body.
std::string ResponseMessage(const std::string& body);
// A response whose body holds a server address in a CDATA section.
std::string SubscribeAnswer(const std::string& address);
// A face-match body with the given Base64 texts (an empty text leaves the element out).
std::string FaceMatchBody(const std::string& snap, const std::string& album = "",
                          const std::string& source = "");
// A body of another smart type with a source picture (none when empty) and typed targets.
std::string TargetsBody(const std::string& smartType, const std::string& source,
                        const std::vector<std::string>& targets = {},
                        const std::string& count = "0");

// Gives the test program a configuration folder of its own (XDG_CONFIG_HOME, where the device
// list lives) and keeps it away from the user's keychain: unless the run brings a private one
// (TESSALY_PRIVATE_KEYCHAIN=1, set by scripts/keychain-test.sh), the session bus is pointed at
// a socket that does not exist, so that every keychain job finds no keychain. Call it first in
// main, before anything reads the configuration. True when the private keychain is there.
bool IsolateUserSettings(const std::string& configFolder);

// A port of 127.0.0.1 on which nothing listens (free again when this returns), for refused
// connections; 0 when none could be had.
unsigned short DeadPort();

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

// A listening socket on 127.0.0.1 whose queue is full: one connection waits in it and nobody
// accepts, so that a further connect hangs until its own limit. Port 0 when none could be had.
class FullListener {
  public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    unsigned short Port() const { return port_; }

  private:
    int listening_ = -1;
    int queued_ = -1;
    unsigned short port_ = 0;
};

// A device on 127.0.0.1 that answers one connection slowly: once the request has begun it
// sends an answer's head promising 100 bytes, then one byte per `interval`, at most 100,
// until it is destroyed (which ends within one interval).
class TricklePeer {
  public:
    explicit TricklePeer(std::chrono::milliseconds interval);
    ~TricklePeer();
    int Port() const { return listener_.Port(); }

  private:
    LoopbackListener listener_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

// What the receive loop did with a stream, run on the test's own thread.
struct DrivenRun {
    std::vector<std::string> texts;
    std::vector<MessageReport> reports;
    std::vector<std::pair<std::size_t, long>> reads;  // asked, result
    std::size_t bytesRead = 0;
    std::string log;
    std::string serverAddress;
};
// Plays the device for the receive loop: each piece is written once the loop has read every
// byte before it, and the device closes after the last. Log and pictures go to `folder`.
DrivenRun DriveReceiveLoop(const std::string& folder, const std::vector<std::string>& pieces);
// The same with the stream cut into pieces of `piece` bytes (0: whole).
DrivenRun DriveReceiveLoop(const std::string& folder, const std::string& stream, std::size_t piece);
