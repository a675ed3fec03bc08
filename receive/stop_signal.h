#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// The receiving flag of the long connection: set while the receive thread is to keep reading.
// Cleared once to stop the thread, which can sleep on it without using the processor.
class StopSignal {
  public:
    // Sets the flag (receiving). Call before starting the thread.
    void Arm();
    // Clears the flag and wakes every waiter. Harmless when cleared already.
    void Request();
    // True while the flag is set. Lock-free.
    bool Receiving() const { return receiving_.load(std::memory_order_acquire) == 1; }
    // Blocks until the flag is cleared; returns at once when it is.
    void WaitForStop();
    // Blocks until the flag is cleared or `timeout` has passed; true when it was cleared.
    bool WaitForStopFor(std::chrono::milliseconds timeout);

  private:
    std::atomic<int> receiving_{0};
    std::mutex lock_;
    std::condition_variable cleared_;
};
