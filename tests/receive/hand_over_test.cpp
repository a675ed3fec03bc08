#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "receive/server_address.h"

namespace {

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
