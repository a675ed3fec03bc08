#pragma once

#include <string>
#include <vector>

#include "catalogue/api_interface.h"

// Defaults the window shows at start-up. The IP is a fixed private address: nothing
// connects to it unless the engineer sends.
inline constexpr const char* kDefaultIp = "192.168.1.100";
inline constexpr const char* kDefaultUser = "admin";
inline constexpr const char* kDefaultPassword = "739184";
inline constexpr const char* kDefaultLongPort = "8080";
inline constexpr const char* kDefaultShortPort = "80";

// Base64 form of kDefaultPassword, as it stands (twice) in the ModifyPassword body.
inline constexpr const char* kDefaultPasswordBase64 = "NzM5MTg0";

// Namespace URI of every envelope head; ends in "/ver10".
inline constexpr const char* kDeviceNamespace = "http://tessaly.invalid/ver10";

// Number of built-in modules; their ids are 0 .. kBuiltinModuleCount - 1.
inline constexpr int kBuiltinModuleCount = 7;

// Names of the built-in modules in combo order; the index is the module id:
// "System", "Image", "PTZ", "Alarm", "Network", "Security", "Maintain".
inline constexpr const char* kBuiltinModuleNames[kBuiltinModuleCount] = {
    "System", "Image", "PTZ", "Alarm", "Network", "Security", "Maintain"};

// The XML declaration line, then the opening tag of `root` with version and namespace, then
// CR LF TAB. Any root name is accepted as given (the built-ins use config, actionInfo,
// cruiseInfo and presetInfo).
std::string EnvelopeHead(const std::string& root);

// The 37 built-in records in catalogue order, bodies complete (head + tail). Built once.
const std::vector<API_INTERFACE>& BuiltinInterfaces();
