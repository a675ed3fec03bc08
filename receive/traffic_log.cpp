#include "receive/traffic_log.h"

#include <cstring>

std::string TrafficLogPath(const std::string& folder) {
    return folder.empty() ? std::string("ApiLog.txt") : folder + "/ApiLog.txt";
}

TrafficLog::TrafficLog(const std::string& folder) : path_(TrafficLogPath(folder)) {}

TrafficLog::~TrafficLog() {
    Close();
}

bool TrafficLog::Open() {
    if (file_ == nullptr) {
        file_ = std::fopen(path_.c_str(), "w+");
        size_ = 0;
        if (file_ != nullptr) {
            // Unbuffered: a read's bytes go to the file in one write, with no copy into a stream
            // buffer, and are there for a reader of the log as soon as Append returns.
            std::setvbuf(file_, nullptr, _IONBF, 0);
        }
    }
    return file_ != nullptr;
}

bool TrafficLog::Append(const char* data, std::size_t size) {
    if (file_ == nullptr) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    const std::size_t written = std::fwrite(data, 1, size, file_);
    size_ += written;
    return written == size;
}

void TrafficLog::AddNote(const char* note) {
    if (file_ == nullptr) {
        return;
    }
    if (atBoundary_) {
        WriteNote(note);
    } else {
        heldNotes_.push_back(note);
    }
}

void TrafficLog::SetAtBoundary(bool atBoundary) {
    atBoundary_ = atBoundary;
    if (atBoundary_ && !heldNotes_.empty()) {
        for (const char* note : heldNotes_) {
            WriteNote(note);
        }
        heldNotes_.clear();
    }
}

std::vector<LoggedNote> TrafficLog::TakeWrittenNotes() {
    std::vector<LoggedNote> notes;
    notes.swap(writtenNotes_);
    return notes;
}

void TrafficLog::WriteNote(const char* note) {
    const std::uint64_t at = size_;
    if (Append(note, std::strlen(note))) {
        writtenNotes_.push_back({at, note});
    }
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
    size_ = 0;
    heldNotes_.clear();
}
