#include "request/long_request.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/program_folder.h"
#include "catalogue/temp_folder.h"
#include "request/short_request.h"

namespace {

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\" "
    "xmlns=\"http://tessaly.invalid/ver10\">\r\n";

// A follow-up body whose serverAddress value is `value`.
std::string FollowUp(const std::string& value) {
    return kHead + "\t<serverAddress type=\"string\"><![CDATA[" + value +
           "]]></serverAddress>\r\n\t<renewTime type=\"uint32\">300</renewTime>\r\n</config>\r\n";
}

// The header up to and including the blank line, and what follows it.
std::string HeaderOf(const std::string& request) {
    return request.substr(0, request.find("\r\n\r\n") + 4);
}
std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

long ContentLength(const std::string& request) {
    const std::string key = "\r\nContent-Length: ";
    const size_t at = request.find(key);
    if (at == std::string::npos)
        return -1;
    return std::stol(request.substr(at + key.size()));
}

class LongRequest : public ::testing::Test {
  protected:
    std::string Prepare(const std::string& fileName, const std::string& bytes,
                        const std::string& serverAddress, int* result = nullptr) {
        const std::string path = tmp.WriteFile(fileName, bytes);
        std::string request = "previous";
        const int rc = PrepareLongRequest(path, "127.0.0.1", SubscriptionInterfaceName(path),
                                          "admin", "739184", serverAddress, request);
        if (result)
            *result = rc;
        EXPECT_EQ(rc, 0);
        return request;
    }
    TempFolder tmp;
};

}  // namespace

TEST(SubscriptionInterfaceName, BetweenSubscribeAndTest) {
    EXPECT_EQ(SubscriptionInterfaceName("/p/Subscribe/SUBSCRIBE_SetSubscribe_test.xml"),
              "SetSubscribe");
    EXPECT_EQ(SubscriptionInterfaceName("SUBSCRIBE_RenewSubscribe_test"), "RenewSubscribe");
    EXPECT_EQ(SubscriptionInterfaceName("SUBSCRIBE_A_test_SUBSCRIBE_B_test.xml"), "A");
    EXPECT_EQ(SubscriptionInterfaceName("SUBSCRIBE__test.xml"), "");
}

TEST(SubscriptionInterfaceName, MissingMarkersGiveEmpty) {
    EXPECT_EQ(SubscriptionInterfaceName("/p/SetSubscribe.xml"), "");
    EXPECT_EQ(SubscriptionInterfaceName("/p/SUBSCRIBE_SetSubscribe.xml"), "");
    EXPECT_EQ(SubscriptionInterfaceName("/p/x_test/SUBSCRIBE_Set.xml"), "");  // "_test" before
    EXPECT_EQ(SubscriptionInterfaceName("/p/subscribe_Set_test.xml"), "");    // letter case
    EXPECT_EQ(SubscriptionInterfaceName(""), "");
}

TEST_F(LongRequest, ReadProtocolFile) {
    std::string data = "kept";
    EXPECT_EQ(ReadProtocolFile(tmp.Path() + "/missing.xml", data), -1);
    EXPECT_EQ(data, "kept");
    EXPECT_EQ(ReadProtocolFile(tmp.WriteFile("empty.xml", ""), data), -1);
    EXPECT_EQ(data, "kept");
    EXPECT_EQ(ReadProtocolFile(tmp.MakeFolder("folder.xml"), data), -1);
    EXPECT_EQ(data, "kept");
    const std::string bytes("a\0b\r\n", 5);
    EXPECT_EQ(ReadProtocolFile(tmp.WriteFile("bin.xml", bytes), data), 0);
    EXPECT_EQ(data, bytes);
}

TEST(BuildLongRequest, TemplateByteForByte) {
    std::string out = "old";
    const std::string body = "<x/>\r\n";
    ASSERT_EQ(BuildLongRequest(out, "127.0.0.1", "SetSubscribe", "admin", "739184", body), 0);
    EXPECT_EQ(out,
              "POST /SetSubscribe HTTP/1.1\r\n"
              "Authorization: Basic YWRtaW46NzM5MTg0\r\n"
              "User-Agent: Lurvane\r\n"
              "Host: 127.0.0.1\r\n"
              "Content-Length: 6\r\n"
              "Connection: keep-alive\r\n"
              "Keep-Alive: 300 \r\n"
              "\r\n"
              "<x/>\r\n");
}

