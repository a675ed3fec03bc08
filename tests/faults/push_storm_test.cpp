// Disconnecting while the device pushes as fast as it can: the disconnect returns within
// 200 ms, the receive thread is gone and no descriptor is left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "fault_support.h"
#include "request/long_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t Pictures(RecordingObserver& observer) {
    std::size_t count = 0;
    for (const MessageReport& report : observer.Reports()) {
        count += report.pictures.size();
    }
    return count;
}

TEST(FaultPushStorm, DisconnectReturnsWithin200Milliseconds) {
    const int descriptors = OpenDescriptorCount();
    const long threads = ProcStatusValue("Threads");
    TempFolder folder;
    TrafficLog log(folder.Path());
    RecordingObserver observer;
    {
        const std::string picture = ToBase64(std::string(30000, '\x5a'));
        ScriptedDevice device(
            EventMessage(FaceMatchBody(picture)) +
                EventMessage(TargetsBody("PEA", picture, {picture, picture}, "2")),
            0);
        ASSERT_GT(device.Port(), 0);
        LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &observer});
        ASSERT_EQ(connection.Connect("127.0.0.1", "admin", "pw", std::to_string(device.Port())),
                  ConnectResult::Ok);
        ASSERT_TRUE(observer.WaitForReports(40));
        const Clock::time_point begin = Clock::now();
        connection.Disconnect();
        EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(200));
        EXPECT_FALSE(connection.IsOpen());
        EXPECT_EQ(connection.ReceiveCpuTimeNanoseconds(), -1);  // no receive thread
        for (int i = 0; i < 300 && !device.Broken(); ++i) {
            usleep(10000);
        }
        EXPECT_TRUE(device.Broken()) << "the device did not see the connection go";
    }
    log.Close();
    EXPECT_GE(Pictures(observer), 40u);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ProcStatusValue("Threads"), threads);
}

// The device announced a body far larger than what it sends meanwhile (about 4 MB of 60 MB):
// the thread sits in the completion of that body when the disconnect comes.
TEST(FaultPushStorm, DisconnectInsideALargeBodyReturnsWithin200Milliseconds) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    const std::string head =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 60000000\r\nContent-Type: a\r\n\r\n"
        "<?xml version=\"1.0\"?><config><smartType>VFD_MATCH</smartType>";
    ScriptedDevice device(head + std::string(1 << 18, 'A'), 0, std::chrono::milliseconds(20));
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, nullptr});
    ASSERT_EQ(connection.Connect("127.0.0.1", "admin", "pw", std::to_string(device.Port())),
              ConnectResult::Ok);
    usleep(300000);
    const Clock::time_point begin = Clock::now();
    connection.Disconnect();
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(200));
    EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
