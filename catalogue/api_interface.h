#pragma once

#include <string>

// One catalogue record: an interface the user can pick, with the module it belongs to.
// Held by value in the catalogue, in insertion order.
struct API_INTERFACE {
    int nModule = 0;          // id of the module entry this record is listed under
    int bChannel = 0;         // 0 or 1; 1 appends "/1" to the request path
    std::string strName;      // request path and list text; empty for a badly named file
    std::string strPairName;  // interface that writes what this one reads; may be empty
    std::string strBody;      // proposed XML request body; may be empty
};
