#pragma once

#include <time.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include "receive/receive_observer.h"
#include "receive/server_address.h"
#include "receive/stop_signal.h"
#include "receive/traffic_log.h"

class Transport;

// What the receive thread borrows from the window. The pointers must outlive the thread.
struct ReceiveContext {
    std::string programFolder;               // the folder that holds "pic"
    TrafficLog* log = nullptr;               // required; opened by the first read with data
    ServerAddress* serverAddress = nullptr;  // null: addresses in responses are not recorded
    ReceiveObserver* observer = nullptr;     // null: nothing is shown or reported
    AnswerHook* answerHook = nullptr;        // null: answers are only shown and reported
};

// State shared between the receive thread and the thread that starts and stops it.
struct ReceiveSession {
    Transport* transport = nullptr;  // the connection, read (and written) by the thread
    int socket = -1;  // without a transport: a connected stream socket the driver owns
    ReceiveContext context;
    StopSignal stop;                      // the receiving flag
    std::atomic<bool> peerClosed{false};  // set when a read returned 0 or failed
    bool endAtPeerClose = false;          // drivers on one thread: return once the peer closed
};

// One read of at most `size` bytes (size > 0) from the connection into `buffer` (the writes
// handed to the transport are done meanwhile). On data the log is opened if needed and, unless
// the first byte is NUL, the bytes are appended exactly. Returns > 0 bytes, 0 peer closed,
// < 0 error.
long RecvAndLog(TrafficLog& log, Transport& transport, char* buffer, std::size_t size);

// The receive loop: reads, logs, frames, shows, records the server address and decodes events
// until the stop flag is cleared; pictures are written and reports made on a second thread of
// its own (ArchiveWriter), fed in order. After the peer closed or a read failed it reads no
// more and sleeps until the flag is cleared (returns at once with endAtPeerClose). Returns
// once every picture and report of the messages read is done.
void RecvThreadProc(ReceiveSession& session);

// Runs RecvThreadProc on its own thread.
class ReceiveThread {
  public:
    // Copies the context; nothing starts yet.
    explicit ReceiveThread(const ReceiveContext& context);
    // Stops the thread if it runs.
    ~ReceiveThread();

    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Starts reading the connection (which must outlive the thread). False when a thread runs
    // already or none could be started.
    bool Start(Transport& transport);
    // Clears the flag, closes the transport (waking a blocked read, failing waiting writes) and
    // waits for the thread to end, without a time limit: the pictures of every message read
    // are filed by then. Harmless when not running.
    void Stop();
    // True from a successful Start until Stop.
    bool Running() const { return thread_.joinable(); }
    // True when the running thread saw the peer close or a read fail.
    bool PeerClosed() const { return session_.peerClosed.load(); }
    // Processor time the running thread has used, in nanoseconds; -1 when not running.
    long long CpuTimeNanoseconds() const;

  private:
    ReceiveSession session_;
    std::thread thread_;
    // The running thread's processor clock, read when it starts (no handle of the thread is
    // needed afterwards).
    clockid_t cpuClock_{};
    bool hasCpuClock_ = false;
};
