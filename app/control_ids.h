#pragma once

#include <QString>

// Numeric ids of the window's controls. Every control carries its id, written in decimal,
// as its Qt object name ("1000" .. "1030"), so code and tests find it with
// findChild<T*>(ControlName(id)). Controls without an id (labels, the rule) carry none.
namespace ControlId {
constexpr int kModule = 1000;          // module combo
constexpr int kResult = 1001;          // response box (read-only)
constexpr int kShortSend = 1002;       // "Short connect send"
constexpr int kInterfaceList = 1004;   // interface list, one column "Interface Name"
constexpr int kIp = 1007;              // device IP address
constexpr int kRequest = 1008;         // request editor
constexpr int kPairRequest = 1009;     // request box of the paired interface
constexpr int kPairSend = 1010;        // "Send" of the paired pane (default button)
constexpr int kPairResult = 1011;      // response box of the paired interface (read-only)
constexpr int kUser = 1016;            // user name
constexpr int kPassword = 1017;        // password (masked)
constexpr int kLongSend = 1020;        // "Long connect send"
constexpr int kSelectProtocol = 1021;  // "Select Protocol"
constexpr int kLongConnect = 1023;     // radio "Long connect" (connection mode 0)
constexpr int kLongPort = 1024;        // long port (digits only)
constexpr int kChangeAccount = 1025;   // toggle "Change IP/username/password"
constexpr int kShortConnect = 1026;    // radio "Short connect" (connection mode 1)
constexpr int kShortPort = 1028;       // short port (digits only)
constexpr int kChangePort = 1030;      // toggle "Change Port"
}  // namespace ControlId

// The object name that a control with the given id carries: its id in decimal.
inline QString ControlName(int id) {
    return QString::number(id);
}
