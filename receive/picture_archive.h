#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "receive/traffic_log.h"

class ArchiveWriter;
struct WriterLoan;

// Where pictures are filed: "pic" in `programFolder`, one sub-folder per smart type. Folder
// failures are noted in `log` while it is open (null: not noted).
struct PictureArchive {
    std::string programFolder;
    TrafficLog* log = nullptr;
    // Set: the event decoder makes the folders and the path, then hands the picture to this
    // writer instead of writing it (the writer reports the files written).
    ArchiveWriter* writer = nullptr;
    // Set with a writer: pictures whose text needs no decoding are handed over as views of the
    // document's bytes under this loan, not as copies.
    WriterLoan* loan = nullptr;
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
// Writer and archive are not used.
std::string SavePicture(const PictureArchive& archive, std::string_view base64,
                        const std::string& smartType, const std::string& kind,
                        const std::string& number);

// SavePicture's first half: makes the folders (failures noted as there) and returns the path
// the picture goes to, with the time of now.
std::string PicturePath(const PictureArchive& archive, const std::string& smartType,
                        const std::string& kind, const std::string& number);

// SavePicture's second half: decodes base64 into `scratch` (grown as needed, kept for the next
// picture) and writes the bytes to a new file at path. False when memory is short or the file
// cannot be written.
bool WritePicture(const std::string& path, std::string_view base64,
                  std::vector<unsigned char>& scratch);
