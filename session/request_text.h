#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Byte texts of requests as the window's boxes and tessaly-cli handle them.

// The bytes with every line end (LF, CR LF or a lone CR) written as CR LF.
std::string WithCrLfLineEnds(const std::string& bytes);

// The bytes after the first blank line (the first CR LF CR LF) of a request text: its body.
// Empty when the text holds no blank line or nothing follows it.
std::string BodyAfterBlankLine(const std::string& request);

// The path of a request text's request line: the first line must start with "POST /"; the
// path is what follows up to the next space or the line's end ("" for "POST / HTTP/1.1").
// False, path untouched, when the first line is no such line (an empty text included).
bool RequestLinePath(const std::string& request, std::string& path);

// The path a writing partner is posted to: its name, then "/1" when the path of the reading
// interface it pairs with carries a channel ("GetImageConfig/1" gives "SetImageConfig/1").
std::string PartnerPath(const std::string& readerPath, const std::string& partnerName);

// Length of the UTF-8 sequence of more than one byte that starts at `at` (2 to 4); 0 when the
// bytes there are ASCII or no valid sequence (a stray continuation byte, a cut, overlong or
// surrogate sequence). `at` lies inside text.
size_t ValidUtf8Length(std::string_view text, size_t at);
