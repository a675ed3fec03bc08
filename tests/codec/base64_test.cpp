#include "codec/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string EncodeWith(const CBase64& codec, const std::string& src) {
    const int size = CBase64::EncodedSize(static_cast<int>(src.size()), codec.LineLength());
    // Exactly the size promised, so a write past it is caught by AddressSanitizer.
    auto dst = std::make_unique<char[]>(size);
    const int n = codec.Encode(reinterpret_cast<const unsigned char*>(src.data()),
                               static_cast<int>(src.size()), dst.get(), size);
    EXPECT_EQ(n, size - 1);
    EXPECT_EQ(dst[n], '\0');
    return std::string(dst.get(), n > 0 ? n : 0);
}

// Decodes from a heap copy of exactly text.size() bytes into a buffer of exactly
// Base64DecodedSize bytes: reads or writes out of bounds are caught by AddressSanitizer.
std::string Decode(const std::string& text) {
    const int len = static_cast<int>(text.size());
    std::unique_ptr<char[]> src(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), src.get());
    const int size = Base64DecodedSize(len);
    auto dst = std::make_unique<unsigned char[]>(size);
    const int n = Base64Decode(src.get(), len, dst.get());
    EXPECT_GE(n, 0);
    EXPECT_LT(n, size);
    EXPECT_EQ(dst[n], 0);
    return std::string(reinterpret_cast<const char*>(dst.get()), n);
}

// The decoding steps written out one character at a time, reading "=" past the end.
std::string ReferenceDecode(const std::string& s) {
    auto value = [](unsigned char c) -> unsigned {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return 0;
    };
    const size_t n = s.size();
    auto at = [&](size_t k) -> unsigned char { return k < n ? s[k] : '='; };
    std::string out;
    size_t i = 0, p = 0;
    while (i < n) {
        if (at(p) == '\r' || at(p) == '\n') {
            ++p;
            ++i;
            continue;
        }
        unsigned v = value(at(p)) << 18 | value(at(p + 1)) << 12;
        p += 2;
        out += static_cast<char>(v >> 16);
        if (at(p) != '=') {
            v |= value(at(p++)) << 6;
            out += static_cast<char>(v >> 8);
            if (at(p) != '=') {
                v |= value(at(p++));
                out += static_cast<char>(v);
            }
        }
        i += 4;
    }
    return out;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string Strip(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
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
        EXPECT_EQ(EncodeWith(CBase64(), plain), text);
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
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(dst[1], 'x');
    EXPECT_EQ(codec.Encode(nullptr, 5, dst, 4), 0);
    dst[0] = 'x';
    EXPECT_EQ(codec.Encode(src, 6, dst, 8), -1);  // needs 9
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(codec.Encode(src, 6, dst, 0), -1);
    EXPECT_EQ(codec.Encode(src, 3, nullptr, 8), -1);
}

TEST(Base64Encode, LineBreaksFollowCountedCharactersButNeverTheFinalPad) {
    EXPECT_EQ(EncodeWith(CBase64(4), "abcdef"), "YWJj\r\nZGVm\r\n");
    EXPECT_EQ(EncodeWith(CBase64(4), "abcd"), "YWJj\r\nZA==");
    EXPECT_EQ(EncodeWith(CBase64(4), "abcde"), "YWJj\r\nZGU=");
    EXPECT_EQ(EncodeWith(CBase64(4), "ab"), "YWI=");
    // The first "=" of a one-byte rest is counted, so a break can follow it.
    EXPECT_EQ(EncodeWith(CBase64(3), "a"), "YQ=\r\n=");
    EXPECT_EQ(EncodeWith(CBase64(7), "abcd"), "YWJjZA=\r\n=");
    for (int never : {0, -1}) {
        EXPECT_EQ(EncodeWith(CBase64(never), std::string(100, 'z')),
                  CBase64().Encode(std::string(100, 'z')));
    }
}

TEST(Base64Encode, LineBreaksEveryLineLengthCharacters) {
    std::mt19937 rng(7);
    for (int lineLength : {1, 2, 3, 5, 64, 76}) {
        for (size_t n : {0, 1, 2, 3, 57, 58, 59, 200}) {
            const std::string src = RandomBytes(rng, n);
            const std::string text = EncodeWith(CBase64(lineLength), src);
            EXPECT_EQ(Strip(text), CBase64().Encode(src)) << lineLength << " " << n;
            size_t lineStart = 0;
            for (size_t k = text.find("\r\n"); k != std::string::npos;
                 k = text.find("\r\n", k + 2)) {
                EXPECT_EQ(k - lineStart, static_cast<size_t>(lineLength)) << lineLength << " " << n;
                lineStart = k + 2;
            }
            EXPECT_LE(text.size() - lineStart, static_cast<size_t>(lineLength) + 1);
        }
    }
}

TEST(Base64Decode, CountsAndTheNulAfterThem) {
    unsigned char dst[8];
    for (const auto& [text, count] : {std::pair<const char*, int>{"QUJD", 3},
                                      {"QUI=", 2},
                                      {"QQ==", 1},
                                      {"QUJD\r\nREVG", 6},
                                      {"", 0}}) {
        std::fill(std::begin(dst), std::end(dst), 0xAA);
        EXPECT_EQ(Base64Decode(text, static_cast<int>(std::strlen(text)), dst), count) << text;
        EXPECT_EQ(dst[count], 0) << text;
    }
    dst[0] = 0xAA;
    EXPECT_EQ(Base64Decode(nullptr, 4, dst), 0);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(Base64Decode("QUJD", 4, nullptr), 0);
}

TEST(Base64Decode, LineBreaksAreSkippedOnlyWhereAGroupBegins) {
    EXPECT_EQ(Decode("QUJD\r\nREVG"), "ABCDEF");
    EXPECT_EQ(Decode("\r\n\nQUJD\n"), "ABC");
    // Inside a group CR and LF are data (value 0); "QU" "\r\n" then the short group "JD".
    const std::string broken = Decode("QU\r\nJD");
    ASSERT_EQ(broken.size(), 4u);
    EXPECT_EQ(broken.substr(0, 3), std::string("\x41\x40\x00", 3));
    EXPECT_EQ(broken[3], '\x24');
}

TEST(Base64Decode, ForeignBytesDecodeAsZero) {
    // "/" is 63; "-", "_" and bytes above 127 count as 0.
    EXPECT_EQ(Decode("/-_/"), std::string("\xFC\x00\x3F", 3));
    EXPECT_EQ(Decode("\xC3\xA9QQ"), std::string("\x00\x04\x10", 3));
    EXPECT_EQ(Decode(std::string("\xFF\x80 \t", 4)), std::string(3, '\0'));
}

TEST(Base64Decode, GroupsAfterAPadStartAtThePad) {
    // The group with the pad counts as four characters, but the read position stays on
    // the "=": the next group is "==QU".
    EXPECT_EQ(Decode("QQ==QUJD"), std::string("\x41\x00\x04\x14", 4));
}

TEST(Base64Decode, ShortFinalGroupReadsNothingPastTheEnd) {
    EXPECT_EQ(Decode("QUI"), "AB");
    EXPECT_EQ(Decode("QQ"), "A");
    EXPECT_EQ(Decode("Q"), "\x40");
    EXPECT_EQ(Decode("QUJDRA"), "ABCD");
    EXPECT_EQ(Decode("QUJD\r"), "ABC");
    EXPECT_EQ(Decode("QUJD\r\nR"), "ABC\x44");
}

TEST(Base64Decode, EveryCutPointOfARandomText) {
    std::mt19937 rng(11);
    const std::string src = RandomBytes(rng, 301);
    for (int lineLength : {2147483647, 76, 8}) {
        const std::string text = EncodeWith(CBase64(lineLength), src);
        for (size_t n = 0; n <= text.size(); ++n) {
            const std::string prefix = text.substr(0, n);
            const std::string got = Decode(prefix);
            EXPECT_EQ(got, ReferenceDecode(prefix)) << lineLength << " " << n;
            // Whatever whole groups the prefix holds come back unchanged.
            const size_t whole = Strip(prefix).size() / 4 * 3;
            EXPECT_EQ(got.substr(0, whole), src.substr(0, whole)) << lineLength << " " << n;
        }
        EXPECT_EQ(Decode(text), src);
    }
}

TEST(Base64Decode, FastPathAgreesWithTheStepByStepRules) {
    // Long runs of whole groups with "=", CR, LF and foreign bytes sprinkled in at random
    // places, so that the fast loop hands over to the exact steps at every phase.
    std::mt19937 rng(5);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string odd = "=\r\n-_ \x80\xFF";
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 200, 'A');
        for (char& c : text)
            c = alphabet[rng() % 64];
        const int sprinkles = static_cast<int>(rng() % 4);
        for (int k = 0; k < sprinkles && !text.empty(); ++k) {
            text[rng() % text.size()] = odd[rng() % odd.size()];
        }
        EXPECT_EQ(Decode(text), ReferenceDecode(text)) << text;
    }
}

