// A disconnect during a push storm or a large body returns within 200 ms and leaves nothing open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "fault_support.h"
#include "request/long_connection.h"

namespace {

using std::chrono::milliseconds;

// Waits (at most 2 s) for the thread count to come back: a joined thread may linger briefly.
long ThreadsSettledAt(long threads) {
    long now = ProcStatusValue("Threads");
    for (int wait = 0; now != threads && wait < 200; ++wait) {
        std::this_thread::sleep_for(milliseconds(10));
        now = ProcStatusValue("Threads");
    }
    return now;
}

TEST(FaultPushStorm, DisconnectReturnsWithin200Milliseconds) {
    const int descriptors = OpenDescriptorCount();
    const long threads = ProcStatusValue("Threads");
    const std::string picture = ToBase64(std::string(30000, '\x5a'));
    const std::string storm = EventMessage(FaceMatchBody(picture)) +
                              EventMessage(TargetsBody("PEA", picture, {picture, picture}, "2"));
    // A 60 MB body announced and sent slowly: the thread sits in the completion of that body.
    const std::string large =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 60000000\r\n\r\n"
        "<?xml version=\"1.0\"?><config><smartType>VFD_MATCH</smartType>" +
        std::string(1 << 18, 'A');
    const struct {
        std::string stream;
        milliseconds pause;
        std::size_t reports, reads;  // seen before the disconnect
    } rows[] = {{storm, milliseconds(0), 40, 0}, {large, milliseconds(20), 0, 3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reports);
        TempFolder folder;
        TrafficLog log(folder.Path());
        RecordingObserver observer;
        {
            ScriptedDevice device(row.stream, row.pause);
            LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &observer});
            ASSERT_EQ(connection.Connect("127.0.0.1", "admin", "pw", std::to_string(device.Port())),
                      ConnectResult::Ok);
            ASSERT_TRUE(observer.WaitForReports(row.reports) && observer.WaitForReads(row.reads));
            const auto begin = std::chrono::steady_clock::now();
            connection.Disconnect();
            EXPECT_LT(std::chrono::steady_clock::now() - begin, milliseconds(200));
            EXPECT_FALSE(connection.IsOpen());
            EXPECT_EQ(connection.ReceiveCpuTimeNanoseconds(), -1);  // no receive thread
            for (int i = 0; i < 300 && !device.Broken(); ++i) {
                usleep(10000);
            }
            EXPECT_TRUE(device.Broken()) << "the device did not see the connection go";
        }
        log.Close();
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        EXPECT_EQ(ThreadsSettledAt(threads), threads);
    }
}

}  // namespace
