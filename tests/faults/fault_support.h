#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "receive/receive_observer.h"
#include "receive/receive_thread.h"

// A fresh folder under /tmp, removed with its contents at the end of the test.
class FaultFolder {
  public:
    FaultFolder();
    ~FaultFolder();
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Whole content of a file; "" when it cannot be read.
std::string FileBytes(const std::string& path);
// Names of the entries of a folder, sorted; empty when it cannot be listed.
std::vector<std::string> ListEntries(const std::string& folder);
// Writes `bytes` to a new file; false on failure.
bool PutFile(const std::string& path, const std::string& bytes);
// Writes all bytes to a socket; false on error.
bool SendAll(int fd, const std::string& bytes);
// Plain Base64 with "=" padding, written here independently of the codec under test.
std::string PlainBase64(const std::string& bytes);
// A pushed event: "Content-Length:" followed by "Content-Type", then the XML body.
std::string PushedEvent(const std::string& body);
// A response whose body holds a server address in a CDATA section.
std::string SubscribeAnswer(const std::string& address);
// A face-match body with one snap picture.
std::string FaceMatchEvent(const std::string& snapBase64);
// A body of smart type "PEA" with a source picture and listInfo items of typed targets.
std::string TargetEvent(const std::string& source, const std::vector<std::string>& targets,
                        const std::string& count);
// A kilobyte figure of /proc/self/status ("VmRSS", "VmHWM", "Threads" ...); -1 if absent.
long ProcStatusValue(const std::string& key);
// Open descriptors of this process.
int OpenDescriptorCount();

// Plays the device for the receive loop run on the test's own thread: hands the loop the next
// piece of `stream` whenever it has read everything written so far, and closes the sending
// side after the last piece. Records what the loop reports.
class PieceFeeder : public ReceiveObserver {
  public:
    // Each piece is written once the loop has read every byte written before it.
    PieceFeeder(int loopEnd, int deviceEnd, std::vector<std::string> pieces);
    // Writes the first piece (or closes at once for an empty stream).
    void Start();
    void OnResponseText(std::string_view text) override;
    void OnMessage(const MessageReport& report) override;
    void OnRead(std::size_t asked, long result) override;

    std::vector<std::string> texts;
    std::vector<MessageReport> reports;
    std::size_t bytesRead = 0;

  private:
    void Feed();
    int loopEnd_;
    int deviceEnd_;
    std::vector<std::string> pieces_;
    std::size_t next_ = 0;     // piece being written
    std::size_t written_ = 0;  // bytes of it written
    bool closed_ = false;
};

// Runs the receive loop on the calling thread over `stream` (cut into pieces of `piece` bytes,
// 0: whole) until the device side closes; the log and pictures go to `folder`.
struct DrivenRun {
    std::vector<std::string> texts;
    std::vector<MessageReport> reports;
    std::size_t bytesRead = 0;
    std::string log;
    std::string serverAddress;
};
DrivenRun DriveReceiveLoop(const std::string& folder, const std::string& stream, std::size_t piece);
// The same with the pieces given one by one.
DrivenRun DriveReceiveLoop(const std::string& folder, const std::vector<std::string>& pieces);
