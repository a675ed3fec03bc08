#pragma once

// The ways Base64Decode can run. It picks the fastest one this processor supports, once; the
// others stay reachable so that tests can hold each against the plain steps.

// Paths of the decoder, all with the same results.
enum class Base64DecodePath {
    kPortable,  // table look-ups, four characters at a time; every processor
    kSsse3,     // sixteen characters at a time (x86-64 with SSSE3)
    kAvx2,      // thirty-two characters at a time (x86-64 with AVX2)
};

// True when this build and this processor can run the path (kPortable always can).
bool Base64DecodePathSupported(Base64DecodePath path);

// Base64Decode on the given path; a path that is not supported runs kPortable.
int Base64DecodeOn(Base64DecodePath path, const char* src, int srcLen, unsigned char* dst);
