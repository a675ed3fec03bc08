#pragma once

#include <string>

// What a short-mode request file name (without ".xml") says about its record.
struct RequestFileName {
    std::string name;      // interface name; empty when the name starts with "&" or "_"
    std::string pairName;  // paired interface; empty when there is none
    int channel = 0;       // 1 when a "_" suffix is present (and the name is usable)
};

// Splits "Name[&PairName][_suffix]". Only the first "&" and the first "_" count. When the
// "_" comes before the "&", the name is everything before the "&" and the pair is empty.
// A name that starts with "&" or "_" gives empty name, empty pair and channel 0.
RequestFileName SplitRequestFileName(const std::string& f);
