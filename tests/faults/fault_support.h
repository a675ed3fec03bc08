#pragma once

// Beside the receive tests' support: process figures and a device on 127.0.0.1 on its own thread.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

// A figure of /proc/self/status ("VmRSS" in kB, "Threads" ...); -1 if absent.
long ProcStatusValue(const std::string& key);
// Open descriptors of this process.
int OpenDescriptorCount();

// Writes `stream` to every connection over and over, pausing `pause` after each, until it breaks.
class ScriptedDevice {
  public:
    ScriptedDevice(std::string stream, std::chrono::milliseconds pause);
    ~ScriptedDevice();
    int Port() const { return listener_.Port(); }
    // True once a write failed because the tool had gone.
    bool Broken() const { return broken_; }

  private:
    void Run();
    const std::string stream_;
    const std::chrono::milliseconds pause_;
    LoopbackListener listener_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> broken_{false};
    std::thread thread_;
};
