// Connecting and disconnecting the long connection many times, with an event received on each
// connection: threads and descriptors come back to where they were.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "fault_support.h"
#include "request/long_connection.h"

TEST(FaultReconnect, HundredConnectionsLeaveNoThreadOrDescriptorBehind) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    ASSERT_TRUE(log.Open());  // opened up front so that it does not count as a leak
    RecordingObserver observer;
    const std::string event = EventMessage(FaceMatchBody(ToBase64("hello")));
    ScriptedDevice device(event, 1);
    ASSERT_GT(device.Port(), 0);
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &observer});
    const int descriptors = OpenDescriptorCount();
    const long threads = ProcStatusValue("Threads");
    for (std::size_t i = 1; i <= 100; ++i) {
        const LongSendOutcome outcome = connection.LongSend(
            "127.0.0.1", "admin", "pw", std::to_string(device.Port()), "POST /SetSubscribe");
        ASSERT_TRUE(outcome.connectTried) << i;
        ASSERT_EQ(outcome.connect, ConnectResult::Ok) << i;
        ASSERT_EQ(outcome.send, SendResult::Ok) << i;
        ASSERT_TRUE(observer.WaitForReports(i)) << i;
        connection.Disconnect();
        // The device's end lives in this process too: count once it is closed.
        ASSERT_TRUE(device.AllClosed()) << i;
        EXPECT_EQ(OpenDescriptorCount(), descriptors) << i;
        // The device's own thread for the connection may still be on its way out.
        long now = ProcStatusValue("Threads");
        for (int wait = 0; now != threads && wait < 200; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            now = ProcStatusValue("Threads");
        }
        EXPECT_EQ(now, threads) << i;
    }
    std::string expected;
    for (const MessageReport& report : observer.Reports()) {
        ASSERT_EQ(report.pictures.size(), 1u);
        EXPECT_EQ(ReadFile(report.pictures[0]), "hello");
        expected += event;
    }
    log.Close();
    EXPECT_EQ(ReadFile(log.Path()), expected);
}
