#include "codec/base64.h"

#include <gtest/gtest.h>

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

TEST(Base64Encode, Rfc4648Vectors) {
    const CBase64 codec;
    EXPECT_EQ(EncodeWith(codec, ""), "");
    EXPECT_EQ(EncodeWith(codec, "f"), "Zg==");
    EXPECT_EQ(EncodeWith(codec, "fo"), "Zm8=");
    EXPECT_EQ(EncodeWith(codec, "foo"), "Zm9v");
    EXPECT_EQ(EncodeWith(codec, "foob"), "Zm9vYg==");
    EXPECT_EQ(EncodeWith(codec, "fooba"), "Zm9vYmE=");
    EXPECT_EQ(EncodeWith(codec, "foobar"), "Zm9vYmFy");
    EXPECT_EQ(codec.Encode(std::string_view("admin:12345")), "YWRtaW46MTIzNDU=");
    EXPECT_EQ(EncodeWith(codec, std::string("\xFB\xFF\xBF", 3)), "+/+/");
}

TEST(Base64Encode, EmptySourceWritesOnlyTheNul) {
    const CBase64 codec;
    char dst[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(codec.Encode(reinterpret_cast<const unsigned char*>(""), 0, dst, 4), 0);
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(dst[1], 'x');
    EXPECT_EQ(codec.Encode(nullptr, 5, dst, 4), 0);
    EXPECT_EQ(dst[0], '\0');
}

TEST(Base64Encode, DefaultSizeIsTheAuthorisationBufferSize) {
    // The credentials buffer is (length + 2) / 3 * 4 + 1 bytes; it must be exactly enough.
    for (int n = 0; n < 50; ++n) {
        EXPECT_EQ(CBase64::EncodedSize(n), (n + 2) / 3 * 4 + 1) << n;
    }
    EXPECT_EQ(CBase64::EncodedSize(-3), 1);
    EXPECT_EQ(CBase64::EncodedSize(2000000000), -1);  // would not fit an int
}

TEST(Base64Encode, LineLengthFourBreaksAfterFullGroupsButNotAfterTheFinalPad) {
    const CBase64 four(4);
    EXPECT_EQ(EncodeWith(four, "abcdef"), "YWJj\r\nZGVm\r\n");
    EXPECT_EQ(EncodeWith(four, "abcd"), "YWJj\r\nZA==");
    EXPECT_EQ(EncodeWith(four, "abcde"), "YWJj\r\nZGU=");
    EXPECT_EQ(EncodeWith(four, "ab"), "YWI=");
}

TEST(Base64Encode, CountedPadFallsOnTheLineEnd) {
    // One trailing byte: two characters and the first "=" are counted, the final "=" is not.
    const CBase64 three(3);
    EXPECT_EQ(EncodeWith(three, "a"), "YQ=\r\n=");
    const CBase64 seven(7);
    EXPECT_EQ(EncodeWith(seven, "abcd"), "YWJjZA=\r\n=");
}

TEST(Base64Encode, LineBreaksEveryLineLengthCharacters) {
    std::mt19937 rng(7);
    for (int lineLength : {1, 2, 3, 5, 64, 76}) {
        const CBase64 codec(lineLength);
        for (size_t n : {0, 1, 2, 3, 57, 58, 59, 200}) {
            const std::string src = RandomBytes(rng, n);
            const std::string text = EncodeWith(codec, src);
            EXPECT_EQ(Strip(text), CBase64().Encode(src)) << lineLength << " " << n;
            // Every CR LF follows exactly lineLength characters of its line.
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

TEST(Base64Encode, ZeroOrNegativeLineLengthNeverBreaks) {
    for (int lineLength : {0, -1}) {
        const CBase64 codec(lineLength);
        EXPECT_EQ(EncodeWith(codec, std::string(100, 'z')),
                  CBase64().Encode(std::string(100, 'z')));
    }
}

TEST(Base64Encode, RefusesADestinationTooSmall) {
    const CBase64 codec;
    auto dst = std::make_unique<char[]>(8);
    dst[0] = 'x';
    EXPECT_EQ(codec.Encode(reinterpret_cast<const unsigned char*>("abcdef"), 6, dst.get(), 8), -1);
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(codec.Encode(reinterpret_cast<const unsigned char*>("abcdef"), 6, dst.get(), 0), -1);
    EXPECT_EQ(codec.Encode(reinterpret_cast<const unsigned char*>("abc"), 3, nullptr, 8), -1);
}

TEST(Base64Decode, Rfc4648VectorsAndPadding) {
    EXPECT_EQ(Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(Decode("Zm9vYmE="), "fooba");
    EXPECT_EQ(Decode("Zm9vYg=="), "foob");
    EXPECT_EQ(Decode("Zm9v"), "foo");
    EXPECT_EQ(Decode("Zm8="), "fo");
    EXPECT_EQ(Decode("Zg=="), "f");
    EXPECT_EQ(Decode(""), "");
    EXPECT_EQ(Decode("+/+/"), std::string("\xFB\xFF\xBF", 3));
}

TEST(Base64Decode, CountsAndTheNulAfterThem) {
    unsigned char dst[8];
    std::fill(std::begin(dst), std::end(dst), 0xAA);
    EXPECT_EQ(Base64Decode("QUJD", 4, dst), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(dst), 4), std::string("ABC\0", 4));
    std::fill(std::begin(dst), std::end(dst), 0xAA);
    EXPECT_EQ(Base64Decode("QUI=", 4, dst), 2);
    EXPECT_EQ(dst[2], 0);
    std::fill(std::begin(dst), std::end(dst), 0xAA);
    EXPECT_EQ(Base64Decode("QQ==", 4, dst), 1);
    EXPECT_EQ(dst[0], 'A');
    EXPECT_EQ(dst[1], 0);
    dst[0] = 0xAA;
    EXPECT_EQ(Base64Decode("", 0, dst), 0);
    EXPECT_EQ(dst[0], 0);
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
