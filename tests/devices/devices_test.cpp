// The device list in an isolated configuration folder, and the passwords in the keychain (a
// private one, or none at all): never in the configuration.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "devices/device_list.h"
#include "devices/password_store.h"
#include "support/test_support.h"

namespace {

TempFolder* g_config = nullptr;
bool g_privateKeychain = false;

// True when any file below the configuration folder contains `text`.
bool ConfigHolds(const std::string& text) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(g_config->Path())) {
        if (entry.is_regular_file() && ReadFile(entry.path()).find(text) != std::string::npos)
            return true;
    }
    return false;
}

DeviceRecord Device(const std::string& user, const std::string& address,
                    const std::string& name = "", const std::string& longPort = "8080") {
    return {name, address, user, longPort, "80", false};
}

std::vector<std::string> Labels(const DeviceList& list) {
    std::vector<std::string> labels;
    for (const DeviceRecord& record : list.Devices())
        labels.push_back(DeviceLabel(record));
    return labels;
}

class DeviceListTest : public testing::Test {
  protected:
    void SetUp() override { std::filesystem::remove_all(g_config->Path() + "/Tessaly"); }
};

}  // namespace

TEST_F(DeviceListTest, RoundTripInTheUsersConfigurationFolder) {
    DeviceList list;
    EXPECT_TRUE(list.Devices().empty());
    DeviceRecord tls{"Gate \"north\"", "10.0.0.7", "op=1", "443", "8443", true};
    ASSERT_EQ(list.Remember(Device("admin", "192.168.1.64")), DeviceListResult::Ok);
    ASSERT_EQ(list.Remember(tls), DeviceListResult::Ok);
    EXPECT_EQ(DeviceList::FilePath(), g_config->Path() + "/Tessaly/devices.conf");
    const DeviceList again;
    EXPECT_EQ(Labels(again),
              (std::vector<std::string>{
                  "Gate \"north\": op=1@10.0.0.7, long port 443, short port 8443, TLS",
                  "admin@192.168.1.64, long port 8080, short port 80"}));
}

TEST_F(DeviceListTest, RememberNameAndForget) {
    DeviceList list;
    list.Remember(Device("admin", "10.0.0.1", "Lab"));
    list.Remember(Device("admin", "10.0.0.2"));
    list.Remember(Device("viewer", "10.0.0.2"));
    // Used again on other ports: one entry, first, the name kept.
    list.Remember(Device("admin", "10.0.0.1", "", "9000"));
    EXPECT_EQ(Labels(list)[0], "Lab: admin@10.0.0.1, long port 9000, short port 80");
    EXPECT_EQ(list.Devices().size(), 3u);
    // A name moves to the device that is given it.
    EXPECT_EQ(list.Name("viewer@10.0.0.2", "Lab"), DeviceListResult::Ok);
    EXPECT_EQ(list.Find("Lab")->user, "viewer");
    EXPECT_EQ(list.Find("admin@10.0.0.1")->name, "");
    EXPECT_EQ(list.Find("10.0.0.1")->user, "admin");
    EXPECT_EQ(list.Find("10.0.0.2"), nullptr);  // two accounts there
    EXPECT_EQ(list.Find("10.0.0.9"), nullptr);
    EXPECT_EQ(list.Forget("admin@10.0.0.2"), DeviceListResult::Ok);
    EXPECT_EQ(list.Forget("admin@10.0.0.2"), DeviceListResult::Unknown);
    EXPECT_EQ(list.Name("nobody@10.0.0.2", "x"), DeviceListResult::Unknown);
    EXPECT_EQ(list.Remember(Device("admin", "")), DeviceListResult::Unknown);
    EXPECT_EQ(DeviceList().Devices().size(), 2u);
}

TEST_F(DeviceListTest, OnlyTheOldestUnnamedDevicesAreDropped) {
    DeviceList list;
    list.Remember(Device("admin", "10.0.1.0", "Kept"));
    for (size_t i = 1; i <= DeviceList::kMaxUnnamed + 1; ++i)
        list.Remember(Device("admin", "10.0.1." + std::to_string(i)));
    EXPECT_EQ(list.Devices().size(), DeviceList::kMaxUnnamed + 1);
    EXPECT_EQ(list.Find("10.0.1.1"), nullptr);
    EXPECT_NE(list.Find("Kept"), nullptr);
}

TEST_F(DeviceListTest, AFileThatCannotBeWrittenIsReported) {
    PutFile(g_config->Path() + "/Tessaly", "not a folder");
    EXPECT_EQ(DeviceList().Remember(Device("admin", "10.0.0.1")), DeviceListResult::NotSaved);
    std::filesystem::remove(g_config->Path() + "/Tessaly");
}

TEST_F(DeviceListTest, WithoutAKeychainThePasswordIsStoredNowhere) {
    if (g_privateKeychain)
        GTEST_SKIP() << "this run has a keychain";
    DeviceList().Remember(Device("admin", "10.0.0.1"));
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
    g_config = &config;
    g_privateKeychain = IsolateUserSettings(config.Path());
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
