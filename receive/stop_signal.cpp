#include "receive/stop_signal.h"

void StopSignal::Arm() {
    std::lock_guard<std::mutex> hold(lock_);
    receiving_.store(1, std::memory_order_release);
}

void StopSignal::Request() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        receiving_.store(0, std::memory_order_release);
    }
    cleared_.notify_all();
}

void StopSignal::WaitForStop() {
    std::unique_lock<std::mutex> hold(lock_);
    cleared_.wait(hold, [this] { return !Receiving(); });
}

bool StopSignal::WaitForStopFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(lock_);
    return cleared_.wait_for(hold, timeout, [this] { return !Receiving(); });
}
