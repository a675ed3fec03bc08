#include "request/short_request.h"

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/builtin_interfaces.h"
#include "codec/base64.h"

namespace {

const API_INTERFACE* Builtin(const std::string& name) {
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        if (r.strName == name)
            return &r;
    }
    return nullptr;
}

std::string Decode(const std::string& text) {
    std::vector<unsigned char> out(Base64DecodedSize(static_cast<int>(text.size())));
    const int n = Base64Decode(text.data(), static_cast<int>(text.size()), out.data());
    return std::string(reinterpret_cast<const char*>(out.data()), n < 0 ? 0 : n);
}

ShortRequest Click(const std::string& name, const std::string& password = kDefaultPassword) {
    return ComposeShortRequest(Builtin(name), name, "127.0.0.1", "80", kDefaultUser, password);
}

}  // namespace

TEST(EncodeCredentials, UserColonPassword) {
    EXPECT_EQ(EncodeCredentials("admin", "739184"), "YWRtaW46NzM5MTg0");
    EXPECT_EQ(Decode(EncodeCredentials("admin", "")), "admin:");
    EXPECT_EQ(EncodeCredentials("admin", ""), "YWRtaW46");
    EXPECT_EQ(Decode(EncodeCredentials("", "pw")), ":pw");
}

TEST(EncodeCredentials, BuiltinPasswordFormMatchesTheEncoder) {
    EXPECT_EQ(CBase64().Encode(kDefaultPassword), kDefaultPasswordBase64);
}

TEST(EncodeCredentials, AnyLengthAndBytesAsGiven) {
    const std::string user(120, 'u');
    const std::string password = "p\xe5\xaf\x86\xe7\xa0\x81:" + std::string(200, 'x');
    const std::string auth = EncodeCredentials(user, password);
    EXPECT_EQ(auth.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Decode(auth), user + ":" + password);
}

TEST(HostOfUrl, TextAfterSchemeUpToColonOrSlash) {
    EXPECT_EQ(HostOfUrl("http://127.0.0.1:80"), "127.0.0.1");
    EXPECT_EQ(HostOfUrl("http://device.local/path:x"), "device.local");
    EXPECT_EQ(HostOfUrl("http://device"), "device");
    EXPECT_EQ(HostOfUrl("http://:80"), "");
    EXPECT_EQ(HostOfUrl("127.0.0.1:80"), "127.0.0.1");
    EXPECT_EQ(HostOfUrl(""), "");
}

TEST(FormatShortRequestHeader, WithAndWithoutBody) {
    EXPECT_EQ(FormatShortRequestHeader("Set/1", "QQ==", "h", "hello"),
              "POST /Set/1 HTTP/1.1\r\nAuthorization: Basic QQ==\r\nUser-Agent: Lurvane\r\n"
              "Host: h\r\nContent-Length: 5\r\n\r\nhello");
    EXPECT_EQ(FormatShortRequestHeader("Get", "QQ==", "h", ""),
              "POST /Get HTTP/1.1\r\nAuthorization: Basic QQ==\r\nUser-Agent: Lurvane\r\n"
              "Host: h\r\n\r\n");
}

