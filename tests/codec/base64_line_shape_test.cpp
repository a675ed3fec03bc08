// Text in lines of 76 characters and CR LF, the shape pictures usually come in: the fastest path
// must give what the portable steps give, whatever the text's first line holds and wherever the
// shape is broken.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "codec/base64.h"
#include "codec/base64_paths.h"
#include "codec/base64_reference.h"

namespace {


// `first` characters, then lines of 76 up to about `total` characters, CR LF between lines.
std::string Lines(std::mt19937& rng, std::size_t first, std::size_t total) {
    std::string text = CleanBase64(rng, first);
    while (text.size() < total) {
        text += "\r\n" + CleanBase64(rng, 76);
    }
    return text;
}

// Decodes exactly the text (a heap copy, into exactly Base64DecodedSize bytes) on one path.
std::string DecodeOn(Base64DecodePath path, const std::string& text) {
    const int length = static_cast<int>(text.size());
    std::unique_ptr<char[]> src(new char[text.size() + 1]);
    std::copy(text.begin(), text.end(), src.get());
    std::unique_ptr<unsigned char[]> dst(new unsigned char[Base64DecodedSize(length)]);
    const int count = Base64DecodeOn(path, src.get(), length, dst.get());
    return std::string(reinterpret_cast<char*>(dst.get()), static_cast<std::size_t>(count));
}

::testing::AssertionResult SameOnEveryPath(const std::string& text) {
    const std::string want = DecodeOn(Base64DecodePath::kPortable, text);
    for (const Base64DecodePath path : {Base64DecodePath::kSsse3, Base64DecodePath::kAvx2}) {
        if (Base64DecodePathSupported(path) && DecodeOn(path, text) != want) {
            return ::testing::AssertionFailure() << "path " << static_cast<int>(path);
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(Base64LineShape, EveryFirstLineLengthAndEnd) {
    std::mt19937 rng(76);
    // The first line sets where the lines fall against the blocks: every group offset, and
    // lengths that are no multiple of four (breaks inside groups, data there).
    for (std::size_t first = 0; first <= 80; ++first) {
        for (const std::size_t total : {std::size_t{3000}, 6000 + first * 13}) {
            const std::string text = Lines(rng, first, total);
            EXPECT_TRUE(SameOnEveryPath(text)) << first << " " << total;
            EXPECT_TRUE(SameOnEveryPath(text + "QQ==")) << first << " " << total;
        }
    }
}

TEST(Base64LineShape, OneByteChangedAnywhereInTwoPeriods) {
    std::mt19937 rng(77);
    const std::string text = Lines(rng, 40, 12000);
    // 16 lines of 78 bytes in the middle: every byte, break bytes included.
    const std::size_t from = 5000;
    for (std::size_t at = from; at < from + 16 * 78; ++at) {
        for (const char odd : {'=', '\n', '\r', '\xff', 'Q'}) {
            if (text[at] == odd) {
                continue;
            }
            std::string changed = text;
            changed[at] = odd;
            EXPECT_TRUE(SameOnEveryPath(changed)) << at << " " << static_cast<int>(odd);
        }
    }
    // A break swapped, dropped or doubled at each line of a period.
    for (std::size_t line = 0; line < 9; ++line) {
        const std::size_t at = text.find("\r\n", from + line * 78);
        for (const char* other : {"\n\r", "", "\r\n\r\n", "\n", "QQ"}) {
            std::string changed = text;
            changed.replace(at, 2, other);
            EXPECT_TRUE(SameOnEveryPath(changed)) << line << " '" << other << "'";
        }
    }
}

}  // namespace
