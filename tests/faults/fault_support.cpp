#include "fault_support.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

long ProcStatusValue(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

int OpenDescriptorCount() {
    std::error_code ignored;
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd", ignored);
    return static_cast<int>(std::distance(begin(entries), end(entries))) - 1;  // the listing's own
}

ScriptedDevice::ScriptedDevice(std::string stream, std::chrono::milliseconds pause)
    : stream_(std::move(stream)), pause_(pause), thread_([this] { Run(); }) {}

ScriptedDevice::~ScriptedDevice() {
    stop_ = true;
    thread_.join();
}

void ScriptedDevice::Run() {
    while (!stop_) {
        const int peer = listener_.Accept(20);
        if (peer < 0) {
            continue;
        }
        const timeval patience{1, 0};  // a tool that stopped reading fails the write, not a hang
        setsockopt(peer, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof(patience));
        while (!stop_) {
            if (!WriteAll(peer, stream_)) {
                broken_ = true;
                break;
            }
            std::this_thread::sleep_for(pause_);
        }
        close(peer);
    }
}
