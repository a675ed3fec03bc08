#include "catalogue/builtin_interfaces.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const API_INTERFACE& Record(const std::string& name) {
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        if (r.strName == name)
            return r;
    }
    ADD_FAILURE() << "no built-in record " << name;
    static const API_INTERFACE none;
    return none;
}

std::string Head(const std::string& root) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<" + root +
           " version=\"1.0\" xmlns=\"http://tessaly.invalid/ver10\">\r\n\t";
}

}  // namespace

TEST(BuiltinInterfaces, ThirtySevenRecordsInTableOrder) {
    const char* const names[] = {"GetDeviceInfo",
                                 "GetDateAndTime",
                                 "GetImageConfig",
                                 "GetStreamCaps",
                                 "GetVideoStreamConfig",
                                 "GetAudioStreamConfig",
                                 "GetImageOsdConfig",
                                 "GetPrivacyMaskConfig",
                                 "RequestKeyFrame",
                                 "PtzGetCaps",
                                 "PtzGetProtocolConfig",
                                 "PtzGetPresets",
                                 "PtzAddPreset",
                                 "PtzDeletePreset",
                                 "PtzModifyPresetPosition",
                                 "PtzModifyPresetName",
                                 "PtzGotoPreset",
                                 "PtzGetCruises",
                                 "PtzGetCruise",
                                 "PtzAddCruise",
                                 "PtzDeleteCruise",
                                 "PtzModifyCruise",
                                 "PtzRunCruise",
                                 "PtzStopCruise",
                                 "PtzControl",
                                 "GetMotionConfig",
                                 "GetAlarmInConfig",
                                 "GetAlarmOutConfig",
                                 "ManualAlarmOut",
                                 "GetAlarmStatus",
                                 "GetAlarmServerConfig",
                                 "GetPortConfig",
                                 "GetDdnsConfig",
                                 "GetNetBasicConfig",
                                 "GetNetPppoeConfig",
                                 "ModifyPassword",
                                 "Reboot"};
    const auto& table = BuiltinInterfaces();
    ASSERT_EQ(table.size(), std::size(names));
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i].strName, names[i]) << i;
}

TEST(BuiltinInterfaces, ModulesAreContiguousAndSized) {
    // Records of one module follow each other, modules in id order.
    std::map<int, int> counts;
    int last = 0;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        EXPECT_GE(r.nModule, last) << r.strName;
        last = r.nModule;
        ++counts[r.nModule];
    }
    const std::map<int, int> expected = {{0, 2}, {1, 7}, {2, 16}, {3, 6}, {4, 4}, {5, 1}, {6, 1}};
    EXPECT_EQ(counts, expected);
    EXPECT_STREQ(kBuiltinModuleNames[2], "PTZ");
    EXPECT_EQ(Record("PtzGetCaps").nModule, 2);
    EXPECT_EQ(Record("PtzControl").nModule, 2);
    EXPECT_EQ(Record("ModifyPassword").nModule, 5);
    EXPECT_EQ(Record("Reboot").nModule, 6);
}

TEST(BuiltinInterfaces, ChannelFlagsAndPairs) {
    int channels = 0, pairs = 0;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        EXPECT_TRUE(r.bChannel == 0 || r.bChannel == 1) << r.strName;
        channels += r.bChannel;
        if (!r.strPairName.empty()) {
            ++pairs;
            // Every pair is the "Set" counterpart of a "Get" name.
            const size_t get = r.strName.find("Get");
            ASSERT_NE(get, std::string::npos) << r.strName;
            std::string set = r.strName;
            set.replace(get, 3, "Set");
            EXPECT_EQ(r.strPairName, set);
        }
    }
    EXPECT_EQ(channels, 26);  // records 3-8 and 10-29
    EXPECT_EQ(pairs, 15);
    EXPECT_EQ(Record("RequestKeyFrame").bChannel, 0);
    EXPECT_EQ(Record("GetImageConfig").bChannel, 1);
    EXPECT_EQ(Record("GetAlarmStatus").bChannel, 0);
    EXPECT_EQ(Record("ManualAlarmOut").bChannel, 1);
    EXPECT_EQ(Record("PtzGetProtocolConfig").strPairName, "PtzSetProtocolConfig");
}

TEST(BuiltinInterfaces, EnvelopeHeadsEndInVer10Namespace) {
    const std::string ns = kDeviceNamespace;
    ASSERT_GE(ns.size(), 6u);
    EXPECT_EQ(ns.substr(ns.size() - 6), "/ver10");
    EXPECT_EQ(EnvelopeHead("config"), Head("config"));
    EXPECT_EQ(EnvelopeHead("presetInfo"), Head("presetInfo"));
}

TEST(BuiltinInterfaces, BodiesByteForByte) {
    EXPECT_EQ(Record("PtzAddPreset").strBody,
              Head("presetInfo") + "<name>p1</name>\r\n</presetInfo>");
    EXPECT_EQ(Record("PtzModifyPresetName").strBody,
              Head("presetInfo") + "<id>1</id>\r\n\t<name>aa1</name>\r\n</presetInfo>");
    EXPECT_EQ(Record("PtzModifyPresetPosition").strBody,
              Head("presetInfo") + "<id>3</id>\r\n</presetInfo>");
    EXPECT_EQ(Record("PtzGetCruise").strBody, Head("cruiseInfo") + "<id>1</id>\r\n</cruiseInfo>");
    EXPECT_EQ(Record("PtzControl").strBody,
              Head("actionInfo") + "<speed>4</speed>\r\n</actionInfo>");
    EXPECT_EQ(Record("ManualAlarmOut").strBody,
              Head("config") + "<action>\r\n\t\t<status>true</status>\r\n\t</action>\r\n</config>");
    const std::string cruise =
        "<name type=\"string\"><![CDATA[c2]]></name>\r\n\t<presetInfo>\r\n\t\t<item "
        "id=\"2\">\r\n\t\t\t<speed>5</speed>\r\n\t\t\t<holdTime>5</holdTime>\r\n\t\t</"
        "item>\r\n\t</presetInfo>\r\n</cruiseInfo>";
    EXPECT_EQ(Record("PtzAddCruise").strBody, Head("cruiseInfo") + cruise);
    std::string withId = cruise;
    withId.insert(withId.find("</name>") + 7, "\r\n\t<id>1</id>");
    EXPECT_EQ(Record("PtzModifyCruise").strBody, Head("cruiseInfo") + withId);
}

TEST(BuiltinInterfaces, PasswordTailCarriesTheDefaultPasswordTwice) {
    // "739184" in Base64.
    EXPECT_STREQ(kDefaultPasswordBase64, "NzM5MTg0");
    EXPECT_EQ(Record("ModifyPassword").strBody,
              Head("config") +
                  "<userPassword>\r\n\t\t<oldPassword><![CDATA[NzM5MTg0]]></oldPassword>\r\n\t\t"
                  "<password><![CDATA[NzM5MTg0]]></password>\r\n\t</userPassword>\r\n</config>");
}

TEST(BuiltinInterfaces, BodiesHaveNoTrailingLineEnd) {
    int withBody = 0;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        if (r.strBody.empty())
            continue;
        ++withBody;
        EXPECT_EQ(r.strBody.back(), '>') << r.strName;
        // Every LF is part of a CR LF pair.
        for (size_t i = 0; i < r.strBody.size(); ++i) {
            if (r.strBody[i] == '\n') {
                EXPECT_TRUE(i > 0 && r.strBody[i - 1] == '\r') << r.strName;
            }
        }
    }
    EXPECT_EQ(withBody, 13);
}
