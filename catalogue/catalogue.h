#pragma once

#include <string>
#include <vector>

#include "catalogue/api_interface.h"

// Connection modes, as the radio pair's index.
enum ConnMode { kConnLong = 0, kConnShort = 1 };

// Id of a module entry that carries no records (long-mode entries).
inline constexpr int kNoModuleId = -1;

// One entry of the module combo.
struct ModuleEntry {
    std::string name;  // the entry text: a folder name or a built-in module name
    int id;            // attached id; unique per entry in short mode, kNoModuleId in long mode
};

// The folders of the request files under a program folder, without a trailing "/".
// Empty when programFolder is empty (an unknown program folder never means "/").
std::string ShortRequestFolder(const std::string& programFolder);  // <folder>/protocol_short
std::string LongRequestFolder(const std::string& programFolder);   // <folder>/protocol_long

// Full path of a long-mode request file as listed: <folder>/protocol_long/<module>/<name>.xml.
std::string LongRequestFilePath(const std::string& programFolder, const std::string& module,
                                const std::string& name);

// The modules and interfaces offered for one connection mode.
//
// Short mode: one entry per sub-folder of protocol_short (ids kBuiltinModuleCount, +1, ...
// in listing order, so they never collide with the built-in ids), each with one record per
// request file, then the seven built-in modules (ids 0..6) with the 37 built-in records.
// Long mode: one entry per sub-folder of protocol_long, no records.
class Catalogue {
  public:
    // Rebuilds everything for connMode (kConnLong or kConnShort; any other value leaves the
    // catalogue empty). A missing folder gives no folder entries; an unreadable request file
    // gives a record with an empty body; a body stops at the file's first NUL byte.
    void Build(int connMode, const std::string& programFolder);

    // Combo entries in order; empty before the first Build.
    const std::vector<ModuleEntry>& Modules() const { return m_modules; }

    // All records in insertion order (folder records first, then the built-ins).
    const std::vector<API_INTERFACE>& Interfaces() const { return m_interfaces; }

    // The list texts for a chosen module. Long mode: the request files of that module's folder
    // (names without ".xml", read from disk now; empty for an empty moduleText). Short mode:
    // the names of the records whose nModule equals moduleId, in catalogue order (none for
    // kNoModuleId). Any other mode: empty.
    std::vector<std::string> ListItems(int connMode, const std::string& programFolder,
                                       const std::string& moduleText, int moduleId) const;

    // The first record named exactly `name` (byte comparison), or null.
    const API_INTERFACE* Find(const std::string& name) const;

    // The first record whose non-empty strName is `path` itself or a leading part of it that
    // is followed by "/" (GetImageConfig matches GetImageConfig/1, not GetImageConfigX); null
    // when none does.
    const API_INTERFACE* FindByPrefix(const std::string& path) const;

  private:
    std::vector<ModuleEntry> m_modules;
    std::vector<API_INTERFACE> m_interfaces;
};

// Names of the sub-folders of `folder` ("." and ".." skipped), in listing order (which is
// arbitrary). A trailing "/" on `folder` is optional. Missing or unreadable folder: empty.
std::vector<std::string> ListFolders(const std::string& folder);

// Names of the files (not folders) of `folder` ending in ".xml" (lower case, matched exactly
// so that name + ".xml" opens the file again), without that extension, in listing order.
// A file named just ".xml" gives "". Missing or unreadable folder: empty.
std::vector<std::string> ListXmlFiles(const std::string& folder);

// Reads the whole file at `path` as raw bytes (NULs included, line ends untouched) into
// `bytes`. False, with `bytes` emptied, when it cannot be opened or read or is no ordinary
// file (a folder, pipe or device).
bool ReadRequestFile(const std::string& path, std::string& bytes);
