#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receive/picture_archive.h"

// The picture number counter: one count per program run, shared by every connection, never
// reset by a disconnect. Numbers may be drawn from any thread.
class PictureCounter {
  public:
    // Returns "id<N>" with the counter's value N and increases the counter; past the largest
    // int it goes on at the smallest, as a 32-bit count wraps.
    std::string Draw();
    // Draw's N itself.
    int DrawValue();
    // The value the next Draw returns.
    int Next() const { return static_cast<int>(next_.load()); }
    // Makes `next` the value of the next Draw (tests; a program never resets it).
    void Reset(int next) { next_.store(static_cast<std::uint32_t>(next)); }

  private:
    std::atomic<std::uint32_t> next_{1};
};

// The program's one counter: 1 at start.
extern PictureCounter g_nPictureId;

// g_nPictureId.Draw().
std::string DrawPictureNumber();

// What one event gave.
struct DecodeResult {
    std::string smartType;              // text of config/smartType; empty when absent
    std::vector<std::string> pictures;  // paths of the files written, in filing order; none
                                        // when the archive's writer files them
    bool wellFormed = true;             // the body parsed without a problem
    int firstNumber = 0;                // the first picture number drawn (numbersDrawn > 0)
    int numbersDrawn = 0;               // picture numbers drawn for the event
};

// Walks the pushed document body[0, length) (length >= 0; read where it lies, never past its
// end) and files its pictures: for "VFD_MATCH" the snap, album and src pictures under one number
// drawn first; for other smart types the sourceDataInfo picture and the targets of the first
// "count" items of listInfo (a target only when its "type" is "string"), a number each. A
// document without a top-level config files nothing and draws no number. With a writer in the
// archive the folders are made here and the pictures handed to the writer, in the same order.
DecodeResult DecodeEvent(const PictureArchive& archive, const char* body, int length);

// One picture of an event as the decoder finds it, without filing it.
struct EventPictureText {
    const char* kind = "";  // "snap", "album", "src" or "target"
    int number = 0;         // which of the event's drawn numbers it carries, from 0
    // The Base64 text: viewed where it lies in the body when it needs no decoding (`inBody`
    // set, `text` a view of the body), else decoded into `decoded` (`text` views that).
    std::string_view text;
    bool inBody = false;
    std::string decoded;
};

// What the decoder would do with an event body, filing nothing and drawing no number.
struct EventListing {
    std::string smartType;
    bool wellFormed = true;
    int numbersDrawn = 0;  // numbers DecodeEvent would draw
    // The pictures it would file (those with an empty text left out), in filing order. Views
    // point into the body and into the listing itself: keep both, and do not copy the listing
    // (move it) while views are used.
    std::vector<EventPictureText> pictures;
};

// Walks body[0, length) exactly as DecodeEvent does.
EventListing ListEvent(std::string_view body);

// How a message body that may hold XML reads.
enum class BodyXml {
    None,        // empty, or its first character after white space is not "<"
    WellFormed,  // one top-level element, no problem met
    Broken,      // XML with a problem
};
// With `problem` given, a broken body's first problem is written there ("Element 'a' at offset
// 12 not ended", ...).
BodyXml CheckBodyXml(std::string_view body, std::string* problem = nullptr);

// Decodes a picture's Base64 text (line breaks and the like skipped as the archive does) into
// `bytes`. False when memory is short.
bool DecodePictureText(std::string_view base64, std::string& bytes);

// Item count from the "count" attribute: white space skipped, optional sign, digits up to the
// first non-digit; 0 when none; clamped to the int range.
int ParseItemCount(const std::string& text);
