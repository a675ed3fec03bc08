#pragma once

// What the fault tests need beside the receive tests' support: process figures and a device
// on 127.0.0.1 that talks on its own thread.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "receive/receive_test_support.h"

// A figure of /proc/self/status ("VmRSS" in kB, "Threads" ...); -1 if absent.
long ProcStatusValue(const std::string& key);
// Open descriptors of this process.
int OpenDescriptorCount();

// Greets every connection by writing `stream` `times` times (0: until the connection breaks),
// pausing `pause` after each, then reads until the tool closes its end.
class ScriptedDevice {
  public:
    ScriptedDevice(std::string stream, int times,
                   std::chrono::milliseconds pause = std::chrono::milliseconds(0));
    ~ScriptedDevice();
    int Port() const { return listener_.Port(); }
    // True once a write failed because the tool had gone.
    bool Broken() const { return broken_; }
    // Waits until every connection accepted is closed again (false after 5 s).
    bool AllClosed() const;

  private:
    void Run();
    const std::string stream_;
    const int times_;
    const std::chrono::milliseconds pause_;
    LoopbackListener listener_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> broken_{false};
    std::atomic<int> open_{0};
    std::thread thread_;
};
