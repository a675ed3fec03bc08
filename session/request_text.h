#pragma once

#include <string>

// Byte texts of requests as the window's boxes and tessaly-cli handle them.

// The bytes with every line end (LF, CR LF or a lone CR) written as CR LF.
std::string WithCrLfLineEnds(const std::string& bytes);

// The bytes after the first blank line (the first CR LF CR LF) of a request text: its body.
// Empty when the text holds no blank line or nothing follows it.
std::string BodyAfterBlankLine(const std::string& request);

// The path a writing partner is posted to: its name, then "/1" when the path of the reading
// interface it pairs with carries a channel ("GetImageConfig/1" gives "SetImageConfig/1").
std::string PartnerPath(const std::string& readerPath, const std::string& partnerName);
