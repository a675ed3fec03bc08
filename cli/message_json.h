#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receive/log_index.h"
#include "receive/receive_observer.h"

// One JSON object (one line, no line end) for a message as it arrived, with the keys that
// `index --json` uses: "time" (ISO 8601, local, milliseconds), "offset" and "length" (bytes in
// ApiLog.txt), "kind" ("answer", "event", "other", "incomplete"), "status" (answers only),
// "smartType" and "pictures" (events only: the paths filed), "note" (true for a folder note),
// "malformed" (true for a body that should be XML and does not parse).
std::string ReportJson(const MessageReport& report);

// The same for an entry of a log read again: no "time", and "pictures" is a count.
std::string EntryJson(const LogEntry& entry);

// One line for `index` without --json, without a line end:
//   "<kind> offset=<o> length=<n>[ status=<s>][ smartType=<t> pictures=<k>][ note][ malformed]"
std::string EntryLine(const LogEntry& entry);
