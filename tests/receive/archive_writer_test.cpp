// The thread that files pictures: every picture written, in order, before the receive loop ends;
// reports after their pictures; a full queue holds the receive thread back instead of dropping.

#include "receive/archive_writer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/transport.h"
#include "receive/receive_thread.h"
#include "support/test_support.h"

namespace {

std::string Bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * (seed * 2 + 1) + i / 251 + seed);
    }
    return bytes;
}

// Holds the writer in its first report until released, so that the queue behind it fills up.
class GateObserver : public RecordingObserver {
  public:
    void OnMessage(const MessageReport& report) override {
        if (!held_) {
            held_ = true;
            entered.set_value();
            released.wait();
        }
        RecordingObserver::OnMessage(report);
    }
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();

  private:
    bool held_ = false;  // the writer's thread only
};

MessageReport Numbered(std::size_t n) {
    MessageReport report;
    report.length = n;  // stands for the message's place in the stream
    return report;
}

TEST(ReceiveArchiveWriter, UnwritablePicturesAreLeftOutOfTheirReport) {
    TempFolder folder;
    const std::string a = folder.Path() + "/a.jpg", c = folder.Path() + "/c.jpg";
    RecordingObserver observer;
    ArchiveWriter writer(&observer);
    writer.QueuePicture(a, ToBase64("first"));
    writer.QueuePicture(folder.Path() + "/missing/b.jpg", ToBase64("lost"));
    writer.QueuePicture(c, "");  // an empty text: an empty file
    writer.QueueReport(Numbered(0));
    writer.QueueReport(Numbered(1));  // nothing written in between
    writer.Finish();
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].pictures, (std::vector<std::string>{a, c}));
    EXPECT_TRUE(reports[1].pictures.empty());
    EXPECT_EQ(ReadFile(a), "first");
    EXPECT_EQ(CountEntries(folder.Path()), 2u);
    // Without an observer pictures are still written; after Finish on the calling thread.
    ArchiveWriter quiet(nullptr);
    quiet.QueuePicture(folder.Path() + "/d.jpg", ToBase64("quiet"));
    quiet.Finish();
    quiet.QueuePicture(folder.Path() + "/e.jpg", ToBase64("late"));
    EXPECT_EQ(ReadFile(folder.Path() + "/d.jpg") + ReadFile(folder.Path() + "/e.jpg"), "quietlate");
}

