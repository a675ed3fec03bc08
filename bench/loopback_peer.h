#pragma once

// A device stand-in for the benchmarks: TCP over 127.0.0.1 only, pushing a fixed message a
// bounded number of times.

#include <atomic>
#include <cstddef>
#include <string>

// A connected pair of TCP sockets over 127.0.0.1: one end for the receiver, one for the peer.
struct LoopbackPair {
    int receiver = -1;
    int peer = -1;
};

// Opens the pair; false (nothing left open) when a step fails.
bool OpenLoopbackPair(LoopbackPair& pair);
// Closes both ends that are open.
void CloseLoopbackPair(LoopbackPair& pair);

// A listening socket on 127.0.0.1 with a port chosen by the system.
class LoopbackListener {
  public:
    ~LoopbackListener();
    // False when no socket could be bound.
    bool Listen();
    int Port() const { return port_; }
    // The next connection, or -1 after timeoutMs without one.
    int Accept(int timeoutMs);

  private:
    int socket_ = -1;
    int port_ = 0;
};

// Sends `message` `count` times back to back, or `perSecond` times a second when it is above
// 0, then shuts the socket down for writing. Ends early when `stop` becomes true or a send
// fails. Returns the bytes sent.
std::size_t PushMessages(int socket, const std::string& message, int count, int perSecond,
                         const std::atomic<bool>* stop = nullptr);

// Resident size of this process in bytes (0 when it cannot be read).
std::size_t ResidentBytes();

// Removes the files of folder and of its sub-folders at any depth, keeping the folders.
void RemoveFilesBelow(const std::string& folder);
