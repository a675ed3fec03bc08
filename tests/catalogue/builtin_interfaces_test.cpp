#include "catalogue/builtin_interfaces.h"

#include <gtest/gtest.h>

#include <map>

// The records in order: "<id>:" where a module begins, "&" for a Get... / Set... pair, "_" for
// a channel.
TEST(BuiltinInterfaces, NamesPairsChannelsAndModulesInTableOrder) {
    std::string got;
    int module = -1, bodies = 0;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        std::string set = r.strName;
        set.replace(set.find("Get") == std::string::npos ? 0 : set.find("Get"), 3, "Set");
        got += (r.nModule != module ? " " + std::to_string(r.nModule) + ":" : " ") + r.strName +
               (r.strPairName.empty()  ? ""
                : r.strPairName == set ? "&"
                                       : "&" + r.strPairName) +
               (r.bChannel == 1 ? "_"
                : r.bChannel    ? "?"
                                : "");
        module = r.nModule;
        bodies += !r.strBody.empty();
    }
    EXPECT_EQ(got,
              " 0:GetDeviceInfo GetDateAndTime& 1:GetImageConfig&_ GetStreamCaps_ "
              "GetVideoStreamConfig&_ GetAudioStreamConfig&_ GetImageOsdConfig&_ "
              "GetPrivacyMaskConfig&_ RequestKeyFrame 2:PtzGetCaps_ PtzGetProtocolConfig&_ "
              "PtzGetPresets_ PtzAddPreset_ PtzDeletePreset_ PtzModifyPresetPosition_ "
              "PtzModifyPresetName_ PtzGotoPreset_ PtzGetCruises_ PtzGetCruise_ PtzAddCruise_ "
              "PtzDeleteCruise_ PtzModifyCruise_ PtzRunCruise_ PtzStopCruise_ PtzControl_ "
              "3:GetMotionConfig&_ GetAlarmInConfig&_ GetAlarmOutConfig&_ ManualAlarmOut_ "
              "GetAlarmStatus GetAlarmServerConfig& 4:GetPortConfig& GetDdnsConfig& "
              "GetNetBasicConfig& GetNetPppoeConfig& 5:ModifyPassword 6:Reboot");
    EXPECT_EQ(BuiltinInterfaces().size(), 37u);
    EXPECT_EQ(bodies, 13);
}

TEST(BuiltinInterfaces, BodiesByteForByte) {
    std::map<std::string, std::string> bodies;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        bodies[r.strName] = r.strBody;
    }
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
    for (const auto& row : rows) {
        EXPECT_EQ(bodies[row[0]], "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<" + row[1] +
                                      " version=\"1.0\" xmlns=\"http://tessaly.invalid/ver10\">"
                                      "\r\n\t" +
                                      row[2])
            << row[0];
    }
}
