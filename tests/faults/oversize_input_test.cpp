// Inputs far beyond what a device or a user normally gives: 10 KB credentials and IP text, a
// 10 MB request file, a Content-Length of 2^40, absurd item counts and a document nested a
// million levels deep. No crash, correct results where there are any, memory bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "catalogue/catalogue.h"
#include "codec/xml_document.h"
#include "codec/xml_test_util.h"
#include "fault_support.h"
#include "receive/event_decoder.h"
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

    std::string request;
    ASSERT_EQ(BuildLongRequest(request, ip, "SetSubscribe", user, password, "<b/>"), 0);
    EXPECT_NE(request.find("\r\nAuthorization: Basic " + auth + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nHost: " + ip + "\r\nContent-Length: 4\r\n"), std::string::npos);

    API_INTERFACE record{5, 0, "ModifyPassword", "", "<old>" + ToBase64("739184") + "</old>"};
    const ShortRequest shortRequest =
        ComposeShortRequest(&record, "ModifyPassword", ip, "80", user, password);
    EXPECT_EQ(shortRequest.strHost, ip);
    EXPECT_EQ(shortRequest.strAuth, auth);
    EXPECT_EQ(shortRequest.strBody, "<old>" + ToBase64(password) + "</old>");

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
    ASSERT_EQ(PrepareLongRequest(path, "127.0.0.1", SubscriptionInterfaceName(path), "admin", "pw",
                                 "", request),
              0);
    EXPECT_NE(request.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(request.compare(request.size() - body.size(), body.size(), body), 0);

    ASSERT_EQ(PrepareLongRequest(path, "127.0.0.1", "GetAlarm", "admin", "pw",
                                 "http://127.0.0.1:9/new", request),
              0);
    const std::size_t value = body.rfind("http://old");
    const std::string expected =
        body.substr(0, value) + "http://127.0.0.1:9/new" + body.substr(value + 10);
    EXPECT_NE(request.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(request.compare(request.size() - expected.size(), expected.size(), expected), 0);

    std::string read;
    ASSERT_TRUE(ReadRequestFile(path, read));
    EXPECT_EQ(read, body);
}

// A Content-Length of 2^40 (and larger, up to past 2^64) is shown and logged, never grown into;
// the next message is read normally.
TEST(FaultOversize, HugeContentLengthsKeepMemoryBounded) {
    for (const std::string length :
         {"1099511627776", "18446744073709551615", "99999999999999999999999999"}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string huge = "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + length +
                                 "\r\nContent-Type: a\r\n\r\n" + FaceMatchBody(ToBase64("no"));
        const std::string next = EventMessage(FaceMatchBody(ToBase64("yes")));
        const long before = ProcStatusValue("VmRSS");
        // The huge one is delivered alone; the next one starts a read of its own.
        const DrivenRun run = DriveReceiveLoop(folder.Path(), huge + next, huge.size());
        const long grown = ProcStatusValue("VmRSS") - before;
        EXPECT_LT(grown, 64 * 1024) << grown << " kB";
        EXPECT_EQ(run.log, huge + next);
        ASSERT_EQ(run.reports.size(), 2u);
        EXPECT_FALSE(run.reports[0].decoded);
        EXPECT_EQ(run.reports[0].length, huge.size());
        ASSERT_EQ(run.reports[1].pictures.size(), 1u);
        EXPECT_EQ(ReadFile(run.reports[1].pictures[0]), "yes");
        ASSERT_FALSE(run.texts.empty());
        EXPECT_EQ(run.texts[0], huge);
    }
}

TEST(FaultOversize, NegativeAndHugeItemCounts) {
    TempFolder folder;
    const PictureArchive archive{folder.Path(), nullptr};
    const std::vector<std::string> targets = {ToBase64("t1"), ToBase64("t2")};
    struct Case {
        std::string count;
        std::size_t pictures;  // the source picture and the targets visited
    };
    for (const Case& c :
         {Case{"-1", 1}, Case{"-2147483648", 1}, Case{"-99999999999", 1}, Case{"2147483647", 3},
          Case{"2147483648", 3}, Case{"99999999999999999999999", 3}, Case{" 1x", 2}}) {
        SCOPED_TRACE(c.count);
        const std::string body = TargetsBody("PEA", ToBase64("s"), targets, c.count);
        const auto begin = std::chrono::steady_clock::now();
        const DecodeResult result =
            DecodeEvent(archive, body.c_str(), static_cast<int>(body.size()));
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
        ASSERT_EQ(result.pictures.size(), c.pictures);
        EXPECT_EQ(ReadFile(result.pictures[0]), "s");
        if (c.pictures == 3) {
            EXPECT_EQ(ReadFile(result.pictures[2]), "t2");
        }
    }
}

// A million levels, ended and not: memory stays bounded, and without end tags every level
// is closed and relinked as a top-level sibling.
TEST(FaultOversize, DocumentNestedAMillionLevelsDeep) {
    const int depth = 1000000;
    std::string text = Repeat("<a>", depth) + "deep" + Repeat("</a>", depth);
    const long before = ProcStatusValue("VmRSS");
    {
        CXmlDocument doc(text.c_str(), static_cast<int>(text.size()));
        EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
        int levels = 0;
        while (doc.FindElem("a") && doc.IntoElem()) {
            ++levels;
        }
        EXPECT_EQ(levels, depth);
        ASSERT_TRUE(doc.OutOfElem());
        EXPECT_EQ(doc.GetData(), "deep");
        EXPECT_LT(ProcStatusValue("VmRSS") - before, 512 * 1024) << "kB";
    }
    text.resize(depth * 3);
    CXmlDocument open(text.c_str(), static_cast<int>(text.size()));
    EXPECT_EQ(open.GetError(), "Root element has sibling");
    int siblings = 0;
    for (int c = open.Elem(0).iFirstChild; c != 0; c = open.Elem(c).iNext, ++siblings) {
        ASSERT_EQ(c, siblings + 1);
        ASSERT_TRUE(open.Elem(c).Has(ElemRecord::kNotEnded));
    }
    EXPECT_EQ(siblings, depth);
    EXPECT_EQ(open.Elem(1).iPrev, depth);
}

TEST(FaultOversize, EventNestedAMillionLevelsDeepFilesNothing) {
    TempFolder folder;
    const std::string body = "<?xml version=\"1.0\"?><config><smartType>PEA</smartType>" +
                             Repeat("<sourceDataInfo>", 1000000) + "<sourceBase64Data>" +
                             ToBase64("x") + "</sourceBase64Data></config>";
    const PictureArchive archive{folder.Path(), nullptr};
    const DecodeResult result = DecodeEvent(archive, body.c_str(), static_cast<int>(body.size()));
    EXPECT_EQ(result.smartType, "PEA");
    // The unended levels become siblings inside config; the first holds no picture any more.
    EXPECT_TRUE(result.pictures.empty());
    // The same event through the receive loop, whose buffer grows to take it whole.
    const DrivenRun run = DriveReceiveLoop(folder.Path(), EventMessage(body), 65536);
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_TRUE(run.reports[0].complete);
    EXPECT_TRUE(run.reports[0].decoded);
    EXPECT_EQ(run.reports[0].smartType, "PEA");
}

}  // namespace