TEST(BuildLongRequest, NoLengthLimits) {
    const std::string user(150, 'u'), password(150, 'p');  // joined: 301 bytes
    const std::string body(30000, 'b');
    std::string out;
    ASSERT_EQ(BuildLongRequest(out, "127.0.0.1", "GetSubscribeInfo", user, password, body), 0);
    EXPECT_NE(out.find("Authorization: Basic " + EncodeCredentials(user, password) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(ContentLength(out), 30000);
    EXPECT_EQ(BodyOf(out), body);
}

TEST(BuildLongRequest, EmptyNameGivesARootPath) {
    std::string out;
    ASSERT_EQ(BuildLongRequest(out, "127.0.0.1", "", "admin", "739184", "<x/>"), 0);
    EXPECT_EQ(out.rfind("POST / HTTP/1.1\r\n", 0), 0u);
}

TEST_F(LongRequest, SetSubscribeIsSentAsItsFileSays) {
    // 300 bytes, with a serverAddress element that must stay as it is.
    std::string body = FollowUp("http://old.example/1");
    body += std::string(300 - body.size(), ' ');
    ASSERT_EQ(body.size(), 300u);
    const std::string request =
        Prepare("SUBSCRIBE_SetSubscribe_test.xml", body, "http://127.0.0.1:9/Subscribers/77");
    std::string expected;
    BuildLongRequest(expected, "127.0.0.1", "SetSubscribe", "admin", "739184", body);
    EXPECT_EQ(request, expected);
    EXPECT_EQ(ContentLength(request), 300);
    EXPECT_EQ(request.rfind("POST /SetSubscribe HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(request.find("\r\nHost: 127.0.0.1\r\n"), std::string::npos);
}

TEST_F(LongRequest, SetSubscribeInAnyLetterCaseIsUntouched) {
    const std::string body = FollowUp("http://old.example/1");
    const std::string path = tmp.WriteFile("f.xml", body);
    std::string request;
    ASSERT_EQ(
        PrepareLongRequest(path, "127.0.0.1", "setSUBSCRIBE", "a", "b", "http://new/2", request),
        0);
    EXPECT_EQ(BodyOf(request), body);
}

TEST_F(LongRequest, FollowUpGetsTheRecordedAddress) {
    const std::string oldValue = "http://10.1.2.3/s/42";        // 20 bytes
    const std::string newValue = "http://127.0.0.1:8080/S/42";  // 26 bytes
    ASSERT_EQ(oldValue.size(), 20u);
    ASSERT_EQ(newValue.size(), 26u);
    const std::string body = FollowUp(oldValue);
    const std::string request = Prepare("SUBSCRIBE_RenewSubscribe_test.xml", body, newValue);
    EXPECT_EQ(BodyOf(request), FollowUp(newValue));
    EXPECT_EQ(ContentLength(request), static_cast<long>(body.size()) + 6);
    EXPECT_EQ(ContentLength(request), static_cast<long>(BodyOf(request).size()));
    EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(body.size() + 6) +
                           "\r\nConnection: keep-alive\r\n"),
              std::string::npos);
    EXPECT_EQ(request.rfind("POST /RenewSubscribe HTTP/1.1\r\n", 0), 0u);
}

TEST_F(LongRequest, ShorterAddressLowersTheLengthAcrossADigit) {
    // 103-byte value replaced by a 1-byte one: the length drops below 100 bytes of body.
    const std::string body = FollowUp(std::string(103, 'v'));
    const std::string request = Prepare("SUBSCRIBE_CancelSubscribe_test.xml", body, "x");
    EXPECT_EQ(BodyOf(request), FollowUp("x"));
    EXPECT_EQ(ContentLength(request), static_cast<long>(body.size()) - 102);
    std::string expectedHeader;
    BuildLongRequest(expectedHeader, "127.0.0.1", "CancelSubscribe", "admin", "739184",
                     FollowUp("x"));
    EXPECT_EQ(HeaderOf(request), HeaderOf(expectedHeader));
}

TEST_F(LongRequest, NoRecordedAddressKeepsTheFileValue) {
    const std::string body = FollowUp("http://old.example/1");
    const std::string request = Prepare("SUBSCRIBE_GetSubscribeInfo_test.xml", body, "");
    EXPECT_EQ(BodyOf(request), body);
    EXPECT_EQ(ContentLength(request), static_cast<long>(body.size()));
}

TEST_F(LongRequest, OnlyTheServerAddressElementChanges) {
    // Other CDATA sections, and the old value elsewhere, are left alone.
    const std::string body = kHead +
                             "\t<name><![CDATA[old]]></name>\r\n"
                             "\t<note>old</note>\r\n"
                             "\t<serverAddress type=\"string\"><![CDATA[old]]></serverAddress>\r\n"
                             "\t<backup><![CDATA[old]]></backup>\r\n</config>";
    const std::string request = Prepare("SUBSCRIBE_RenewSubscribe_test.xml", body, "NEW");
    std::string expected = body;
    expected.replace(expected.find("[old]]></serverAddress>") + 1, 3, "NEW");
    EXPECT_EQ(BodyOf(request), expected);
}

TEST_F(LongRequest, BodiesWithoutAUsableElementAreUnchanged) {
    const std::string cases[] = {
        // no serverAddress at all, but other CDATA
        kHead + "\t<name><![CDATA[cam]]></name>\r\n</config>",
        // a serverAddress without CDATA, followed by an element with CDATA
        kHead + "\t<serverAddress>plain</serverAddress>\r\n\t<n><![CDATA[x]]></n>\r\n</config>",
        // CDATA never closed
        kHead + "\t<serverAddress><![CDATA[http://old</serverAddress>\r\n</config>",
        // element never closed
        kHead + "\t<serverAddress><![CDATA[http://old]]>\r\n",
        // an empty element, a longer element name, and a bare mention in text
        kHead + "\t<serverAddress/><n><![CDATA[x]]></n>\r\n</config>",
        kHead + "\t<serverAddressList><![CDATA[x]]></serverAddressList>\r\n</config>",
        kHead + "\t<note>serverAddress <![CDATA[x]]></note>\r\n</config>",
    };
    for (const std::string& body : cases) {
        SCOPED_TRACE(body);
        const std::string request = Prepare("SUBSCRIBE_RenewSubscribe_test.xml", body, "NEW");
        EXPECT_EQ(BodyOf(request), body);
        EXPECT_EQ(ContentLength(request), static_cast<long>(body.size()));
    }
}

TEST_F(LongRequest, FailuresLeaveTheRequestAlone) {
    const std::string path = tmp.WriteFile("SUBSCRIBE_RenewSubscribe_test.xml", FollowUp("a"));
    std::string request = "previous";
    EXPECT_EQ(PrepareLongRequest(path, "", "RenewSubscribe", "a", "b", "x", request), -1);
    EXPECT_EQ(request, "previous");
    EXPECT_EQ(PrepareLongRequest(tmp.Path() + "/none.xml", "127.0.0.1", "RenewSubscribe", "a", "b",
                                 "x", request),
              -1);
    EXPECT_EQ(request, "previous");
    const std::string empty = tmp.WriteFile("SUBSCRIBE_Empty_test.xml", "");
    EXPECT_EQ(PrepareLongRequest(empty, "127.0.0.1", "Empty", "a", "b", "x", request), -1);
    EXPECT_EQ(request, "previous");
}

TEST(SubstituteServerAddress, NeedsAHeaderWithContentLength) {
    std::string noHeaderEnd = "POST / HTTP/1.1\r\nContent-Length: 5\r\n" + FollowUp("a");
    const std::string before = noHeaderEnd;
    EXPECT_FALSE(SubstituteServerAddress(noHeaderEnd, "b"));
    EXPECT_EQ(noHeaderEnd, before);
    std::string noLength = "POST / HTTP/1.1\r\nHost: h\r\n\r\n" + FollowUp("a");
    const std::string before2 = noLength;
    EXPECT_FALSE(SubstituteServerAddress(noLength, "b"));
    EXPECT_EQ(noLength, before2);
    std::string ok;
    BuildLongRequest(ok, "h", "RenewSubscribe", "u", "p", FollowUp("a"));
    EXPECT_FALSE(SubstituteServerAddress(ok, ""));
    EXPECT_TRUE(SubstituteServerAddress(ok, "bb"));
    EXPECT_EQ(BodyOf(ok), FollowUp("bb"));
}

TEST(ShippedLongRequests, FollowUpsTakeTheAddressSetSubscribeDoesNot) {
    const std::string folder = GetProgramFolder();
    const std::string address = "http://127.0.0.1:8080/Subscribers/123456789";
    for (const char* name : {"SUBSCRIBE_SetSubscribe_test", "SUBSCRIBE_RenewSubscribe_test",
                             "SUBSCRIBE_GetSubscribeInfo_test", "SUBSCRIBE_CancelSubscribe_test"}) {
        SCOPED_TRACE(name);
        const std::string path = LongRequestFilePath(folder, "Subscribe", name);
        std::string file;
        ASSERT_EQ(ReadProtocolFile(path, file), 0) << "protocol_long was not copied";
        std::string request;
        ASSERT_EQ(PrepareLongRequest(path, "127.0.0.1", SubscriptionInterfaceName(path), "admin",
                                     "739184", address, request),
                  0);
        EXPECT_EQ(ContentLength(request), static_cast<long>(BodyOf(request).size()));
        const bool followUp = SubscriptionInterfaceName(path) != "SetSubscribe";
        EXPECT_EQ(BodyOf(request).find("<![CDATA[" + address + "]]>") != std::string::npos,
                  followUp);
        if (!followUp) {
            EXPECT_EQ(BodyOf(request), file);
        }
    }
}
