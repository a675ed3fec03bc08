#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "receive/picture_archive.h"

// The picture number counter: one count per program run, shared by every connection, never
// reset by a disconnect. Numbers may be drawn from any thread.
class PictureCounter {
  public:
    // Returns "id<N>" with the counter's value N and increases the counter; past the largest
    // int it goes on at the smallest, as a 32-bit count wraps.
    std::string Draw();
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
};

// Walks the pushed document body[0, length) (length >= 0; read where it lies, never past its
// end) and files its pictures: for "VFD_MATCH" the snap, album and src pictures under one number
// drawn first; for other smart types the sourceDataInfo picture and the targets of the first
// "count" items of listInfo (a target only when its "type" is "string"), a number each. A
// document without a top-level config files nothing and draws no number. With a writer in the
// archive the folders are made here and the pictures handed to the writer, in the same order.
DecodeResult DecodeEvent(const PictureArchive& archive, const char* body, int length);

// Item count from the "count" attribute: white space skipped, optional sign, digits up to the
// first non-digit; 0 when none; clamped to the int range.
int ParseItemCount(const std::string& text);
