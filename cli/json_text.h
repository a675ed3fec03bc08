#pragma once

#include <string>
#include <string_view>

#include "request/http_post.h"

// The bytes as a JSON string, quotes included. UTF-8 text is kept; quotes, backslashes and
// control characters are escaped; a byte that is no part of valid UTF-8 becomes U+FFFD (JSON
// holds text only; the exact bytes are in the answer that --json replaces).
std::string JsonString(std::string_view bytes);

// One JSON object, without a line end, with the keys status (the number, 0 when no answer
// came), reason, timeMs, bytes (the body's size), auth, body and error ("" when the
// transfer completed).
std::string OutcomeJson(const HttpOutcome& outcome);