// The queue is bounded in jobs and in Base64 bytes: the queuing thread waits, nothing is dropped.
TEST(ReceiveArchiveWriter, AFullQueueHoldsTheQueuingThreadAndDropsNothing) {
    TempFolder folder;
    const std::string half = ToBase64(std::string(ArchiveWriter::kQueueBytes / 2, 'p'));
    const struct {
        const char* name;
        std::size_t jobs, fit;
        bool pictures;
    } rows[] = {{"jobs", ArchiveWriter::kQueueJobs + 10, ArchiveWriter::kQueueJobs, false},
                {"bytes", 3, 1, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GateObserver observer;
        ArchiveWriter writer(&observer);
        writer.QueueReport(Numbered(0));
        ASSERT_EQ(observer.entered.get_future().wait_for(std::chrono::seconds(10)),
                  std::future_status::ready);  // the writer holds report 0; the queue is empty
        std::atomic<std::size_t> queued{0};
        std::thread queuing([&] {
            for (std::size_t n = 1; n <= row.jobs; ++n) {
                if (row.pictures) {
                    writer.QueuePicture(folder.Path() + "/" + std::to_string(n) + ".jpg", half);
                } else {
                    writer.QueueReport(Numbered(n));
                }
                queued.store(n);
            }
            writer.QueueReport(Numbered(row.jobs + 1));
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (queued.load() < row.fit && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(queued.load(), row.fit);  // waiting for room, not dropping
        observer.release.set_value();
        queuing.join();
        writer.Finish();
        const std::vector<MessageReport> reports = observer.Reports();
        ASSERT_EQ(reports.size(), row.pictures ? 2 : row.jobs + 2);
        EXPECT_EQ(reports.back().length, row.jobs + 1);
        EXPECT_EQ(reports.back().pictures.size(), row.pictures ? row.jobs : 0);
        for (std::size_t n = 0; !row.pictures && n < reports.size(); ++n) {
            EXPECT_EQ(reports[n].length, n);
        }
    }
    EXPECT_EQ(ReadFile(folder.Path() + "/3.jpg"), std::string(ArchiveWriter::kQueueBytes / 2, 'p'));
}

// The receive loop on one end of a socket pair, a device thread writing to the other end.
struct LoopOnSocketPair {
    TempFolder folder;
    TrafficLog log{folder.Path()};
    int ends[2] = {-1, -1};
    std::unique_ptr<Transport> transport;
    std::unique_ptr<ReceiveThread> thread;
    std::thread device;
    // Starts the loop reporting to observer and the device writing stream.
    bool Start(ReceiveObserver& observer, std::string stream) {
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
            return false;
        }
        thread = std::make_unique<ReceiveThread>(
            ReceiveContext{folder.Path(), &log, nullptr, &observer});
        transport = Transport::Borrowing(ends[0]);
        if (!thread->Start(*transport)) {
            return false;
        }
        device = std::thread([this, bytes = std::move(stream)] { WriteAll(ends[1], bytes); });
        return true;
    }
    // Waits for the device, stops the loop and closes both ends. Harmless when done already.
    void End() {
        if (device.joinable()) {
            device.join();
        }
        if (thread) {
            thread->Stop();
        }
        for (int& end : ends) {
            if (end >= 0) {
                close(end);
                end = -1;
            }
        }
    }
    ~LoopOnSocketPair() { End(); }
};

// The loop lends its buffer to the writer: while the writer is held, the loop reads on into
// other buffers or waits, never over pictures not decoded yet.
TEST(ReceiveArchiveWriter, AHeldWriterGetsEveryLentPictureUnharmed) {
    GateObserver observer;
    constexpr int kEvents = 12;
    std::vector<std::string> snaps;
    std::string stream;
    for (int n = 0; n < kEvents; ++n) {
        snaps.push_back(Bytes(250000, 40 + n));
        stream += EventMessage(FaceMatchBody(ToBase64(snaps.back())));
    }
    LoopOnSocketPair loop;
    ASSERT_TRUE(loop.Start(observer, stream));
    // Let the loop read as far as it will while the writer is held.
    std::size_t seen = 0;
    for (int quiet = 0, round = 0; quiet < 10 && round < 500; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::size_t now = observer.BytesRead();
        quiet = now == seen ? quiet + 1 : 0;
        seen = now;
    }
    EXPECT_GT(seen, 614400u);  // more than one buffer's worth was read meanwhile
    observer.release.set_value();
    EXPECT_TRUE(observer.WaitForReports(kEvents));
    loop.End();
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kEvents));
    for (int n = 0; n < kEvents; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(reports[n].pictures.size(), 1u);
        EXPECT_TRUE(ReadFile(reports[n].pictures[0]) == snaps[n]);
    }
}

// A burst of events over a socket (more jobs than the writer's queue holds), the loop stopped the
// moment their last byte was read: every picture of every event read is on disk, whole, in order.
TEST(ReceiveArchiveWriter, StopDuringABurstLosesNoPictureOfAnEventRead) {
    RecordingObserver observer;
    constexpr int kEvents = 12;
    std::string stream;
    for (int n = 0; n < kEvents; ++n) {
        stream += EventMessage(FaceMatchBody(ToBase64(Bytes(60000, n)), ToBase64("album"),
                                             ToBase64(std::to_string(n))));
    }
    LoopOnSocketPair loop;
    ASSERT_TRUE(loop.Start(observer, stream));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (observer.BytesRead() < stream.size() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    loop.End();
    ASSERT_EQ(observer.BytesRead(), stream.size());
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kEvents));
    for (int n = 0; n < kEvents; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(reports[n].pictures.size(), 3u);
        EXPECT_TRUE(ReadFile(reports[n].pictures[0]) == Bytes(60000, n));
        EXPECT_EQ(ReadFile(reports[n].pictures[1]), "album");
        EXPECT_EQ(ReadFile(reports[n].pictures[2]), std::to_string(n));
    }
}

// Asks the loop to stop from inside its first read, which holds several events at once.
class StopAtFirstReadObserver : public RecordingObserver {
  public:
    explicit StopAtFirstReadObserver(StopSignal& stop) : stop_(stop) {}
    void OnRead(std::size_t asked, long result) override {
        RecordingObserver::OnRead(asked, result);
        stop_.Request();
    }

  private:
    StopSignal& stop_;
};

// A stop that comes while one read holds several whole events and the head of another: the
// whole ones are still decoded and filed, the partial one is shown but not decoded.
TEST(ReceiveArchiveWriter, StopAfterAReadOfSeveralEventsHandsOutEachOfThem) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    constexpr int kEvents = 5;
    std::string stream;
    for (int n = 0; n < kEvents; ++n) {
        stream += EventMessage(FaceMatchBody(ToBase64("snap" + std::to_string(n))));
    }
    const std::string partial = EventMessage(FaceMatchBody(ToBase64("lost")));
    stream += partial.substr(0, partial.size() - 10);
    ASSERT_TRUE(WriteAll(ends[1], stream));  // small enough to lie in the socket whole

    ReceiveSession session;
    StopAtFirstReadObserver observer(session.stop);
    session.socket = ends[0];
    session.context = ReceiveContext{folder.Path(), &log, nullptr, &observer};
    session.stop.Arm();
    RecvThreadProc(session);
    close(ends[0]);
    close(ends[1]);

    ASSERT_EQ(observer.Reads().size(), 1u);
    ASSERT_EQ(observer.Reads()[0].second, static_cast<long>(stream.size()));
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), kEvents + 1u);
    for (int n = 0; n < kEvents; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(reports[n].complete);
        ASSERT_EQ(reports[n].pictures.size(), 1u);
        EXPECT_EQ(ReadFile(reports[n].pictures[0]), "snap" + std::to_string(n));
    }
    EXPECT_FALSE(reports[kEvents].complete);
    EXPECT_FALSE(reports[kEvents].decoded);
    EXPECT_EQ(reports[kEvents].length, partial.size() - 10);
    EXPECT_EQ(observer.Texts().size(), kEvents + 1u);
}

}  // namespace
