// Base64Decode on any bytes: the count never exceeds the size bound, the NUL follows the bytes,
// nothing outside the source or the destination is touched (AddressSanitizer), and the result
// equals a plain step-by-step decoding. Encode and decode are also checked as a round trip,
// with and without line breaks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/base64.h"
#include "fuzz_check.h"
#include "support/base64_reference.h"

namespace {

void CheckDecode(const unsigned char* data, int size) {
    // Exactly the bound the header promises, on the heap so that a write past it is seen.
    const int bound = Base64DecodedSize(size);
    FUZZ_CHECK(bound >= 1);
    std::unique_ptr<unsigned char[]> dst(new unsigned char[bound]);
    const int count = Base64Decode(reinterpret_cast<const char*>(data), size, dst.get());
    FUZZ_CHECK(count >= 0 && count <= bound - 1);
    FUZZ_CHECK(count <= (size + 3) / 4 * 3);
    FUZZ_CHECK(dst[count] == '\0');
    const std::string expected =
        PlainBase64Decode(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(static_cast<std::size_t>(count) == expected.size());
    FUZZ_CHECK(expected.empty() || std::memcmp(dst.get(), expected.data(), expected.size()) == 0);
}

void CheckRoundTrip(const unsigned char* data, int size, int lineLength) {
    const CBase64 encoder(lineLength);
    const int room = CBase64::EncodedSize(size, lineLength);
    FUZZ_CHECK(room >= 1);
    std::unique_ptr<char[]> text(new char[room]);
    const int written = encoder.Encode(data, size, text.get(), room);
    FUZZ_CHECK(written >= 0 && written <= room - 1);
    FUZZ_CHECK(text[written] == '\0');
    std::unique_ptr<unsigned char[]> back(new unsigned char[Base64DecodedSize(written)]);
    const int count = Base64Decode(text.get(), written, back.get());
    FUZZ_CHECK(count == size);
    FUZZ_CHECK(size == 0 || std::memcmp(back.get(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    const int n = static_cast<int>(size);
    CheckDecode(data, n);
    // Line breaks decode away only when lines hold whole groups of four.
    const int lineLength = n == 0 ? 4 : 4 * (1 + data[0] % 20);
    CheckRoundTrip(data, n, 2147483647);
    CheckRoundTrip(data, n, lineLength);
    return 0;
}
