// Every path of the Base64 decoder against the decoding steps written out plainly, on random
// and adversarial texts: all byte values, line breaks of every kind and place, pads anywhere
// and every cut point of the source.

#include "codec/base64_paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/base64_reference.h"

namespace {


// Decodes on `path` (none: the default) a heap copy of exactly the text into exactly
// Base64DecodedSize bytes, so that any access out of bounds shows under AddressSanitizer, and
// compares with the plain steps.
::testing::AssertionResult SameAsPlain(const std::string& text, int path = -1) {
    const int len = static_cast<int>(text.size());
    std::unique_ptr<char[]> src(new char[text.size() + (text.empty() ? 1 : 0)]);
    std::copy(text.begin(), text.end(), src.get());
    const int size = Base64DecodedSize(len);
    std::unique_ptr<unsigned char[]> dst(new unsigned char[size]);
    const int count = path < 0 ? Base64Decode(src.get(), len, dst.get())
                               : Base64DecodeOn(Base64DecodePath(path), src.get(), len, dst.get());
    const std::string want = PlainBase64Decode(text);
    if (count < 0 || count >= size || dst[count] != 0 ||
        std::string(reinterpret_cast<char*>(dst.get()), count) != want) {
        return ::testing::AssertionFailure() << "path " << path << ": count " << count << " of "
                                             << want.size() << ", text length " << len;
    }
    return ::testing::AssertionSuccess();
}

// Checks the default and every path this processor has.
void ExpectAllPaths(const std::string& text) {
    EXPECT_TRUE(SameAsPlain(text));
    for (const Base64DecodePath path :
         {Base64DecodePath::kPortable, Base64DecodePath::kSsse3, Base64DecodePath::kAvx2}) {
        if (Base64DecodePathSupported(path)) {
            EXPECT_TRUE(SameAsPlain(text, static_cast<int>(path)));
        }
    }
}


// Lines of `line` characters joined by `brk`; the last line may be shorter.
std::string Lines(std::mt19937& rng, size_t total, size_t line, const std::string& brk) {
    std::string text;
    while (total > 0) {
        const size_t take = std::min(total, line);
        text += CleanBase64(rng, take);
        total -= take;
        if (total > 0) {
            text += brk;
        }
    }
    return text;
}

}  // namespace

TEST(Base64Paths, PortableAlwaysThereAndUnsupportedPathsFallBack) {
    EXPECT_TRUE(Base64DecodePathSupported(Base64DecodePath::kPortable));
    std::mt19937 rng(1);
    for (const Base64DecodePath path : {Base64DecodePath::kSsse3, Base64DecodePath::kAvx2}) {
        EXPECT_TRUE(SameAsPlain(Lines(rng, 5000, 76, "\r\n") + "QQ==", static_cast<int>(path)));
    }
}

TEST(Base64Paths, EveryByteValueAtEveryPlaceOfABlock) {
    std::mt19937 rng(2);
    const std::string base = CleanBase64(rng, 160);
    for (int value = 0; value < 256; ++value) {
        for (size_t pos = 0; pos < 72; ++pos) {
            std::string text = base;
            text[pos] = static_cast<char>(value);
            ExpectAllPaths(text);
        }
    }
}

TEST(Base64Paths, RandomTextsOverSeveralAlphabets) {
    std::mt19937 rng(3);
    const std::vector<std::string> alphabets = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/\r\n",
        "AB+/\r\n=-_ .",
        "A\r\n",
    };
    std::string everyByte;
    for (int v = 0; v < 256; ++v) {
        everyByte += static_cast<char>(v);
    }
    for (int round = 0; round < 300; ++round) {
        const size_t length = rng() % 400;
        for (const std::string& alphabet : alphabets) {
            std::string text(length, 'A');
            for (char& c : text) {
                // Mostly clean, so that the fast runs get going between the odd bytes.
                c = rng() % 8 == 0 ? alphabet[rng() % alphabet.size()] : CleanBase64(rng, 1)[0];
            }
            ExpectAllPaths(text);
        }
        std::string wild(length, 'A');
        for (char& c : wild) {
            c = everyByte[rng() % 256];
        }
        ExpectAllPaths(wild);
    }
}

TEST(Base64Paths, EveryCutPointOfLinedAndPaddedTexts) {
    std::mt19937 rng(4);
    const std::vector<std::string> texts = {
        CleanBase64(rng, 300),
        Lines(rng, 300, 76, "\r\n"),
        Lines(rng, 300, 32, "\r\n") + "QUI=",
        Lines(rng, 300, 40, "\n") + "QQ==" + CleanBase64(rng, 40),
        Lines(rng, 300, 36, "\r\n\r\n"),
        Lines(rng, 300, 75, "\r\n"),  // breaks inside groups: there they are data
    };
    for (const std::string& text : texts) {
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            ExpectAllPaths(text.substr(0, cut));
        }
    }
}

TEST(Base64Paths, LinedTextsOfManyShapes) {
    std::mt19937 rng(5);
    for (const size_t line : {4u, 28u, 32u, 36u, 60u, 64u, 68u, 75u, 76u, 77u, 100u, 252u, 1000u}) {
        for (const std::string brk : {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n"}) {
            ExpectAllPaths(Lines(rng, 20000 + rng() % 300, line, brk));
        }
    }
    // Lines that change shape midway: another length, LF alone, a pad or bytes outside the
    // alphabet in a line, a blank line, a break inside a group, no more breaks.
    const std::string head = Lines(rng, 8000, 76, "\r\n") + "\r\n";
    const std::string part = Lines(rng, 3000, 76, "\r\n");
    for (const std::string& tail :
         {Lines(rng, 8000, 64, "\r\n"), Lines(rng, 8000, 76, "\n"), part + "=" + CleanBase64(rng, 5000),
          part + "-_" + Lines(rng, 5000, 76, "\r\n"), part + "\r\n" + Lines(rng, 5000, 76, "\r\n"),
          part + "AB\r\nCD" + Lines(rng, 5000, 76, "\r\n"), CleanBase64(rng, 8000)}) {
        for (const char* end : {"", "QUJD", "QQ=="}) {
            ExpectAllPaths(head + tail + end);
        }
    }
    // One break turned into data: two lines run together.
    std::string merged = Lines(rng, 16000, 76, "\r\n");
    merged.replace(merged.find("\r\n", 9000), 2, "QQ");
    ExpectAllPaths(merged);
    // The shape kept, one character replaced.
    for (const char odd : {'=', '-', '\n', '\r', '\xff', '\0'}) {
        for (const size_t at : {9001u, 9002u, 9004u, 15000u}) {
            std::string text = Lines(rng, 16000, 76, "\r\n");
            if (text[at] != '\r' && text[at] != '\n') {
                text[at] = odd;
                ExpectAllPaths(text);
            }
        }
    }
    // As large as pictures arrive.
    ExpectAllPaths(CleanBase64(rng, 1 << 20));
    ExpectAllPaths(Lines(rng, 1 << 20, 76, "\r\n") + "QUI=");
}
