#pragma once

#include <QString>

// Texts that the core hands to the window as const char* (message boxes, a failed connect's
// reason), in the window's language. The core keeps them in English, byte for byte; they are
// translated here, where the window shows them, in the context "CoreText".
QString CoreText(const char* text);
