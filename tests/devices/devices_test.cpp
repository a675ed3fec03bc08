// The device list in an isolated configuration folder, and the passwords in the keychain (a
// private one, or none at all): never in the configuration.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "devices/device_list.h"
#include "devices/password_store.h"
#include "support/test_support.h"

namespace {

std::string g_config;
bool g_privateKeychain = false;

// True when a file below the configuration folder contains `text`.
bool ConfigHolds(const std::string& text) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(g_config))
        if (entry.is_regular_file() && ReadFile(entry.path()).find(text) != std::string::npos)
            return true;
    return false;
}

DeviceRecord Device(const std::string& key, const std::string& name = "",
                    const std::string& longPort = "8080") {
    const size_t at = key.find('@');
    return {name, key.substr(at + 1), key.substr(0, at), longPort, "80", false};
}

class DeviceListTest : public testing::Test {
    void SetUp() override { std::filesystem::remove_all(g_config + "/Tessaly"); }
};

}  // namespace

TEST_F(DeviceListTest, RoundTripRememberNameFindAndForget) {
    DeviceList list;
    list.Remember({"Gate \"north\"", "10.0.0.7", "op=1", "443", "8443", true});
    list.Remember(Device("admin@10.0.0.1", "Lab"));
    for (size_t i = 0; i <= DeviceList::kMaxUnnamed; ++i)  // the oldest unnamed one goes
        list.Remember(Device("admin@10.0.1." + std::to_string(i)));
    list.Remember(Device("viewer@10.0.1.20"));
    list.Remember(Device("admin@10.0.0.1", "", "9000"));  // used again: first, name kept
    EXPECT_EQ(DeviceList::FilePath(), g_config + "/Tessaly/devices.conf");
    const DeviceList again;
    EXPECT_EQ(DeviceLabel(again.Devices().front()),
              "Lab: admin@10.0.0.1, long port 9000, short port 80");
    EXPECT_EQ(DeviceLabel(*again.Find("Gate \"north\"")),
              "Gate \"north\": op=1@10.0.0.7, long port 443, short port 8443, TLS");
    EXPECT_EQ(again.Devices().size(), DeviceList::kMaxUnnamed + 2);
    EXPECT_EQ(again.Find("10.0.1.0"), nullptr);

    EXPECT_EQ(list.Name("viewer@10.0.1.20", "Lab"), DeviceListResult::Ok);  // the name moves
    EXPECT_EQ(list.Find("Lab")->user, "viewer");
    EXPECT_EQ(list.Find("admin@10.0.0.1")->name, "");
    EXPECT_EQ(list.Find("10.0.0.1")->user, "admin");
    EXPECT_EQ(list.Find("10.0.1.20"), nullptr);  // two accounts there
    EXPECT_EQ(list.Forget("admin@10.0.1.5"), DeviceListResult::Ok);
    EXPECT_EQ(list.Forget("admin@10.0.1.5"), DeviceListResult::Unknown);
    EXPECT_EQ(list.Name("nobody@10.0.0.1", "x"), DeviceListResult::Unknown);
    EXPECT_EQ(list.Remember(Device("admin@")), DeviceListResult::Unknown);
    EXPECT_EQ(DeviceList().Devices().size(), DeviceList::kMaxUnnamed + 1);
}

TEST_F(DeviceListTest, AFileThatCannotBeWrittenIsReported) {
    PutFile(g_config + "/Tessaly", "not a folder");
    EXPECT_EQ(DeviceList().Remember(Device("admin@10.0.0.1")), DeviceListResult::NotSaved);
    std::filesystem::remove(g_config + "/Tessaly");
}

TEST_F(DeviceListTest, WithoutAKeychainThePasswordIsStoredNowhere) {
    if (g_privateKeychain)
        GTEST_SKIP() << "this run has a keychain";
    DeviceList().Remember(Device("admin@10.0.0.1"));
    const KeychainResult write = WritePasswordNow("admin@10.0.0.1", "pw-Secret-4711");
    EXPECT_EQ(write.status, KeychainStatus::Unavailable);
    EXPECT_FALSE(write.error.empty());
    EXPECT_EQ(ReadPasswordNow("admin@10.0.0.1").status, KeychainStatus::Unavailable);
    EXPECT_FALSE(ConfigHolds("pw-Secret-4711"));
    EXPECT_TRUE(ConfigHolds("10.0.0.1"));  // the search does look into the list
}

TEST(PrivateKeychain, RoundTripOutsideTheConfiguration) {
    if (!g_privateKeychain)
        GTEST_SKIP() << "needs the private Secret Service of scripts/keychain-test.sh";
    const std::string key = "admin@10.0.0.3";
    ASSERT_EQ(WritePasswordNow(key, "pw-Secret-0815").status, KeychainStatus::Ok);
    const KeychainResult read = ReadPasswordNow(key);
    EXPECT_EQ(read.status, KeychainStatus::Ok);
    EXPECT_EQ(read.password, "pw-Secret-0815");
    EXPECT_FALSE(ConfigHolds("pw-Secret-0815"));
    EXPECT_EQ(ErasePasswordNow(key).status, KeychainStatus::Ok);
    EXPECT_EQ(ReadPasswordNow(key).status, KeychainStatus::NotFound);
    EXPECT_EQ(ErasePasswordNow(key).status, KeychainStatus::Ok);  // nothing left to erase
}

int main(int argc, char** argv) {
    TempFolder config;
    g_config = config.Path();
    g_privateKeychain = IsolateUserSettings(g_config);
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
