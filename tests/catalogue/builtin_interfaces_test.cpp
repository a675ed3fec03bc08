#include "catalogue/builtin_interfaces.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

std::string Head(const std::string& root) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<" + root +
           " version=\"1.0\" xmlns=\"http://tessaly.invalid/ver10\">\r\n\t";
}

}  // namespace

// Per module id, the records in order: "&" marks a pair (Get... -> Set...), "_" a channel.
TEST(BuiltinInterfaces, NamesPairsChannelsAndModulesInTableOrder) {
    const char* const modules[kBuiltinModuleCount] = {
        "GetDeviceInfo GetDateAndTime&",
        "GetImageConfig&_ GetStreamCaps_ GetVideoStreamConfig&_ GetAudioStreamConfig&_ "
        "GetImageOsdConfig&_ GetPrivacyMaskConfig&_ RequestKeyFrame",
        "PtzGetCaps_ PtzGetProtocolConfig&_ PtzGetPresets_ PtzAddPreset_ PtzDeletePreset_ "
        "PtzModifyPresetPosition_ PtzModifyPresetName_ PtzGotoPreset_ PtzGetCruises_ "
        "PtzGetCruise_ PtzAddCruise_ PtzDeleteCruise_ PtzModifyCruise_ PtzRunCruise_ "
        "PtzStopCruise_ PtzControl_",
        "GetMotionConfig&_ GetAlarmInConfig&_ GetAlarmOutConfig&_ ManualAlarmOut_ GetAlarmStatus "
        "GetAlarmServerConfig&",
        "GetPortConfig& GetDdnsConfig& GetNetBasicConfig& GetNetPppoeConfig&",
        "ModifyPassword",
        "Reboot"};
    std::vector<std::string> expected, got;
    for (int m = 0; m < kBuiltinModuleCount; ++m) {
        std::istringstream words(modules[m]);
        for (std::string w; words >> w;) {
            const size_t amp = w.find('&');
            if (amp != std::string::npos) {
                std::string set = w.substr(0, amp);
                set.replace(set.find("Get"), 3, "Set");
                w.insert(amp + 1, set);
            }
            expected.push_back(std::to_string(m) + ":" + w);
        }
    }
    int bodies = 0;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        got.push_back(std::to_string(r.nModule) + ":" + r.strName +
                      (r.strPairName.empty() ? "" : "&" + r.strPairName) +
                      (r.bChannel == 1   ? "_"
                       : r.bChannel == 0 ? ""
                                         : "?"));
        bodies += !r.strBody.empty();
    }
    EXPECT_EQ(got.size(), 37u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(bodies, 13);
}

TEST(BuiltinInterfaces, BodiesByteForByte) {
    std::map<std::string, std::string> bodies;
    for (const API_INTERFACE& r : BuiltinInterfaces())
        bodies[r.strName] = r.strBody;
    const std::string cruise =
        "<name type=\"string\"><![CDATA[c2]]></name>\r\n\t<presetInfo>\r\n\t\t<item "
        "id=\"2\">\r\n\t\t\t<speed>5</speed>\r\n\t\t\t<holdTime>5</holdTime>\r\n\t\t</"
        "item>\r\n\t</presetInfo>\r\n</cruiseInfo>";
    std::string cruiseWithId = cruise;
    cruiseWithId.insert(cruiseWithId.find("</name>") + 7, "\r\n\t<id>1</id>");
    const std::string rows[][3] = {
        {"PtzModifyPresetName", "presetInfo", "<id>1</id>\r\n\t<name>aa1</name>\r\n</presetInfo>"},
        {"PtzAddCruise", "cruiseInfo", cruise},
        {"PtzModifyCruise", "cruiseInfo", cruiseWithId},
        {"PtzControl", "actionInfo", "<speed>4</speed>\r\n</actionInfo>"},
        // The password tail carries the Base64 of "739184" twice.
        {"ModifyPassword", "config",
         "<userPassword>\r\n\t\t<oldPassword><![CDATA[NzM5MTg0]]></oldPassword>\r\n\t\t"
         "<password><![CDATA[NzM5MTg0]]></password>\r\n\t</userPassword>\r\n</config>"}};
    for (const auto& row : rows)
        EXPECT_EQ(bodies[row[0]], Head(row[1]) + row[2]) << row[0];
    EXPECT_EQ(EnvelopeHead("anyRoot"), Head("anyRoot"));
}
