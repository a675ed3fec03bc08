#include "codec/base64.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>

namespace {

// Encodes into exactly EncodedSize bytes, so that a write past them shows under AddressSanitizer.
std::string Encode(const CBase64& codec, const std::string& src) {
    const int size = CBase64::EncodedSize(static_cast<int>(src.size()), codec.LineLength());
    auto dst = std::make_unique<char[]>(size);
    const int n = codec.Encode(reinterpret_cast<const unsigned char*>(src.data()),
                               static_cast<int>(src.size()), dst.get(), size);
    EXPECT_TRUE(n == size - 1 && dst[n] == '\0') << n << " of " << size;
    return std::string(dst.get(), n > 0 ? n : 0);
}

// Decodes a heap copy of exactly the text into exactly Base64DecodedSize bytes.
std::string Decode(const std::string& text) {
    const int len = static_cast<int>(text.size());
    auto src = std::make_unique<char[]>(std::max<size_t>(text.size(), 1));
    std::copy(text.begin(), text.end(), src.get());
    auto dst = std::make_unique<unsigned char[]>(Base64DecodedSize(len));
    const int n = Base64Decode(src.get(), len, dst.get());
    EXPECT_TRUE(n >= 0 && n < Base64DecodedSize(len) && dst[n] == 0) << n;
    return std::string(reinterpret_cast<const char*>(dst.get()), n);
}

}  // namespace

TEST(Base64, Rfc4648VectorsBothWays) {
    std::istringstream rows(
        "f:Zg== fo:Zm8= foo:Zm9v foob:Zm9vYg== fooba:Zm9vYmE= foobar:Zm9vYmFy "
        "admin:12345:YWRtaW46MTIzNDU= \xFB\xFF\xBF:+/+/ :");
    for (std::string row; rows >> row;) {
        const std::string plain = row.substr(0, row.rfind(':')),
                          text = row.substr(plain.size() + 1);
        EXPECT_EQ(Encode(CBase64(), plain), text);
        EXPECT_EQ(CBase64().Encode(plain), text);
        EXPECT_EQ(Decode(text), plain);
    }
}

TEST(Base64Encode, SizesAndRefusedArguments) {
    EXPECT_EQ(CBase64::EncodedSize(-3), 1);
    EXPECT_EQ(CBase64::EncodedSize(2000000000), -1);  // would not fit an int
    char dst[8] = {'x', 'x'};
    const auto* src = reinterpret_cast<const unsigned char*>("abcdef");
    EXPECT_EQ(CBase64().Encode(nullptr, 5, dst, 4), 0);  // only the NUL
    EXPECT_EQ(std::string(dst, 2), std::string("\0x", 2));
    dst[0] = 'x';
    EXPECT_EQ(CBase64().Encode(src, 6, dst, 8), -1);  // needs 9: nothing but the NUL
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(CBase64().Encode(src, 3, nullptr, 8), -1);
}

TEST(Base64Encode, LineBreaks) {
    // A break after every lineLength characters, the first "=" counted, never the final pad.
    EXPECT_EQ(Encode(CBase64(4), "abcdef"), "YWJj\r\nZGVm\r\n");
    EXPECT_EQ(Encode(CBase64(3), "a"), "YQ=\r\n=");
    EXPECT_EQ(Encode(CBase64(7), "abcd"), "YWJjZA=\r\n=");
    std::mt19937 rng(7);
    for (int lineLength : {-1, 0, 1, 3, 4, 5, 7, 64, 76}) {
        for (size_t n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 57, 58, 59, 3000}) {
            std::string src(n, '\0');
            for (char& c : src) {
                c = static_cast<char>(rng());
            }
            const std::string flat = CBase64().Encode(src);
            const size_t counted = flat.size() - (n % 3 ? 1 : 0);
            std::string want;
            for (size_t k = 0; k < flat.size(); ++k) {
                want += flat[k];
                want += k < counted && lineLength > 0 && (k + 1) % lineLength == 0 ? "\r\n" : "";
            }
            const std::string text = Encode(CBase64(lineLength), src);
            EXPECT_EQ(text, want) << lineLength << " " << n;
            if (lineLength % 4 == 0) {  // whole groups per line: the breaks decode away
                EXPECT_EQ(Decode(text), src) << lineLength << " " << n;
            }
        }
    }
}

TEST(Base64Decode, Rules) {
    const std::pair<std::string, std::string> rows[] = {
        {"QUJD\r\nREVG", "ABCDEF"},
        {"\r\n\nQUJD\n", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QU\r\nJD", std::string("\x41\x40\x00\x24", 4)},  // inside a group CR LF are data (0)
        {"/-_/", std::string("\xFC\x00\x3F", 3)},          // outside the alphabet: 0
        {"\xC3\xA9QQ", std::string("\x00\x04\x10", 3)},    // above 127: 0
        {"QQ==QUJD", "A"},  // nothing after the group that holds the pad is decoded
        {"QUI=\r\n", "AB"},  // MIME: a line break after the pad
        {"QQ==\n", "A"},
        {"=QUJD", "\x01\x05\x09"},  // a pad in the first place ends it too
        {"QUI", "AB"},  // cut short: read as padded, nothing past the end read
        {"QQ", "A"},
        {"Q", "\x40"},
        {"QUJDRA", "ABCD"},
        {"QUJD\r", "ABC"},
        {"QUJD\r\nR", "ABC\x44"},
        {"", ""}};
    for (const auto& [text, bytes] : rows) {
        EXPECT_EQ(Decode(text), bytes) << text;
    }
    unsigned char dst[4] = {0xAA};
    EXPECT_EQ(Base64Decode(nullptr, 4, dst), 0);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(Base64Decode("QUJD", 4, nullptr), 0);
    EXPECT_EQ(Base64DecodedSize(-1), 1);
    EXPECT_GT(Base64DecodedSize(2147483647), 1600000000);
}
