#include "codec/base64.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace {

// Encodes into exactly EncodedSize bytes, so that a write past them shows under AddressSanitizer.
std::string Encode(const CBase64& codec, const std::string& src) {
    const int size = CBase64::EncodedSize(static_cast<int>(src.size()), codec.LineLength());
    auto dst = std::make_unique<char[]>(size);
    const int n = codec.Encode(reinterpret_cast<const unsigned char*>(src.data()),
                               static_cast<int>(src.size()), dst.get(), size);
    EXPECT_EQ(n, size - 1);
    EXPECT_EQ(dst[n], '\0');
    return std::string(dst.get(), n > 0 ? n : 0);
}

// Decodes a heap copy of exactly the text into exactly Base64DecodedSize bytes.
std::string Decode(const std::string& text) {
    const int len = static_cast<int>(text.size());
    std::unique_ptr<char[]> src(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), src.get());
    const int size = Base64DecodedSize(len);
    auto dst = std::make_unique<unsigned char[]>(size);
    const int n = Base64Decode(src.get(), len, dst.get());
    EXPECT_TRUE(n >= 0 && n < size) << n << " of " << size;
    EXPECT_EQ(dst[n], 0);
    return std::string(reinterpret_cast<const char*>(dst.get()), n);
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

}  // namespace

TEST(Base64, Rfc4648VectorsBothWays) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"admin:12345", "YWRtaW46MTIzNDU="},
        {std::string("\xFB\xFF\xBF", 3), "+/+/"}};
    for (const auto& [plain, text] : vectors) {
        EXPECT_EQ(Encode(CBase64(), plain), text);
        EXPECT_EQ(CBase64().Encode(plain), text);
        EXPECT_EQ(Decode(text), plain);
    }
}

TEST(Base64Encode, SizesAndRefusedArguments) {
    // The credentials buffer is (length + 2) / 3 * 4 + 1 bytes; it must be exactly enough.
    for (int n = 0; n < 50; ++n)
        EXPECT_EQ(CBase64::EncodedSize(n), (n + 2) / 3 * 4 + 1) << n;
    EXPECT_EQ(CBase64::EncodedSize(-3), 1);
    EXPECT_EQ(CBase64::EncodedSize(2000000000), -1);  // would not fit an int
    const CBase64 codec;
    char dst[8] = {'x', 'x', 'x', 'x'};
    const auto* src = reinterpret_cast<const unsigned char*>("abcdef");
    EXPECT_EQ(codec.Encode(src, 0, dst, 4), 0);  // empty: only the NUL
    EXPECT_EQ(std::string(dst, 2), std::string("\0x", 2));
    EXPECT_EQ(codec.Encode(nullptr, 5, dst, 4), 0);
    dst[0] = 'x';
    EXPECT_EQ(codec.Encode(src, 6, dst, 8), -1);  // needs 9
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(codec.Encode(src, 6, dst, 0), -1);
    EXPECT_EQ(codec.Encode(src, 3, nullptr, 8), -1);
}

TEST(Base64Encode, LineBreaks) {
    // A break follows every lineLength counted characters, the first "=" of a one-byte rest
    // counted too, but never the final pad.
    const struct {
        int lineLength;
        std::string src, text;
    } rows[] = {{4, "abcdef", "YWJj\r\nZGVm\r\n"},
                {4, "abcd", "YWJj\r\nZA=="},
                {4, "abcde", "YWJj\r\nZGU="},
                {4, "ab", "YWI="},
                {3, "a", "YQ=\r\n="},
                {7, "abcd", "YWJjZA=\r\n="},
                {0, std::string(60, 'z'), CBase64().Encode(std::string(60, 'z'))},
                {-1, std::string(60, 'z'), CBase64().Encode(std::string(60, 'z'))}};
    for (const auto& row : rows)
        EXPECT_EQ(Encode(CBase64(row.lineLength), row.src), row.text) << row.lineLength;
    std::mt19937 rng(7);
    for (int lineLength : {1, 2, 5, 64, 76}) {
        for (size_t n : {0, 1, 2, 3, 57, 58, 59, 200}) {
            SCOPED_TRACE(std::to_string(lineLength) + " " + std::to_string(n));
            const std::string src = RandomBytes(rng, n);
            const std::string text = Encode(CBase64(lineLength), src);
            std::string joined;
            size_t lineStart = 0;
            for (size_t k = text.find("\r\n"); k != std::string::npos; k = text.find("\r\n", k)) {
                EXPECT_EQ(k - lineStart, static_cast<size_t>(lineLength));
                joined += text.substr(lineStart, k - lineStart);
                lineStart = k += 2;
            }
            EXPECT_LE(text.size() - lineStart, static_cast<size_t>(lineLength) + 1);
            EXPECT_EQ(joined + text.substr(lineStart), CBase64().Encode(src));
        }
    }
}

TEST(Base64Decode, Rules) {
    const std::pair<std::string, std::string> rows[] = {
        {"QUJD\r\nREVG", "ABCDEF"},
        {"\r\n\nQUJD\n", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        // Inside a group CR and LF are data (value 0): "QU\r\n" then the short group "JD".
        {"QU\r\nJD", std::string("\x41\x40\x00\x24", 4)},
        // "-", "_", space, tab and bytes above 127 count as 0.
        {"/-_/", std::string("\xFC\x00\x3F", 3)},
        {"\xC3\xA9QQ", std::string("\x00\x04\x10", 3)},
        {"\xFF\x80 \t", std::string(3, '\0')},
        // The group with the pad counts as four, but the next group starts at the "=".
        {"QQ==QUJD", std::string("\x41\x00\x04\x14", 4)},
        // A group cut short reads as if padded; nothing past the end is read.
        {"QUI", "AB"},
        {"QQ", "A"},
        {"Q", "\x40"},
        {"QUJDRA", "ABCD"},
        {"QUJD\r", "ABC"},
        {"QUJD\r\nR", "ABC\x44"},
        {"", ""}};
    for (const auto& [text, bytes] : rows)
        EXPECT_EQ(Decode(text), bytes) << text;
    unsigned char dst[4] = {0xAA};
    EXPECT_EQ(Base64Decode(nullptr, 4, dst), 0);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(Base64Decode("QUJD", 4, nullptr), 0);
}

TEST(Base64Decode, DecodedSizeAndLargeRoundTrips) {
    EXPECT_EQ(Base64DecodedSize(-1), 1);
    EXPECT_GT(Base64DecodedSize(2147483647), 1600000000);
    // Decode() checks the count against the size on every text: short groups, lone pads.
    std::mt19937 rng(9);
    for (int n = 1; n < 40; ++n) {
        std::string text(n, 'A');
        for (char& c : text)
            c = "QUJD\r\n="[rng() % 7];
        Decode(text);
    }
    const std::string picture = RandomBytes(rng, 300000);
    EXPECT_EQ(Decode(CBase64().Encode(picture)), picture);
    EXPECT_EQ(Decode(CBase64(76).Encode(picture)), picture);
}
