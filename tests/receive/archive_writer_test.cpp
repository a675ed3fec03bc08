// The thread that files pictures: every picture written, in order, before the receive loop ends;
// reports after their pictures; a full queue holds the receive thread back instead of dropping.

#include "receive/archive_writer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "receive/event_decoder.h"
#include "receive/picture_archive.h"
#include "receive/receive_thread.h"
#include "receive_test_support.h"

namespace {

std::string RandomPicture(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return bytes;
}

// Holds its first report until released, so that the queue behind it fills up.
class GateObserver : public RecordingObserver {
  public:
    void OnMessage(const MessageReport& report) override {
        {
            std::unique_lock<std::mutex> hold(gate_);
            entered_ = true;
            entered_changed_.notify_all();
            opened_changed_.wait(hold, [&] { return open_; });
        }
        RecordingObserver::OnMessage(report);
    }
    bool WaitEntered() {
        std::unique_lock<std::mutex> hold(gate_);
        return entered_changed_.wait_for(hold, std::chrono::seconds(10), [&] { return entered_; });
    }
    void Open() {
        std::lock_guard<std::mutex> hold(gate_);
        open_ = true;
        opened_changed_.notify_all();
    }

  private:
    std::mutex gate_;
    std::condition_variable entered_changed_;
    std::condition_variable opened_changed_;
    bool entered_ = false;
    bool open_ = false;
};

MessageReport Numbered(std::size_t n) {
    MessageReport report;
    report.kind = MessageKind::Event;
    report.length = n;  // stands for the message's place in the stream
    return report;
}

TEST(ReceiveArchiveWriter, EveryPictureWrittenInOrderBeforeFinishReturns) {
    TempFolder folder;
    RecordingObserver observer;
    std::vector<std::string> pictures;
    {
        ArchiveWriter writer(&observer);
        ASSERT_TRUE(writer.Threaded());
        // More Base64 than the queue holds at once, three pictures and a report per message.
        for (unsigned n = 0; n < 60; ++n) {
            for (unsigned k = 0; k < 3; ++k) {
                pictures.push_back(RandomPicture(20000 + 7919 * ((n * 3 + k) % 11), n * 3 + k));
                std::string text = writer.TakeText();
                text = ToBase64(pictures.back());
                writer.QueuePicture(folder.Path() + "/" + std::to_string(pictures.size()) + ".jpg",
                                    std::move(text));
            }
            writer.QueueReport(Numbered(n));
        }
        writer.Finish();
        EXPECT_FALSE(writer.Threaded());
        // Nothing is left to the destructor: every report is in.
        ASSERT_EQ(observer.Reports().size(), 60u);
    }
    const std::vector<MessageReport> reports = observer.Reports();
    std::size_t picture = 0;
    for (std::size_t n = 0; n < reports.size(); ++n) {
        EXPECT_EQ(reports[n].length, n);
        ASSERT_EQ(reports[n].pictures.size(), 3u) << n;
        for (const std::string& path : reports[n].pictures) {
            ++picture;
            EXPECT_EQ(path, folder.Path() + "/" + std::to_string(picture) + ".jpg");
            EXPECT_TRUE(ReadFile(path) == pictures[picture - 1]) << path;
        }
    }
}

TEST(ReceiveArchiveWriter, UnwritablePicturesAreLeftOutOfTheirReport) {
    TempFolder folder;
    RecordingObserver observer;
    ArchiveWriter writer(&observer);
    writer.QueuePicture(folder.Path() + "/a.jpg", ToBase64("first"));
    writer.QueuePicture(folder.Path() + "/missing/b.jpg", ToBase64("lost"));
    writer.QueuePicture(folder.Path() + "/c.jpg", "");  // an empty text: an empty file
    writer.QueueReport(Numbered(0));
    writer.QueueReport(Numbered(1));  // nothing written in between
    writer.Finish();
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].pictures,
              (std::vector<std::string>{folder.Path() + "/a.jpg", folder.Path() + "/c.jpg"}));
    EXPECT_TRUE(reports[1].pictures.empty());
    EXPECT_EQ(ReadFile(folder.Path() + "/a.jpg"), "first");
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/c.jpg"));
    EXPECT_EQ(ReadFile(folder.Path() + "/c.jpg"), "");

    // Without an observer pictures are still written; after Finish on the calling thread.
    ArchiveWriter quiet(nullptr);
    quiet.QueuePicture(folder.Path() + "/d.jpg", ToBase64("quiet"));
    quiet.QueueReport(Numbered(2));
    quiet.Finish();
    quiet.QueuePicture(folder.Path() + "/e.jpg", ToBase64("late"));
    EXPECT_EQ(ReadFile(folder.Path() + "/d.jpg"), "quiet");
    EXPECT_EQ(ReadFile(folder.Path() + "/e.jpg"), "late");
}

