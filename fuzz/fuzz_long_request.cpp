// The keep-alive request built from a request file, then the server-address substitution.
// Checks: the built request is the header followed by the file's bytes with their true count;
// a substitution changes exactly one CDATA value of the body into the address and leaves the
// Content-Length equal to the new body size, and a refused one changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "request/long_request.h"

namespace {

const std::string kTail = "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n";

// A header field as a single-line edit field can hold it: no CR or LF.
std::string FieldText(FuzzedDataProvider& provider, std::size_t most) {
    std::string text = provider.ConsumeRandomLengthString(most);
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

// True when `after` is `before` with the content of one CDATA section replaced by `value`.
bool OneCdataReplaced(const std::string& before, const std::string& after,
                      const std::string& value) {
    static const std::string kOpen = "<![CDATA[";
    for (std::size_t open = before.find(kOpen); open != std::string::npos;
         open = before.find(kOpen, open + 1)) {
        const std::size_t start = open + kOpen.size();
        const std::size_t end = before.find("]]>", start);
        if (end == std::string::npos) {
            break;
        }
        if (before.compare(0, start, after, 0, start) == 0 &&
            after.compare(start, value.size(), value) == 0 &&
            after.compare(start + value.size(), std::string::npos, before, end) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::string ip = FieldText(provider, 64);
    const std::string name = FieldText(provider, 64);
    const std::string user = FieldText(provider, 64);
    const std::string password = FieldText(provider, 64);
    const std::string address = provider.ConsumeRandomLengthString(256);
    const std::string body = provider.ConsumeRemainingBytesAsString();

    std::string request = BuildLongRequest(ip, name, user, password, body);
    const std::string head = "POST /" + name + " HTTP/1.1\r\nAuthorization: Basic ";
    FUZZ_CHECK(request.compare(0, head.size(), head) == 0);
    const std::string length = std::to_string(body.size());
    const std::size_t numberAt = request.size() - body.size() - kTail.size() - length.size();
    FUZZ_CHECK(request.compare(numberAt - 18, 18, "\r\nContent-Length: ") == 0);
    FUZZ_CHECK(request.compare(numberAt, length.size(), length) == 0);
    FUZZ_CHECK(request.compare(numberAt + length.size(), kTail.size(), kTail) == 0);
    FUZZ_CHECK(request.compare(request.size() - body.size(), body.size(), body) == 0);

    std::string substituted = request;
    if (!SubstituteServerAddress(substituted, address)) {
        FUZZ_CHECK(substituted == request);
        return 0;
    }
    FUZZ_CHECK(!address.empty());
    FUZZ_CHECK(substituted.compare(0, numberAt, request, 0, numberAt) == 0);
    const std::size_t tailAt = substituted.find(kTail, numberAt);
    FUZZ_CHECK(tailAt != std::string::npos);
    const std::string newBody = substituted.substr(tailAt + kTail.size());
    FUZZ_CHECK(substituted.substr(numberAt, tailAt - numberAt) == std::to_string(newBody.size()));
    FUZZ_CHECK(OneCdataReplaced(body, newBody, address));
    FUZZ_CHECK(body.find("serverAddress") != std::string::npos);
    return 0;
}
