#include "catalogue/request_file_name.h"

#include <gtest/gtest.h>

namespace {

void ExpectSplit(const std::string& f, const std::string& name, const std::string& pair,
                 int channel) {
    SCOPED_TRACE(f);
    const RequestFileName parts = SplitRequestFileName(f);
    EXPECT_EQ(parts.name, name);
    EXPECT_EQ(parts.pairName, pair);
    EXPECT_EQ(parts.channel, channel);
}

}  // namespace

TEST(RequestFileName, PlainNameIsTheWholeName) {
    ExpectSplit("Reboot", "Reboot", "", 0);
    ExpectSplit("GetDeviceInfo", "GetDeviceInfo", "", 0);
}

TEST(RequestFileName, UnderscoreSetsTheChannelAndEndsTheName) {
    ExpectSplit("PtzControl_x", "PtzControl", "", 1);
    ExpectSplit("GetFaceAlbum_1", "GetFaceAlbum", "", 1);
    // Only the first "_" counts; the rest of the suffix is not used.
    ExpectSplit("Get_Face_Album", "Get", "", 1);
    // A "_" at the end still marks a channel.
    ExpectSplit("A_", "A", "", 1);
}

TEST(RequestFileName, AmpersandNamesThePair) {
    ExpectSplit("ModifyUser&SetUser", "ModifyUser", "SetUser", 0);
    ExpectSplit("A&", "A", "", 0);
    // Only the first "&" separates; a second one belongs to the pair.
    ExpectSplit("A&B&C", "A", "B&C", 0);
}

TEST(RequestFileName, AmpersandThenUnderscore) {
    ExpectSplit("GetImageConfig&SetImageConfig_1", "GetImageConfig", "SetImageConfig", 1);
    ExpectSplit("GetSmartConfig&SetSmartConfig_1", "GetSmartConfig", "SetSmartConfig", 1);
    ExpectSplit("A&_1", "A", "", 1);
}

TEST(RequestFileName, UnderscoreBeforeAmpersandLeavesThePairEmpty) {
    ExpectSplit("Get_x&Set", "Get_x", "", 1);
    ExpectSplit("A_&B", "A_", "", 1);
}

TEST(RequestFileName, LeadingMarkerGivesAnEmptyRecord) {
    ExpectSplit("&Foo", "", "", 0);
    ExpectSplit("_Foo", "", "", 0);
    ExpectSplit("_A&B", "", "", 0);
    ExpectSplit("&A_1", "", "", 0);
    ExpectSplit("A_1&", "A_1", "", 1);  // markers later in the name are fine
}

TEST(RequestFileName, EmptyNameStaysEmpty) {
    ExpectSplit("", "", "", 0);
}
