#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

// The form in which a response box shows a text. Laying out a line of hundreds of kilobytes
// costs the window's thread most of a second, so a box shows long lines cut, each followed by
// a marker such as " ... [412,345 more bytes; the traffic log holds all]", and stops once its
// whole text reaches a bound. Only what is shown is cut: the bytes themselves are untouched.

// Bounds of a display form; 0 means no bound.
struct DisplayBounds {
    std::size_t lineBytes = 0;     // longest line (bytes before its LF) shown whole
    std::size_t totalBytes = 0;    // most bytes of shown text, markers included, before the
                                   // closing marker
    const char* holder = nullptr;  // named by the markers as holding every byte; null: none
};

// Bounds of the response box for what arrives on the long connection. Cut lines cost little
// to lay out; 128 KB of short lines take about 20 ms, well inside what a window may stall.
inline constexpr DisplayBounds kLongResponseBounds{2000, 128 * 1024, "the traffic log"};

// Bounds of the response boxes for short-connection answers, which nothing else keeps.
inline constexpr DisplayBounds kShortAnswerBounds{2000, 128 * 1024, nullptr};

// The marker that stands for `count` bytes left out: " ... [1,234 more bytes; <holder> holds
// all]" ("1 more byte" for one; without the "; ..." part when holder is null or empty).
std::string OmissionMarker(std::size_t count, const char* holder);

// True when the bytes are shown as they are: no line is longer than bounds.lineBytes and
// there are at most bounds.totalBytes bytes.
bool FitsDisplayBounds(std::string_view bytes, const DisplayBounds& bounds);

// The bytes as a box shows them. A line longer than bounds.lineBytes keeps its first bytes
// (never ending inside a UTF-8 sequence) followed by a marker of the bytes left out; its LF
// stays. Once the shown text would pass bounds.totalBytes it ends with a marker of all
// bytes not shown. Bytes that fit the bounds come back unchanged.
std::string DisplayFormBytes(std::string_view bytes, const DisplayBounds& bounds);

// DisplayFormBytes decoded from UTF-8 for a box (invalid bytes become U+FFFD). Reads the bytes
// during the call only; with bounds set, copies no more than the form holds.
QString DisplayForm(std::string_view bytes, const DisplayBounds& bounds);
