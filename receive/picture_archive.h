#pragma once

#include <string>
#include <string_view>

#include "receive/traffic_log.h"

// Where pictures are filed: "pic" in `programFolder`, one sub-folder per smart type. Folder
// failures are noted in `log` while it is open (null: not noted).
struct PictureArchive {
    std::string programFolder;
    TrafficLog* log = nullptr;
};

// Note appended to the log when the folder "pic" cannot be made (29 bytes).
extern const char kPicFolderNote[];
// Note appended to the log when the smart-type folder cannot be made (29 bytes).
extern const char kSmartTypeFolderNote[];

// The smart type as a single folder name: "/" and "\" become "_", "." becomes "_", ".."
// becomes "__", NUL becomes "_"; anything else (the empty text too) is kept.
std::string SafeFolderName(const std::string& smartType);

// Decodes `base64` and writes it to pic/<SafeFolderName(smartType)>/<time>_<kind>_<number>.jpg
// (time "%Y-%m-%d-%H-%M-%S", local). An empty smart type files into pic itself. Makes the
// folders as needed; an existing folder is fine, any other failure is noted in the log and the
// filing goes on. Returns the path written, or "" when base64 is empty (nothing touched) or
// the file cannot be written (skipped silently).
std::string SavePicture(const PictureArchive& archive, std::string_view base64,
                        const std::string& smartType, const std::string& kind,
                        const std::string& number);
