// Every path of the Base64 decoder against the plain steps, on random and adversarial texts.

#include "codec/base64_paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "codec/base64.h"
#include "support/base64_reference.h"

namespace {

// Exact heap blocks in and out (ASan sees any stray access), every path against the plain steps.
::testing::AssertionResult SameOnEveryPath(const std::string& text) {
    const int len = static_cast<int>(text.size());
    auto src = std::make_unique<char[]>(std::max<size_t>(text.size(), 1));
    std::copy(text.begin(), text.end(), src.get());
    const std::string want = PlainBase64Decode(text);
    for (int path = -1; path <= static_cast<int>(Base64DecodePath::kAvx2); ++path) {
        const int size = Base64DecodedSize(len);
        auto dst = std::make_unique<unsigned char[]>(size);
        const int count = path < 0
                              ? Base64Decode(src.get(), len, dst.get())
                              : Base64DecodeOn(Base64DecodePath(path), src.get(), len, dst.get());
        if (count < 0 || count >= size || dst[count] != 0 ||
            std::string(reinterpret_cast<char*>(dst.get()), count) != want) {
            return ::testing::AssertionFailure() << "path " << path << ", length " << len;
        }
    }
    return ::testing::AssertionSuccess();
}

// `first` characters (default: a line), then lines of `line` after each `brk`, to `total` in all.
std::string Lines(std::mt19937& rng, size_t total, size_t line = 76,
                  const std::string& brk = "\r\n", size_t first = std::string::npos) {
    std::string text = CleanBase64(rng, std::min(first == std::string::npos ? line : first, total));
    for (size_t left = total - text.size(); left > 0; left -= std::min(left, line)) {
        text += brk + CleanBase64(rng, std::min(left, line));
    }
    return text;
}

}  // namespace

TEST(Base64Paths, EveryByteValueAndRandomTexts) {
    EXPECT_TRUE(Base64DecodePathSupported(Base64DecodePath::kPortable));
    std::mt19937 rng(2);
    const std::string base = CleanBase64(rng, 160);
    for (int value = 0; value < 256; ++value) {
        for (size_t pos = 0; pos < 72; ++pos) {
            std::string text = base;
            text[pos] = static_cast<char>(value);
            EXPECT_TRUE(SameOnEveryPath(text));
        }
    }
    // Mostly clean, so that the fast runs get going between the odd bytes.
    for (int round = 0; round < 1000; ++round) {
        std::string text = CleanBase64(rng, rng() % 400);
        for (char& c : text) {
            c = rng() % 8 == 0 ? "=\r\n=\r\nAB+/-_ .\xff\x80"[rng() % 16] : c;
        }
        EXPECT_TRUE(SameOnEveryPath(text)) << text;
    }
}

TEST(Base64Paths, EveryCutPointOfLinedAndPaddedTexts) {
    std::mt19937 rng(4);
    for (const std::string& text :
         {CleanBase64(rng, 300), Lines(rng, 300),
          Lines(rng, 300, 32) + "QUI=", Lines(rng, 300, 40, "\n") + "QQ==" + CleanBase64(rng, 40),
          Lines(rng, 300, 36, "\r\n\r\n"),
          Lines(rng, 300, 75)}) {  // breaks inside groups: there they are data
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            EXPECT_TRUE(SameOnEveryPath(text.substr(0, cut))) << cut;
        }
    }
}

TEST(Base64Paths, LinedTextsOfManyShapes) {
    std::mt19937 rng(5);
    for (const size_t line : {4u, 32u, 36u, 64u, 75u, 76u, 77u, 252u, 1000u}) {
        for (const std::string brk : {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n"}) {
            EXPECT_TRUE(SameOnEveryPath(Lines(rng, 20000 + rng() % 300, line, brk)));
        }
    }
    // Lines of 76 and CR LF, the pictures' shape: every first-line length, with and without a pad.
    for (size_t first = 0; first <= 80; ++first) {
        const std::string text = Lines(rng, 6000 + first * 13, 76, "\r\n", first);
        EXPECT_TRUE(SameOnEveryPath(text)) << first;
        EXPECT_TRUE(SameOnEveryPath(text + "QQ==")) << first;
    }
    // The shape broken at any byte or break, over two periods of 8 lines, and in shorter lines.
    const std::pair<std::string, size_t> texts[] = {{Lines(rng, 12000, 76, "\r\n", 40), 16 * 78},
                                                    {Lines(rng, 12000, 36, "\r\n", 20), 2 * 38}};
    for (const auto& [text, span] : texts) {
        for (size_t at = 5000; at < 5000 + span; ++at) {
            for (const char odd : {'=', '\n', '\r', '\xff'}) {
                std::string changed = text;
                changed[at] = odd;
                EXPECT_TRUE(SameOnEveryPath(changed)) << at << " " << int{odd};
            }
        }
        for (size_t line = 0; line < 9; ++line) {
            for (const char* other : {"\n\r", "", "\r\n\r\n", "\n", "QQ"}) {
                std::string changed = text;
                changed.replace(text.find("\r\n", 5000 + line * 78), 2, other);
                EXPECT_TRUE(SameOnEveryPath(changed)) << line << " '" << other << "'";
            }
        }
    }
}
