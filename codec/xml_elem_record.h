#pragma once

#include <cstdint>

// One element of a parsed document: where its tags lie in the document text and how it is
// linked to its parent and siblings. Record 0 stands for the document itself. Eight 32-bit
// fields; indices are element indices, 0 meaning none. A plain aggregate: ElemRecord{} is all
// zero, a default-initialised one is not initialised (the element array relies on that).
struct ElemRecord {
    // Bits of nFlags. The nesting level occupies bits 0 to 15.
    static constexpr uint32_t kLevelMask = 0xFFFFu;
    static constexpr uint32_t kFirstChild = 1u << 19;   // first child of its parent
    static constexpr uint32_t kNotEnded = 1u << 20;     // the end tag is missing
    static constexpr uint32_t kErrorInside = 1u << 21;  // an error met while innermost open
    static constexpr uint32_t kIllFormed = 1u << 23;    // record 0: document not well-formed

    // Packing of nTagLengths: start-tag length in bits 0 to 21, end-tag length in bits 22 to
    // 31. A part holding all ones means "too long for the word"; CXmlDocument keeps the exact
    // length aside (use CXmlDocument::StartTagLength / EndTagLength).
    static constexpr uint32_t kStartTagMax = 0x3FFFFFu;
    static constexpr uint32_t kEndTagMax = 0x3FFu;
    static constexpr int kEndTagShift = 22;

    int32_t nStart;        // offset of the start tag's "<"
    int32_t nLength;       // "<" of start tag to ">" of end tag; start tag alone if empty
                           // or not ended; the document length in record 0
    uint32_t nTagLengths;  // packed start- and end-tag lengths; 0 in record 0
    uint32_t nFlags;       // level (bits 0-15, saturating at 65535) and the flags above
    int32_t iParent;       // parent element; 0 for top-level elements
    int32_t iFirstChild;   // first child element; in record 0 the root element
    int32_t iNext;         // next sibling; 0 for the last
    int32_t iPrev;         // previous sibling; for a first child, the last child so far

    // Nesting level at creation (0 for the root element); saturates at 65535.
    int Level() const { return static_cast<int>(nFlags & kLevelMask); }
    // Start-tag length as packed; kStartTagMax means "look it up in the document".
    uint32_t PackedStartTagLength() const { return nTagLengths & kStartTagMax; }
    // End-tag length as packed; kEndTagMax means "look it up in the document".
    uint32_t PackedEndTagLength() const { return nTagLengths >> kEndTagShift; }
    // True when every bit of flag is set.
    bool Has(uint32_t flag) const { return (nFlags & flag) == flag; }
};

static_assert(sizeof(ElemRecord) == 32, "eight 32-bit fields");