TEST(ComposeShortRequest, ChannelWithoutBodyHasNoContentLength) {
    const ShortRequest r = Click("GetImageConfig");
    EXPECT_EQ(r.strInterface, "GetImageConfig/1");
    EXPECT_EQ(r.strPairInterface, "SetImageConfig");
    EXPECT_TRUE(r.strBody.empty());
    EXPECT_EQ(r.strHost, "127.0.0.1");
    EXPECT_EQ(r.strAuth, EncodeCredentials("admin", "739184"));
    EXPECT_EQ(r.preview, "POST /GetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic " + r.strAuth +
                             "\r\nUser-Agent: Lurvane\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(r.preview.find("Content-Length"), std::string::npos);
}

TEST(ComposeShortRequest, NoChannelKeepsTheName) {
    const ShortRequest r = Click("GetDeviceInfo");
    EXPECT_EQ(r.strInterface, "GetDeviceInfo");
    EXPECT_TRUE(r.strPairInterface.empty());
}

TEST(ComposeShortRequest, PtzControlMovesUp) {
    const ShortRequest r = Click("PtzControl");
    EXPECT_EQ(r.strInterface, "PtzControl/1/Up");
    EXPECT_EQ(r.strBody, Builtin("PtzControl")->strBody);
    EXPECT_EQ(r.preview,
              FormatShortRequestHeader("PtzControl/1/Up", r.strAuth, "127.0.0.1", r.strBody));
    EXPECT_NE(
        r.preview.find("\r\nContent-Length: " + std::to_string(r.strBody.size()) + "\r\n\r\n<?xml"),
        std::string::npos);
}

TEST(ComposeShortRequest, UpOnlyForPtzControlWithChannelAndBody) {
    API_INTERFACE noChannel{9, 0, "PtzControl", "", "<a/>"};
    EXPECT_EQ(ComposeShortRequest(&noChannel, "PtzControl", "h", "80", "u", "p").strInterface,
              "PtzControl");
    API_INTERFACE noBody{9, 1, "PtzControl", "", ""};
    EXPECT_EQ(ComposeShortRequest(&noBody, "PtzControl", "h", "80", "u", "p").strInterface,
              "PtzControl/1");
    EXPECT_EQ(Click("PtzGotoPreset").strInterface, "PtzGotoPreset/1");
}

TEST(ComposeShortRequest, ContentLengthCountsBytes) {
    // 120 bytes, some of them in multi-byte characters.
    std::string body = "<name>\xe5\xbc\xa0\xe4\xbc\x9f</name>";
    body += std::string(120 - body.size(), 'x');
    ASSERT_EQ(body.size(), 120u);
    API_INTERFACE rec{9, 0, "SetName", "", body};
    const ShortRequest r = ComposeShortRequest(&rec, "SetName", "10.0.0.1", "80", "u", "p");
    EXPECT_NE(r.preview.find("\r\nContent-Length: 120\r\n\r\n" + body), std::string::npos);
    EXPECT_EQ(r.preview.size() - r.preview.find("\r\n\r\n") - 4, 120u);
}

TEST(ComposeShortRequest, ModifyPasswordReplacesTheOldPasswordOnly) {
    const std::string entered = "n3w-pass";
    const ShortRequest r = Click("ModifyPassword", entered);
    const std::string encoded = CBase64().Encode(entered);
    EXPECT_NE(r.strBody.find("<oldPassword><![CDATA[" + encoded + "]]></oldPassword>"),
              std::string::npos);
    EXPECT_NE(r.strBody.find(std::string("<password><![CDATA[") + kDefaultPasswordBase64 +
                             "]]></password>"),
              std::string::npos);
    // Apart from the substitution the template is unchanged.
    std::string expected = Builtin("ModifyPassword")->strBody;
    expected.replace(expected.find(kDefaultPasswordBase64), 8, encoded);
    EXPECT_EQ(r.strBody, expected);
    EXPECT_EQ(r.strAuth, EncodeCredentials("admin", entered));
    EXPECT_NE(r.preview.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
              std::string::npos);
}

TEST(ComposeShortRequest, EmptyPasswordEmptiesTheOldPassword) {
    const ShortRequest r = Click("ModifyPassword", "");
    EXPECT_NE(r.strBody.find("<oldPassword><![CDATA[]]></oldPassword>"), std::string::npos);
    EXPECT_EQ(r.strAuth, CBase64().Encode("admin:"));
}

TEST(ComposeShortRequest, LongCredentialsAreNotCut) {
    const std::string user(100, 'u'), password(100, 'p');
    const ShortRequest r = ComposeShortRequest(Builtin("ModifyPassword"), "ModifyPassword",
                                               "127.0.0.1", "80", user, password);
    EXPECT_EQ(Decode(r.strAuth), user + ":" + password);
    EXPECT_NE(r.strBody.find("<oldPassword><![CDATA[" + CBase64().Encode(password) + "]]>"),
              std::string::npos);
}

TEST(ComposeShortRequest, HostFromTheIpText) {
    const API_INTERFACE* rec = Builtin("Reboot");
    EXPECT_EQ(ComposeShortRequest(rec, "Reboot", "", "80", "u", "p").strHost, "");
    EXPECT_EQ(ComposeShortRequest(rec, "Reboot", "cam.example", "8080", "u", "p").strHost,
              "cam.example");
    EXPECT_EQ(ComposeShortRequest(rec, "Reboot", "cam/x", "80", "u", "p").strHost, "cam");
}

TEST(ComposeShortRequest, UnknownItemGivesABareRequest) {
    const ShortRequest r = ComposeShortRequest(nullptr, "Missing", "127.0.0.1", "80", "u", "p");
    EXPECT_EQ(r.strInterface, "Missing");
    EXPECT_TRUE(r.strPairInterface.empty());
    EXPECT_TRUE(r.strBody.empty());
    EXPECT_EQ(r.preview, FormatShortRequestHeader("Missing", r.strAuth, "127.0.0.1", ""));
}
