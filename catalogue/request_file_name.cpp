#include "catalogue/request_file_name.h"

RequestFileName SplitRequestFileName(const std::string& f) {
    RequestFileName out;
    const size_t amp = f.find('&');
    const size_t under = f.find('_');
    // A marker at the very start leaves nothing to name the record with.
    if (amp == 0 || under == 0)
        return out;
    if (amp == std::string::npos) {
        out.name = f.substr(0, under);  // all of f when there is no "_" either
        out.channel = under == std::string::npos ? 0 : 1;
        return out;
    }
    out.name = f.substr(0, amp);
    if (under == std::string::npos) {
        out.pairName = f.substr(amp + 1);
    } else {
        if (under > amp)
            out.pairName = f.substr(amp + 1, under - amp - 1);
        out.channel = 1;
    }
    return out;
}
