// Inputs far beyond the usual sizes: no crash, correct results where there are any, memory bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "fault_support.h"
#include "request/long_connection.h"
#include "request/long_request.h"
#include "request/short_request.h"

namespace {

std::string Filler(std::size_t size, char first) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>(first + i % 26);
    }
    return text;
}

TEST(FaultOversize, TenKilobyteCredentialsAndIpText) {
    const std::string user = Filler(10240, 'a');
    const std::string password = Filler(10240, 'A');
    const std::string ip = Filler(10240, 'a');
    const std::string auth = EncodeCredentials(user, password);
    EXPECT_EQ(auth, ToBase64(user + ":" + password));

    std::string request = BuildLongRequest(ip, "SetSubscribe", user, password, "<b/>");
    EXPECT_NE(request.find("\r\nAuthorization: Basic " + auth + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nHost: " + ip + "\r\nContent-Length: 4\r\n"), std::string::npos);

    // An IP text that is no address fails the connect quickly and leaves nothing open.
    TempFolder folder;
    TrafficLog log(folder.Path());
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, nullptr});
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(connection.Connect(ip, user, password, "1"), ConnectResult::ConnectFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    EXPECT_FALSE(connection.IsOpen());
}

TEST(FaultOversize, TenMegabyteRequestFile) {
    TempFolder folder;
    const std::string path = folder.Path() + "/SUBSCRIBE_GetAlarm_test.xml";
    std::string body = "<?xml version=\"1.0\"?><config>" + Filler(10 * 1024 * 1024, 'a') +
                       "<serverAddress><![CDATA[http://old]]></serverAddress></config>";
    ASSERT_TRUE(PutFile(path, body));

    std::string request;
    ASSERT_EQ(PrepareLongRequest(path, "127.0.0.1", "GetAlarm", "admin", "pw",
                                 "http://127.0.0.1:9/new", request),
              PrepareResult::Ok);
    const std::size_t value = body.rfind("http://old");
    const std::string expected =
        body.substr(0, value) + "http://127.0.0.1:9/new" + body.substr(value + 10);
    EXPECT_NE(request.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(request.compare(request.size() - expected.size(), expected.size(), expected), 0);
}

// Content-Lengths of 2^40 and more are shown and logged, never grown into; the next is read.
TEST(FaultOversize, HugeContentLengthsKeepMemoryBounded) {
    for (const std::string length :
         {"1099511627776", "18446744073709551615", "99999999999999999999999999"}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string huge = "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + length +
                                 "\r\n\r\n" + FaceMatchBody(ToBase64("no"));
        const std::string next = EventMessage(FaceMatchBody(ToBase64("yes")));
        const long before = ProcStatusValue("VmRSS");
        const DrivenRun run = DriveReceiveLoop(folder.Path(), huge + next, huge.size());
        EXPECT_LT(ProcStatusValue("VmRSS") - before, 64 * 1024) << "kB";
        EXPECT_EQ(run.log, huge + next);
        ASSERT_EQ(run.reports.size(), 2u);
        EXPECT_FALSE(run.reports[0].decoded);
        EXPECT_EQ(run.reports[0].length, huge.size());
        ASSERT_EQ(run.reports[1].pictures.size(), 1u);
        EXPECT_EQ(ReadFile(run.reports[1].pictures[0]), "yes");
    }
}

// A million unended levels: no picture, the event taken whole, memory bounded.
TEST(FaultOversize, EventNestedAMillionLevelsDeepFilesNothing) {
    TempFolder folder;
    std::string body = "<?xml version=\"1.0\"?><config><smartType>PEA</smartType>";
    for (int i = 0; i < 1000000; ++i) {
        body += "<sourceDataInfo>";
    }
    body += "<sourceBase64Data>" + ToBase64("x") + "</sourceBase64Data></config>";
    const long before = ProcStatusValue("VmRSS");
    const DrivenRun run = DriveReceiveLoop(folder.Path(), EventMessage(body), 65536);
    EXPECT_LT(ProcStatusValue("VmRSS") - before, 512 * 1024) << "kB";
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_TRUE(run.reports[0].complete && run.reports[0].decoded);
    EXPECT_EQ(run.reports[0].smartType, "PEA");
    EXPECT_TRUE(run.reports[0].pictures.empty());
}

}  // namespace
