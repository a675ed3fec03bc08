#pragma once

#include <QString>
#include <string>

// Conversions between the byte texts of the core and the texts that the window's boxes show.

// The bytes of a text as the window shows it (decoded from UTF-8; invalid bytes become U+FFFD).
QString BytesForDisplay(const std::string& bytes);

// The request bytes of a text that the user edited: UTF-8, with every line end (LF, CR LF or
// a lone CR) written as CR LF. An empty text gives no bytes.
std::string EditedTextToRequestBytes(const QString& text);
