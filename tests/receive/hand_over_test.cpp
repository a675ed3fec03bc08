#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "receive/server_address.h"
#include "receive/text_mailbox.h"

namespace {

TEST(ReceiveTextMailbox, KeepsOnlyTheNewestAcrossTwoThreads) {
    TextMailbox box;
    EXPECT_FALSE(box.Take().has_value());
    EXPECT_TRUE(box.Put("first"));
    EXPECT_FALSE(box.Put("second")) << "a second notification for a text not yet taken";
    EXPECT_EQ(box.Take(), "second");
    EXPECT_FALSE(box.Take().has_value());
    constexpr int kTexts = 2000;
    std::thread writer([&] {
        for (int i = 1; i <= kTexts; ++i) {
            box.Put(std::to_string(i));
        }
    });
    for (int last = 0; last < kTexts;) {
        if (auto text = box.Take()) {
            EXPECT_GT(std::stoi(*text), last) << "an older text after a newer one";
            last = std::stoi(*text);
        }
    }
    writer.join();
}

TEST(ReceiveServerAddress, ReadersSeeWholeValues) {
    ServerAddress address;
    EXPECT_EQ(address.Get(), "");
    const std::string a(300, 'a'), b(500, 'b');
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            address.Set(i % 2 == 0 ? a : b);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const std::string seen = address.Get();
        EXPECT_TRUE(seen.empty() || seen == a || seen == b);
    }
    writer.join();
    EXPECT_EQ(address.Get(), b);
}

}  // namespace
