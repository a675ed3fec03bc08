#include "request/long_request.h"

#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/catalogue.h"
#include "catalogue/program_folder.h"
#include "request/short_request.h"
#include "support/test_support.h"

namespace {

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\" "
    "xmlns=\"http://tessaly.invalid/ver10\">\r\n";

// A follow-up body whose serverAddress value is `value`, among other CDATA sections.
std::string FollowUp(const std::string& value) {
    return kHead + "\t<name><![CDATA[old]]></name>\r\n\t<serverAddress type=\"string\"><![CDATA[" +
           value +
           "]]></serverAddress>\r\n\t<renewTime "
           "type=\"uint32\">300</renewTime>\r\n\t<n><![CDATA[old]]></n>\r\n</config>\r\n";
}

std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

// The keep-alive request for `body`, built independently of the code under test.
std::string Expected(const std::string& name, const std::string& body) {
    return "POST /" + name +
           " HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\nUser-Agent: Lurvane\r\n"
           "Host: 127.0.0.1\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" +
           body;
}

// PrepareLongRequest on a file holding `bytes`, for the interface its name carries.
std::string Prepare(const TempFolder& tmp, const std::string& interfaceName,
                    const std::string& bytes, const std::string& serverAddress) {
    const std::string path = tmp.WriteFile("SUBSCRIBE_" + interfaceName + "_test.xml", bytes);
    std::string request = "previous";
    EXPECT_EQ(PrepareLongRequest(path, "127.0.0.1", SubscriptionInterfaceName(path), "admin",
                                 "739184", serverAddress, request),
              PrepareResult::Ok);
    return request;
}

}  // namespace

// Rows "path>name": the text between "SUBSCRIBE_" and the next "_test", in this letter case.
TEST(SubscriptionInterfaceName, BetweenSubscribeAndTest) {
    std::istringstream rows(
        "/p/Subscribe/SUBSCRIBE_SetSubscribe_test.xml>SetSubscribe "
        "SUBSCRIBE_A_test_SUBSCRIBE_B_test.xml>A SUBSCRIBE__test.xml> /p/SetSubscribe.xml> "
        "/p/SUBSCRIBE_SetSubscribe.xml> /p/x_test/SUBSCRIBE_Set.xml> /p/subscribe_Set_test.xml> >");
    for (std::string row; rows >> row;) {
        EXPECT_EQ(SubscriptionInterfaceName(row.substr(0, row.find('>'))),
                  row.substr(row.find('>') + 1))
            << row;
    }
}