TEST(Base64Decode, RoundTripsLargeBrokenText) {
    std::mt19937 rng(3);
    const std::string picture = RandomBytes(rng, 300000);
    EXPECT_EQ(Decode(CBase64().Encode(picture)), picture);
    EXPECT_EQ(Decode(CBase64(76).Encode(picture)), picture);
}

TEST(Base64Decode, DecodedSizeIsAlwaysEnough) {
    EXPECT_EQ(Base64DecodedSize(0), 1);
    EXPECT_EQ(Base64DecodedSize(-1), 1);
    EXPECT_EQ(Base64DecodedSize(4), 4);
    // One character can give a byte; a buffer as long as the text is not always enough.
    EXPECT_GE(Base64DecodedSize(1), 2);
    EXPECT_GE(Base64DecodedSize(5), 5);
    EXPECT_GT(Base64DecodedSize(2147483647), 1600000000);
    std::mt19937 rng(9);
    for (int n = 1; n < 40; ++n) {
        std::string text(n, 'A');
        for (char& c : text)
            c = "QUJD\r\n="[rng() % 7];
        EXPECT_LT(static_cast<int>(Decode(text).size()), Base64DecodedSize(n));
    }
}

TEST(Base64Decode, EveryByteValueInEveryPlaceOfABlock) {
    // Blocks of sixteen characters go through the vector path when the processor has one;
    // each byte value, in each place, must decode as the step-by-step rules say.
    const std::string base = "QUJDREVGR0hJSktMTU5PUFFS";  // 24 characters
    for (int c = 0; c < 256; ++c) {
        for (size_t place = 0; place < 16; ++place) {
            std::string text = base;
            text[place] = static_cast<char>(c);
            ASSERT_EQ(Decode(text), ReferenceDecode(text)) << c << " at " << place;
        }
    }
}