TEST(ReceiveArchiveWriter, AFullQueueHoldsTheQueuingThreadAndDropsNothing) {
    GateObserver observer;
    ArchiveWriter writer(&observer);
    writer.QueueReport(Numbered(0));
    ASSERT_TRUE(observer.WaitEntered());  // the writer holds report 0
    std::atomic<std::size_t> queued{0};
    const std::size_t total = ArchiveWriter::kQueueJobs + 10;
    std::thread queuing([&] {
        for (std::size_t n = 1; n <= total; ++n) {
            writer.QueueReport(Numbered(n));
            queued.store(n);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (queued.load() < ArchiveWriter::kQueueJobs &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(queued.load(), ArchiveWriter::kQueueJobs);  // waiting for room, not dropping
    observer.Open();
    queuing.join();
    writer.Finish();
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), total + 1);
    for (std::size_t n = 0; n < reports.size(); ++n) {
        EXPECT_EQ(reports[n].length, n);
    }
}

TEST(ReceiveArchiveWriter, QueuedTextIsBoundedInBytes) {
    TempFolder folder;
    GateObserver observer;
    ArchiveWriter writer(&observer);
    writer.QueueReport(Numbered(0));
    ASSERT_TRUE(observer.WaitEntered());
    // Each text is more than half the bound: one waits in the queue, the next one waits.
    const std::string text = ToBase64(std::string(ArchiveWriter::kQueueBytes / 2, 'p'));
    std::atomic<int> queued{0};
    std::thread queuing([&] {
        for (int n = 0; n < 3; ++n) {
            writer.QueuePicture(folder.Path() + "/" + std::to_string(n) + ".jpg", text);
            queued.store(n + 1);
        }
        writer.QueueReport(Numbered(1));
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (queued.load() < 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(queued.load(), 1);
    observer.Open();
    queuing.join();
    writer.Finish();
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].pictures.size(), 3u);
    EXPECT_EQ(ReadFile(folder.Path() + "/2.jpg"), std::string(ArchiveWriter::kQueueBytes / 2, 'p'));
}

// The decoder hands plain and escaped picture texts to the writer; the files equal what the
// decoder writes by itself.
TEST(ReceiveArchiveWriter, DecoderThroughTheWriterFilesWhatItFilesAlone) {
    const std::string snap = RandomPicture(3000, 1);
    const std::string album = RandomPicture(2000, 2);
    std::string escaped = ToBase64(album);
    escaped.insert(8, "&#65;");  // a reference the document resolves to "A"
    std::string albumBase64 = ToBase64(album);
    albumBase64.insert(8, "A");
    const std::string body =
        FaceMatchBody(ToBase64(snap), escaped, "<![CDATA[" + ToBase64("source") + "]]>");
    const int length = static_cast<int>(body.size());
    std::vector<std::string> alone;
    std::vector<std::string> written;
    for (bool threaded : {false, true}) {
        TempFolder folder;
        RecordingObserver observer;
        ArchiveWriter writer(&observer);
        const PictureArchive archive{folder.Path(), nullptr, threaded ? &writer : nullptr};
        const DecodeResult result = DecodeEvent(archive, body.data(), length);
        writer.QueueReport(Numbered(0));
        writer.Finish();
        EXPECT_EQ(result.smartType, "VFD_MATCH");
        const std::vector<std::string> paths =
            threaded ? observer.Reports().at(0).pictures : result.pictures;
        ASSERT_EQ(paths.size(), 3u) << threaded;
        EXPECT_TRUE(threaded ? result.pictures.empty() : observer.Reports()[0].pictures.empty());
        for (const std::string& path : paths) {
            (threaded ? written : alone).push_back(ReadFile(path));
        }
    }
    EXPECT_EQ(alone, written);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_TRUE(written[0] == snap);
    EXPECT_EQ(ToBase64(written[1]).substr(0, 12), albumBase64.substr(0, 12));
    EXPECT_EQ(written[2], "source");
}

// A burst of events over a socket, the loop stopped the moment their last byte was read: the
// pictures of every event read are on disk, whole, with numbers in the order of the events.
TEST(ReceiveArchiveWriter, StopDuringABurstLosesNoPictureOfAnEventRead) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    RecordingObserver observer;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ReceiveThread thread(ReceiveContext{folder.Path(), &log, nullptr, &observer});
    ASSERT_TRUE(thread.Start(ends[0]));
    constexpr int kEvents = 30;
    std::vector<std::string> snaps;
    std::string stream;
    for (int n = 0; n < kEvents; ++n) {
        snaps.push_back(RandomPicture(60000, 100 + n));
        stream += EventMessage(
            FaceMatchBody(ToBase64(snaps.back()), ToBase64("album"), ToBase64(std::to_string(n))));
    }
    std::thread device([&] { WriteAll(ends[1], stream); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto bytesRead = [&] {
        std::size_t total = 0;
        for (const auto& read : observer.Reads()) {
            total += read.second > 0 ? static_cast<std::size_t>(read.second) : 0;
        }
        return total;
    };
    while (bytesRead() < stream.size() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    device.join();
    thread.Stop();
    close(ends[0]);
    close(ends[1]);
    ASSERT_EQ(bytesRead(), stream.size());

    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kEvents));
    int firstNumber = 0;
    for (int n = 0; n < kEvents; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(reports[n].pictures.size(), 3u);
        EXPECT_TRUE(ReadFile(reports[n].pictures[0]) == snaps[n]);
        EXPECT_EQ(ReadFile(reports[n].pictures[1]), "album");
        EXPECT_EQ(ReadFile(reports[n].pictures[2]), std::to_string(n));
        const char* kinds[] = {"snap", "album", "src"};
        for (int k = 0; k < 3; ++k) {
            const std::string& path = reports[n].pictures[k];
            std::string kind;
            int number = 0;
            ASSERT_TRUE(SplitPictureName(path.substr(path.rfind('/') + 1), kind, number));
            EXPECT_EQ(kind, kinds[k]);
            if (n == 0 && k == 0) {
                firstNumber = number;
            }
            EXPECT_EQ(number, firstNumber + n);  // one number per event, drawn in order
        }
    }
    EXPECT_EQ(ListFolder(folder.Path() + "/pic/VFD_MATCH").size(), 3u * kEvents);
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
    EXPECT_EQ(RecvThreadProc(session), 0);
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
