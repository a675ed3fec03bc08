#include "request/short_request.h"

#include <gtest/gtest.h>

#include "catalogue/builtin_interfaces.h"
#include "codec/base64.h"
#include "support/base64_reference.h"

namespace {

const API_INTERFACE* Builtin(const std::string& name) {
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        if (r.strName == name) {
            return &r;
        }
    }
    return nullptr;
}

}  // namespace

TEST(HostOfUrl, TextAfterSchemeUpToColonOrSlash) {
    const char* rows[][2] = {{"http://127.0.0.1:80", "127.0.0.1"}, {"http://dev/p:x", "dev"},
                             {"http://device", "device"},          {"http://:80", ""},
                             {"127.0.0.1:80", "127.0.0.1"},        {"", ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(HostOfUrl(row[0]), row[1]) << row[0];
    }
}

TEST(ComposeShortRequest, PathGetsTheChannelAndUpOnlyForPtzControlWithABody) {
    const API_INTERFACE noChannel{9, 0, "PtzControl", "", "<a/>"},
        noBody{9, 1, "PtzControl", "", ""};
    const std::pair<const API_INTERFACE*, std::string> rows[] = {
        {Builtin("PtzControl"), "PtzControl/1/Up"},
        {&noChannel, "PtzControl"},
        {&noBody, "PtzControl/1"},
        {Builtin("GetImageConfig"), "GetImageConfig/1"},
        {Builtin("GetDeviceInfo"), "GetDeviceInfo"},
        {nullptr, "Missing"}};
    for (const auto& [record, path] : rows) {
        const std::string item = record ? record->strName : path;
        const ShortRequest r = ComposeShortRequest(record, item, "127.0.0.1", "80", "u", "p");
        EXPECT_EQ(r.strInterface, path);
        EXPECT_EQ(r.strBody, record ? record->strBody : "") << item;
        EXPECT_EQ(r.strPairInterface, record ? record->strPairName : "") << item;
        EXPECT_EQ(r.preview, FormatShortRequestHeader(path, r.strAuth, "127.0.0.1", r.strBody));
    }
    // Without a body the header has no Content-Length and ends in the blank line.
    EXPECT_EQ(ComposeShortRequest(Builtin("GetImageConfig"), "GetImageConfig", "127.0.0.1", "80",
                                  "admin", "739184")
                  .preview,
              "POST /GetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
              "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\n\r\n");
    std::string body = "<name>\xe5\xbc\xa0\xe4\xbc\x9f</name>";  // 6 bytes in two characters
    body += std::string(120 - body.size(), 'x');
    EXPECT_EQ(FormatShortRequestHeader("Set/1", "QQ==", "h", body),
              "POST /Set/1 HTTP/1.1\r\nAuthorization: Basic QQ==\r\nUser-Agent: Lurvane\r\n"
              "Host: h\r\nContent-Length: 120\r\n\r\n" +
                  body);
}

TEST(ComposeShortRequest, ModifyPasswordReplacesTheFirstPasswordOnly) {
    const std::string user(100, 'u');
    for (const std::string& entered :
         {std::string("n3w-pass"), std::string(), std::string(100, 'p') + "\xe5\xaf\x86:"}) {
        SCOPED_TRACE(entered);
        const ShortRequest r = ComposeShortRequest(Builtin("ModifyPassword"), "ModifyPassword",
                                                   "127.0.0.1", "80", user, entered);
        std::string expected = Builtin("ModifyPassword")->strBody;
        expected.replace(expected.find("NzM5MTg0"), 8, CBase64().Encode(entered));
        EXPECT_EQ(r.strBody, expected);
        EXPECT_EQ(PlainBase64Decode(r.strAuth),
                  user + ":" + entered);  // any length, no line breaks
        EXPECT_EQ(r.strAuth.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(r.preview.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
                  std::string::npos);
    }
    EXPECT_EQ(PlainBase64Decode(EncodeCredentials("", "pw")), ":pw");
}
