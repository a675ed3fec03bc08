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

}  // namespace

TEST(HostOfUrl, TextAfterSchemeUpToColonOrSlash) {
    const char* rows[][2] = {{"http://127.0.0.1:80", "127.0.0.1"}, {"http://dev/p:x", "dev"},
                             {"http://device", "device"},          {"http://:80", ""},
                             {"127.0.0.1:80", "127.0.0.1"},        {"", ""}};
    for (const auto& row : rows)
        EXPECT_EQ(HostOfUrl(row[0]), row[1]) << row[0];
}

TEST(ComposeShortRequest, ChannelWithoutBodyHasNoContentLength) {
    const ShortRequest r = ComposeShortRequest(Builtin("GetImageConfig"), "GetImageConfig",
                                               "127.0.0.1", "80", "admin", "739184");
    EXPECT_EQ(r.strPairInterface, "SetImageConfig");
    EXPECT_EQ(r.strBody, "");
    EXPECT_EQ(r.preview,
              "POST /GetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
              "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\n\r\n");
}

TEST(ComposeShortRequest, PathGetsTheChannelAndUpOnlyForPtzControlWithABody) {
    const API_INTERFACE noChannel{9, 0, "PtzControl", "", "<a/>"},
        noBody{9, 1, "PtzControl", "", ""};
    const struct {
        const API_INTERFACE* record;
        std::string item, path;
    } rows[] = {{Builtin("PtzControl"), "PtzControl", "PtzControl/1/Up"},
                {&noChannel, "PtzControl", "PtzControl"},
                {&noBody, "PtzControl", "PtzControl/1"},
                {Builtin("PtzGotoPreset"), "PtzGotoPreset", "PtzGotoPreset/1"},
                {Builtin("GetDeviceInfo"), "GetDeviceInfo", "GetDeviceInfo"},
                {nullptr, "Missing", "Missing"}};
    for (const auto& row : rows) {
        const ShortRequest r =
            ComposeShortRequest(row.record, row.item, "127.0.0.1", "80", "u", "p");
        EXPECT_EQ(r.strInterface, row.path) << row.item;
        EXPECT_EQ(r.strBody, row.record ? row.record->strBody : "") << row.item;
        EXPECT_EQ(r.preview, FormatShortRequestHeader(row.path, r.strAuth, "127.0.0.1", r.strBody));
    }
}

TEST(FormatShortRequestHeader, ContentLengthCountsBytes) {
    std::string body = "<name>\xe5\xbc\xa0\xe4\xbc\x9f</name>";  // 6 bytes in two characters
    body += std::string(120 - body.size(), 'x');
    EXPECT_EQ(FormatShortRequestHeader("Set/1", "QQ==", "h", body),
              "POST /Set/1 HTTP/1.1\r\nAuthorization: Basic QQ==\r\nUser-Agent: Lurvane\r\n"
              "Host: h\r\nContent-Length: 120\r\n\r\n" +
                  body);
}

TEST(ComposeShortRequest, ModifyPasswordReplacesTheOldPasswordOnly) {
    const std::string user(100, 'u');
    const std::string passwords[] = {"n3w-pass", "", std::string(100, 'p') + "\xe5\xaf\x86:"};
    for (const std::string& entered : passwords) {
        SCOPED_TRACE(entered);
        const ShortRequest r = ComposeShortRequest(Builtin("ModifyPassword"), "ModifyPassword",
                                                   "127.0.0.1", "80", user, entered);
        std::string expected = Builtin("ModifyPassword")->strBody;
        expected.replace(expected.find("NzM5MTg0"), 8, CBase64().Encode(entered));
        EXPECT_EQ(r.strBody, expected);
        EXPECT_EQ(Decode(r.strAuth), user + ":" + entered);  // any length, no line breaks
        EXPECT_EQ(r.strAuth.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(r.preview.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
                  std::string::npos);
    }
}

TEST(EncodeCredentials, AdminStartValuesAndAnEmptyUser) {
    EXPECT_EQ(EncodeCredentials("admin", "739184"), "YWRtaW46NzM5MTg0");
    EXPECT_EQ(Decode(EncodeCredentials("", "pw")), ":pw");
}
