#include "catalogue/builtin_interfaces.h"

namespace {

// Module ids of the built-in modules (index into kBuiltinModuleNames).
enum : int { kSystem, kImage, kPtz, kAlarm, kNetwork, kSecurity, kMaintain };

// The cruise tails: the cruise's name, then (when modifying) its id, then its preset list.
const char kCruiseName[] = "<name type=\"string\"><![CDATA[c2]]></name>\r\n";
const char kCruiseId[] = "\t<id>1</id>\r\n";
const char kCruisePresets[] =
    "\t<presetInfo>\r\n"
    "\t\t<item id=\"2\">\r\n"
    "\t\t\t<speed>5</speed>\r\n"
    "\t\t\t<holdTime>5</holdTime>\r\n"
    "\t\t</item>\r\n"
    "\t</presetInfo>\r\n"
    "</cruiseInfo>";

std::string PasswordTail() {
    return std::string("<userPassword>\r\n\t\t<oldPassword><![CDATA[") + kDefaultPasswordBase64 +
           "]]></oldPassword>\r\n\t\t<password><![CDATA[" + kDefaultPasswordBase64 +
           "]]></password>\r\n\t</userPassword>\r\n</config>";
}

std::vector<API_INTERFACE> MakeBuiltins() {
    const std::string config = EnvelopeHead("config");
    const std::string action = EnvelopeHead("actionInfo");
    const std::string cruise = EnvelopeHead("cruiseInfo");
    const std::string preset = EnvelopeHead("presetInfo");
    const std::string none;
    return {
        {kSystem, 0, "GetDeviceInfo", none, none},
        {kSystem, 0, "GetDateAndTime", "SetDateAndTime", none},
        {kImage, 1, "GetImageConfig", "SetImageConfig", none},
        {kImage, 1, "GetStreamCaps", none, none},
        {kImage, 1, "GetVideoStreamConfig", "SetVideoStreamConfig", none},
        {kImage, 1, "GetAudioStreamConfig", "SetAudioStreamConfig", none},
        {kImage, 1, "GetImageOsdConfig", "SetImageOsdConfig", none},
        {kImage, 1, "GetPrivacyMaskConfig", "SetPrivacyMaskConfig", none},
        {kImage, 0, "RequestKeyFrame", none, none},
        {kPtz, 1, "PtzGetCaps", none, none},
        {kPtz, 1, "PtzGetProtocolConfig", "PtzSetProtocolConfig", none},
        {kPtz, 1, "PtzGetPresets", none, none},
        {kPtz, 1, "PtzAddPreset", none, preset + "<name>p1</name>\r\n</presetInfo>"},
        {kPtz, 1, "PtzDeletePreset", none, preset + "<id>1</id>\r\n</presetInfo>"},
        {kPtz, 1, "PtzModifyPresetPosition", none, preset + "<id>3</id>\r\n</presetInfo>"},
        {kPtz, 1, "PtzModifyPresetName", none,
         preset + "<id>1</id>\r\n\t<name>aa1</name>\r\n</presetInfo>"},
        {kPtz, 1, "PtzGotoPreset", none, preset + "<id>2</id>\r\n</presetInfo>"},
        {kPtz, 1, "PtzGetCruises", none, none},
        {kPtz, 1, "PtzGetCruise", none, cruise + "<id>1</id>\r\n</cruiseInfo>"},
        {kPtz, 1, "PtzAddCruise", none, cruise + kCruiseName + kCruisePresets},
        {kPtz, 1, "PtzDeleteCruise", none, cruise + "<id>2</id>\r\n</cruiseInfo>"},
        {kPtz, 1, "PtzModifyCruise", none, cruise + kCruiseName + kCruiseId + kCruisePresets},
        {kPtz, 1, "PtzRunCruise", none, cruise + "<id>2</id>\r\n</cruiseInfo>"},
        {kPtz, 1, "PtzStopCruise", none, none},
        {kPtz, 1, "PtzControl", none, action + "<speed>4</speed>\r\n</actionInfo>"},
        {kAlarm, 1, "GetMotionConfig", "SetMotionConfig", none},
        {kAlarm, 1, "GetAlarmInConfig", "SetAlarmInConfig", none},
        {kAlarm, 1, "GetAlarmOutConfig", "SetAlarmOutConfig", none},
        {kAlarm, 1, "ManualAlarmOut", none,
         config + "<action>\r\n\t\t<status>true</status>\r\n\t</action>\r\n</config>"},
        {kAlarm, 0, "GetAlarmStatus", none, none},
        {kAlarm, 0, "GetAlarmServerConfig", "SetAlarmServerConfig", none},
        {kNetwork, 0, "GetPortConfig", "SetPortConfig", none},
        {kNetwork, 0, "GetDdnsConfig", "SetDdnsConfig", none},
        {kNetwork, 0, "GetNetBasicConfig", "SetNetBasicConfig", none},
        {kNetwork, 0, "GetNetPppoeConfig", "SetNetPppoeConfig", none},
        {kSecurity, 0, "ModifyPassword", none, config + PasswordTail()},
        {kMaintain, 0, "Reboot", none, none},
    };
}

}  // namespace

std::string EnvelopeHead(const std::string& root) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<" + root + " version=\"1.0\" xmlns=\"" +
           kDeviceNamespace + "\">\r\n\t";
}

const std::vector<API_INTERFACE>& BuiltinInterfaces() {
    static const std::vector<API_INTERFACE> table = MakeBuiltins();
    return table;
}
