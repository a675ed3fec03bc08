// The byte texts of requests: request lines, UTF-8 sequences and curl command lines.
#include "session/request_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "session/curl_command.h"

namespace {

// What `sh -c command` writes on its standard output; "(failed)" when it cannot run.
std::string ShellOutput(const std::string& command) {
    std::FILE* pipe = popen(("exec 2>/dev/null; " + command).c_str(), "r");
    if (pipe == nullptr)
        return "(failed)";
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return pclose(pipe) == 0 ? out : "(failed)";
}

}  // namespace

TEST(RequestLinePath, TheFirstLineMustBeAPostOfAPath) {
    const std::pair<std::string, const char*> rows[] = {
        {"POST /GetStreamCaps HTTP/1.1\r\nHost: h\r\n\r\n", "GetStreamCaps"},
        {"POST /PtzControl/1/Up HTTP/1.1", "PtzControl/1/Up"},
        {"POST /GetX\r\n\r\n<a/>", "GetX"},
        {"POST / HTTP/1.1\r\n", ""},
        {"POST /", ""},
        {"\r\nPOST /GetX HTTP/1.1", nullptr},  // a blank line first
        {"GET /GetX HTTP/1.1", nullptr},
        {"post /GetX HTTP/1.1", nullptr},
        {"<config/>", nullptr},
        {"", nullptr}};
    for (const auto& [text, path] : rows) {
        std::string got = "untouched";
        EXPECT_EQ(RequestLinePath(text, got), path != nullptr) << text;
        EXPECT_EQ(got, path ? path : "untouched") << text;
    }
}

TEST(ValidUtf8Length, SequencesOfTwoToFourBytesAndNothingElse) {
    const std::pair<std::string, size_t> rows[] = {{"\xc3\xa9", 2},
                                                   {"\xe5\xbc\xa0", 3},
                                                   {"\xf0\x9f\x98\x80", 4},
                                                   {"a", 0},
                                                   {"\x80", 0},
                                                   {"\xc3", 0},  // cut
                                                   {"\xc0\xaf", 0},
                                                   {"\xe0\x80\xaf", 0},      // overlong
                                                   {"\xed\xa0\x80", 0},      // surrogate
                                                   {"\xf4\x90\x80\x80", 0},  // above U+10FFFF
                                                   {"\xe5\x41\xa0", 0}};
    for (const auto& [text, length] : rows)
        EXPECT_EQ(ValidUtf8Length(text, 0), length) << text;
}

TEST(CurlCommandLine, TheShellHandsCurlEveryByteOfTheBody) {
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += static_cast<char>(c);
    const std::string bodies[] = {"<a>\r\n\t'q' \"d\" 100% \\n</a>\r\n",
                                  "<n>\xe5\xbc\xa0</n>\xff\xc3", every};
    for (const std::string& body : bodies) {
        const std::string command = CurlCommandLine("http://127.0.0.1:9/GetX/1", "a'b", body);
        const size_t pipe = command.find(" | curl ");
        ASSERT_NE(pipe, std::string::npos) << command;
        EXPECT_EQ(ShellOutput(command.substr(0, pipe)), body);
        EXPECT_EQ(command.substr(pipe + 3),
                  "curl 'http://127.0.0.1:9/GetX/1' --anyauth -u 'a'\\''b' -H "
                  "'Content-type:text/plain; charset=UTF-8' --data-binary @-");
    }
    // Over TLS the certificate is checked as the post checks it: a pin alone, or nothing.
    const std::pair<TlsTrust, std::string> trusts[] = {
        {TlsTrust{}, "curl 'https://h/x' --anyauth"},
        {TlsTrust{"sha256//AbC=", false}, "curl 'https://h/x' -k --pinnedpubkey 'sha256//AbC=' --"},
        {TlsTrust{"", true}, "curl 'https://h/x' -k --anyauth"}};
    for (const auto& [trust, start] : trusts)
        EXPECT_EQ(CurlCommandLine("https://h/x", "a", "", &trust).rfind(start, 0), 0u) << start;
    // Readable UTF-8 stays as it is; an empty body goes inline.
    EXPECT_NE(CurlCommandLine("u", "a", "\xe5\xbc\xa0").find("'\xe5\xbc\xa0'"), std::string::npos);
    EXPECT_EQ(CurlCommandLine("u", "a", ""),
              "curl 'u' --anyauth -u 'a' -H "
              "'Content-type:text/plain; charset=UTF-8' "
              "--data-binary ''");
}
