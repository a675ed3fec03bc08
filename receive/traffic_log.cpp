#include "receive/traffic_log.h"

TrafficLog::TrafficLog(const std::string& folder)
    : path_(folder.empty() ? std::string("ApiLog.txt") : folder + "/ApiLog.txt") {}

TrafficLog::~TrafficLog() {
    Close();
}

bool TrafficLog::Open() {
    if (file_ == nullptr) {
        file_ = std::fopen(path_.c_str(), "w+");
    }
    return file_ != nullptr;
}

bool TrafficLog::Append(const char* data, std::size_t size) {
    if (file_ == nullptr) {
        return false;
    }
    return size == 0 || std::fwrite(data, 1, size, file_) == size;
}

void TrafficLog::Flush() {
    if (file_ != nullptr) {
        std::fflush(file_);
    }
}

void TrafficLog::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}