// The template byte for byte is held against every prepared request below.
TEST(BuildLongRequest, NoLengthLimits) {
    const std::string user(150, 'u'), password(150, 'p'), body(30000, 'b');
    const std::string out = BuildLongRequest("127.0.0.1", "GetSubscribeInfo", user, password, body);
    EXPECT_NE(out.find("Basic " + EncodeCredentials(user, password) + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nContent-Length: 30000\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(out), body);
}

TEST(PrepareLongRequest, FollowUpsTakeTheRecordedAddressSetSubscribeDoesNot) {
    TempFolder tmp;
    const std::string old = "old", now = "http://127.0.0.1:8080/S/42";
    const struct {
        std::string name, body, address, expected;
    } rows[] = {{"SetSubscribe", FollowUp(old), now, FollowUp(old)},
                {"setSUBSCRIBE", FollowUp(old), now, FollowUp(old)},  // in any letter case
                {"RenewSubscribe", FollowUp(old), now, FollowUp(now)},
                {"GetSubscribeInfo", FollowUp(std::string(103, 'v')), "x", FollowUp("x")},
                {"CancelSubscribe", FollowUp(old), "", FollowUp(old)}};  // none recorded yet
    // Bodies without a usable element stay as they are.
    const std::string unchanged[] = {
        kHead + "\t<name><![CDATA[cam]]></name>\r\n</config>",
        kHead + "\t<serverAddress>plain</serverAddress>\r\n\t<n><![CDATA[x]]></n>\r\n</config>",
        kHead + "\t<serverAddress><![CDATA[http://old</serverAddress>\r\n</config>",
        kHead + "\t<serverAddress><![CDATA[http://old]]>\r\n",
        kHead + "\t<serverAddress/><n><![CDATA[x]]></n>\r\n</config>",
        kHead + "\t<serverAddressList><![CDATA[x]]></serverAddressList>\r\n</config>",
        kHead + "\t<note>serverAddress <![CDATA[x]]></note>\r\n</config>"};
    for (const auto& row : rows) {
        EXPECT_EQ(Prepare(tmp, row.name, row.body, row.address), Expected(row.name, row.expected))
            << row.name << " " << row.body;
    }
    for (const std::string& body : unchanged) {
        EXPECT_EQ(Prepare(tmp, "CancelSubscribe", body, "NEW"), Expected("CancelSubscribe", body));
    }
}

TEST(PrepareLongRequest, NoIpOrAnEmptyOrUnreadableFileLeavesTheRequestAlone) {
    TempFolder tmp;
    const std::pair<std::string, std::string> rows[] = {
        {tmp.WriteFile("SUBSCRIBE_RenewSubscribe_test.xml", FollowUp("a")), ""},
        {tmp.Path() + "/none.xml", "127.0.0.1"},
        {tmp.WriteFile("empty.xml", ""), "127.0.0.1"},
        {tmp.MakeFolder("folder.xml"), "127.0.0.1"}};
    for (const auto& [file, ip] : rows) {
        std::string request = "previous", data = "kept";
        EXPECT_EQ(PrepareLongRequest(file, ip, "RenewSubscribe", "a", "b", "x", request),
                  ip.empty() ? PrepareResult::NoIp : PrepareResult::Unreadable);
        EXPECT_EQ(request, "previous") << file;
        if (!ip.empty()) {
            EXPECT_FALSE(ReadProtocolFile(file, data)) << file;
            EXPECT_EQ(data, "kept") << file;
        }
    }
    const std::string bytes = std::string("a\0b\r\n", 5) + std::string(70000, 'z');  // every byte
    std::string data;
    EXPECT_TRUE(ReadProtocolFile(tmp.WriteFile("bin.xml", bytes), data));
    EXPECT_EQ(data, bytes);
}

TEST(SubstituteServerAddress, NeedsAHeaderEndAndContentLength) {
    for (std::string request : {"POST / HTTP/1.1\r\nContent-Length: 5\r\n" + FollowUp("a"),
                                "POST / HTTP/1.1\r\nHost: h\r\n\r\n" + FollowUp("a")}) {
        const std::string before = request;
        EXPECT_FALSE(SubstituteServerAddress(request, "b"));
        EXPECT_EQ(request, before);
    }
}

TEST(PrepareLongRequest, ShippedFollowUpsTakeTheAddressSetSubscribeDoesNot) {
    const std::string address = "http://127.0.0.1:8080/Subscribers/123456789";
    for (const char* name :
         {"SetSubscribe", "RenewSubscribe", "GetSubscribeInfo", "CancelSubscribe"}) {
        const std::string path = LongRequestFilePath(GetProgramFolder(), "Subscribe",
                                                     std::string("SUBSCRIBE_") + name + "_test");
        std::string request;
        ASSERT_EQ(PrepareLongRequest(path, "127.0.0.1", name, "admin", "739184", address, request),
                  PrepareResult::Ok)
            << "protocol_long was not copied: " << path;
        EXPECT_EQ(request.find("<![CDATA[" + address + "]]>") != std::string::npos,
                  std::string(name) != "SetSubscribe")
            << name;
        EXPECT_EQ(request, Expected(name, BodyOf(request))) << name;
    }
}

TEST(WithTrueContentLength, EveryLengthOfTheHeadTellsTheBodyAndAMissingOneIsAdded) {
    const std::string body = "<a>\r\n\xe5\xbc\xa0</a>";  // 12 bytes, 10 characters
    const std::pair<std::string, std::string> rows[] = {
        {"POST /x HTTP/1.1\r\nContent-Length: 3\r\nKeep-Alive: 300 \r\n\r\n",
         "POST /x HTTP/1.1\r\nContent-Length: 12\r\nKeep-Alive: 300 \r\n\r\n"},
        {"POST /x HTTP/1.1\r\ncontent-length:\t99999\r\nContent-Length: \r\n\r\n",
         "POST /x HTTP/1.1\r\ncontent-length:\t12\r\nContent-Length: 12\r\n\r\n"},
        {"POST /x HTTP/1.1\r\nHost: h\r\n\r\n",
         "POST /x HTTP/1.1\r\nHost: h\r\nContent-Length: 12\r\n\r\n"},
        {"POST /x HTTP/1.1\r\n\r\n", "POST /x HTTP/1.1\r\nContent-Length: 12\r\n\r\n"},
        // The request line is no header, nor is a header inside the body.
        {"POST /Content-Length: 5 HTTP/1.1\r\nX-Content-Length: 1\r\n\r\n",
         "POST /Content-Length: 5 HTTP/1.1\r\nX-Content-Length: 1\r\nContent-Length: 12\r\n\r\n"},
    };
    for (const auto& [head, wanted] : rows)
        EXPECT_EQ(WithTrueContentLength(head + body), wanted + body) << head;
    // Without a blank line there is no body to count.
    EXPECT_EQ(WithTrueContentLength("POST /x HTTP/1.1\r\nContent-Length: 5\r\n<a/>"),
              "POST /x HTTP/1.1\r\nContent-Length: 5\r\n<a/>");
    const std::string tail = body + "\r\nContent-Length: 2\r\n\r\n";  // in the body: kept
    EXPECT_EQ(WithTrueContentLength("POST /x HTTP/1.1\r\nContent-Length: 9\r\n\r\n" + tail),
              "POST /x HTTP/1.1\r\nContent-Length: 35\r\n\r\n" + tail);
}
