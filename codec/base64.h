#pragma once

#include <string>
#include <string_view>

// Base64 with the standard alphabet ("A"-"Z", "a"-"z", "0"-"9", "+", "/") and "=" padding.
// The encoder builds the Basic authorisation value; the decoder turns event pictures back
// into JPEG bytes. Neither allocates (except the string convenience), neither keeps state.
class CBase64 {
  public:
    // Line length 2147483647: no line break is ever inserted.
    CBase64();
    // A CR LF pair follows every lineLength output characters; 0 or less means never.
    explicit CBase64(int lineLength);

    // Writes the Base64 text of src plus a NUL into dst; returns the characters written
    // (NUL not counted, CR LF pairs counted). Empty or null src writes only the NUL and
    // returns 0. When dstSize is smaller than EncodedSize() nothing is encoded: dst[0]
    // becomes NUL (if dstSize > 0) and -1 is returned. Null dst returns -1.
    int Encode(const unsigned char* src, int srcLen, char* dst, int dstSize) const;
    // Convenience: the whole encoded text, without a NUL; "" for an empty source or one
    // longer than 2^31 - 1 bytes.
    std::string Encode(std::string_view src) const;
    // Destination size always enough for Encode, NUL included: (srcLen + 2) / 3 * 4 + 1 for
    // the default line length, plus 2 per line break. 1 for srcLen <= 0; -1 when the result
    // would not fit in an int.
    static int EncodedSize(int srcLen, int lineLength = 2147483647);

    // The line length given at construction.
    int LineLength() const { return m_nLineLength; }

  private:
    int m_nLineLength;
};

// Destination size always enough for Base64Decode of srcLen characters, NUL included:
// 3 bytes per started group of four plus 1. 1 for srcLen <= 0.
int Base64DecodedSize(int srcLen);

// Decodes srcLen characters of src into dst, writes a NUL after the bytes and returns their
// count. CR and LF are stepped over where a group of four would begin; inside a group every
// byte is data. Bytes outside the alphabet (and bytes above 127) decode as 0. A group ends at
// "=" in its third or fourth place, and decoding ends with the first group that holds a "="
// anywhere: bytes after the pad are ignored, whatever they are. A final group cut short by
// srcLen decodes as if the missing characters were "="; nothing past srcLen is read.
// Null or empty src writes only the NUL (if dst is not null) and returns 0. dst must hold
// Base64DecodedSize(srcLen) bytes: the fast paths may use the bytes after the NUL as scratch.
int Base64Decode(const char* src, int srcLen, unsigned char* dst);
