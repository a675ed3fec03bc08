// Indexing a traffic log of 1 GB of face-match events against reading the same file as
// `cat FILE > /dev/null` does (reads of 128 KiB into one buffer), in the same run. The log
// lies in /dev/shm (or $TESSALY_BENCH_DIR), so both sides read from memory.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_inputs.h"
#include "bench/goal_report.h"
#include "receive/log_index.h"

namespace {

constexpr std::size_t kPictureBytes = 300 * 1024;  // three of them: a 1.2 MB event
constexpr std::uint64_t kLogBytes = 1ull << 30;
constexpr std::size_t kCatBuffer = 128 * 1024;  // what cat reads at once

// The log: an answer, then face-match events of three pictures up to kLogBytes. Removed at
// exit.
class LogFile {
  public:
    LogFile() {
        const char* parent = std::getenv("TESSALY_BENCH_DIR");
        path_ = std::string(parent != nullptr ? parent : "/dev/shm") + "/tessaly-index-bench-" +
                std::to_string(getpid()) + ".txt";
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) {
            path_.clear();
            return;
        }
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: 27\r\n\r\n<config status=\"success\"/>\n";
        const std::string face = EventMessage(FaceMatchBody(kPictureBytes));
        std::fwrite(answer.data(), 1, answer.size(), file);
        size_ = answer.size();
        while (size_ < kLogBytes) {
            std::fwrite(face.data(), 1, face.size(), file);
            size_ += face.size();
            ++messages_;
        }
        ++messages_;
        if (std::fclose(file) != 0) {
            path_.clear();
        }
    }
    ~LogFile() {
        if (!path_.empty()) {
            unlink(path_.c_str());
        }
    }
    const std::string& Path() const { return path_; }
    std::uint64_t Size() const { return size_; }
    std::uint64_t Messages() const { return messages_; }

  private:
    std::string path_;
    std::uint64_t size_ = 0;
    std::uint64_t messages_ = 0;
};

LogFile& Log() {
    static LogFile log;
    return log;
}

void BM_IndexLog(benchmark::State& state) {
    for (auto _ : state) {
        LogIndexer indexer;
        if (!indexer.Open(Log().Path())) {
            state.SkipWithError("the log cannot be opened");
            break;
        }
        std::uint64_t entries = 0;
        std::uint64_t pictures = 0;
        for (LogEntry entry; indexer.Next(entry);) {
            ++entries;
            pictures += static_cast<std::uint64_t>(entry.pictures);
        }
        if (entries != Log().Messages() || pictures != 3 * (entries - 1)) {
            state.SkipWithError("the index is wrong");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Log().Size()));
}

void BM_CatLog(benchmark::State& state) {
    std::unique_ptr<char[]> buffer(new char[kCatBuffer]);
    for (auto _ : state) {
        const int fd = open(Log().Path().c_str(), O_RDONLY);
        std::uint64_t total = 0;
        for (ssize_t n; (n = read(fd, buffer.get(), kCatBuffer)) > 0;) {
            total += static_cast<std::uint64_t>(n);
        }
        close(fd);
        if (total != Log().Size()) {
            state.SkipWithError("the log was not read whole");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Log().Size()));
}

BENCHMARK(BM_IndexLog)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatLog)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (Log().Path().empty()) {
        std::fprintf(stderr, "the log could not be written\n");
        return 2;
    }
    std::printf("log of %.2f GB, %llu messages\n", Log().Size() / 1e9,
                static_cast<unsigned long long>(Log().Messages()));
    GoalReport report;
    report.ThroughputAtLeast("indexing a log / reading it as cat does", "BM_IndexLog", "BM_CatLog",
                             0.5, true);
    report.RunBenchmarks(argc, argv);
    return report.Print() == 0 ? 0 : 1;
}
