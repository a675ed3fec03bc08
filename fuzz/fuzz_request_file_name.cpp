// The split of a short-mode request file name and the interface name of a long-mode request
// file path, on any bytes. Checks the pieces against the name they came from.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/request_file_name.h"
#include "fuzz_check.h"
#include "request/long_request.h"

namespace {

void CheckSplit(const std::string& f) {
    const RequestFileName split = SplitRequestFileName(f);
    const std::size_t amp = f.find('&');
    const std::size_t under = f.find('_');
    if (amp == 0 || under == 0) {
        FUZZ_CHECK(split.name.empty() && split.pairName.empty() && split.channel == 0);
        return;
    }
    // The name is a prefix that stops before the first "&" or "_" that ends it.
    FUZZ_CHECK(f.compare(0, split.name.size(), split.name) == 0);
    FUZZ_CHECK(split.name.find('&') == std::string::npos);
    FUZZ_CHECK(split.channel == (under != std::string::npos ? 1 : 0));
    FUZZ_CHECK(split.pairName.find('_') == std::string::npos);
    if (amp == std::string::npos) {
        FUZZ_CHECK(split.pairName.empty());
        FUZZ_CHECK(split.name.size() == (under == std::string::npos ? f.size() : under));
        return;
    }
    FUZZ_CHECK(split.name.size() == amp);
    if (split.pairName.empty()) {
        return;
    }
    FUZZ_CHECK(under == std::string::npos || under > amp);
    FUZZ_CHECK(f.compare(amp + 1, split.pairName.size(), split.pairName) == 0);
    const std::size_t pairEnd = amp + 1 + split.pairName.size();
    FUZZ_CHECK(pairEnd == (under == std::string::npos ? f.size() : under));
}

void CheckSubscriptionName(const std::string& path) {
    const std::string name = SubscriptionInterfaceName(path);
    const std::size_t start = path.find("SUBSCRIBE_");
    if (start == std::string::npos) {
        FUZZ_CHECK(name.empty());
        return;
    }
    const std::size_t end = path.find("_test", start + 10);
    if (end == std::string::npos) {
        FUZZ_CHECK(name.empty());
        return;
    }
    FUZZ_CHECK(path.compare(start + 10, name.size(), name) == 0);
    FUZZ_CHECK(path.compare(start + 10 + name.size(), 5, "_test") == 0);
    FUZZ_CHECK(name.find("_test") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckSplit(text);
    CheckSubscriptionName(text);
    return 0;
}
