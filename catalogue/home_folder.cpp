#include "catalogue/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "catalogue/program_folder.h"

// Where an installed copy keeps the shipped request folders, relative to its programs
// ("../share/tessaly"): set by the build from the install folders, so that a copy installed
// under any prefix, or unpacked into a scratch root, finds its own.
#ifndef TESSALY_SHIPPED_FROM_PROGRAM
#define TESSALY_SHIPPED_FROM_PROGRAM "../share/tessaly"
#endif

namespace fs = std::filesystem;

namespace {

const char* const kRequestFolders[] = {"protocol_short", "protocol_long"};

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool HoldsRequestFolders(const std::string& folder) {
    if (folder.empty())
        return false;
    for (const char* name : kRequestFolders) {
        if (!IsFolder(fs::path(folder) / name))
            return false;
    }
    return true;
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, ec) && !ec;
}

std::set<std::string> ReadRecord(const fs::path& file) {
    std::set<std::string> names;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            names.insert(line);
    }
    return names;
}

}  // namespace

HomeInputs HomeInputsFromEnvironment(const std::string& given) {
    HomeInputs inputs;
    inputs.programFolder = GetProgramFolder();
    inputs.given = given;
    if (const char* data = std::getenv("XDG_DATA_HOME"))
        inputs.xdgDataHome = data;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        inputs.userHome = home;
    } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir) {
        inputs.userHome = entry->pw_dir;  // a service started without HOME
    }
    return inputs;
}

HomeChoice ChooseHomeFolder(const HomeInputs& inputs) {
    HomeChoice choice;
    if (!inputs.given.empty()) {
        choice.folder = inputs.given;
        choice.kind =
            SameFolder(inputs.given, inputs.programFolder) ? HomeKind::Program : HomeKind::Given;
        return choice;
    }
    const bool portable = HoldsRequestFolders(inputs.programFolder);
    if (portable && access(inputs.programFolder.c_str(), W_OK) == 0) {
        choice.folder = inputs.programFolder;
        return choice;
    }

    choice.kind = HomeKind::User;
    // As the XDG base directories say: a relative XDG_DATA_HOME is ignored.
    if (!inputs.xdgDataHome.empty() && inputs.xdgDataHome.front() == '/')
        choice.folder = inputs.xdgDataHome + "/tessaly";
    else if (!inputs.userHome.empty())
        choice.folder = inputs.userHome + "/.local/share/tessaly";

    if (!inputs.programFolder.empty()) {
        const std::string installed =
            (fs::path(inputs.programFolder) / TESSALY_SHIPPED_FROM_PROGRAM).lexically_normal();
        if (HoldsRequestFolders(installed))
            choice.shipped = installed;
        else if (portable)
            choice.shipped = inputs.programFolder;  // a read-only portable copy
    }
    return choice;
}

HomePrepared PrepareHomeFolder(const HomeChoice& choice) {
    HomePrepared out;
    if (choice.kind != HomeKind::User)
        return out;
    if (choice.folder.empty()) {
        out.status = HomeStatus::NoUserFolder;
        out.error = "no home folder for Tessaly: neither XDG_DATA_HOME nor HOME is set";
        return out;
    }
    const fs::path home(choice.folder);
    std::error_code ec;
    fs::create_directories(home, ec);
    if (!IsFolder(home)) {
        out.status = HomeStatus::CannotCreate;
        out.error = "cannot create the folder \"" + choice.folder + "\"" +
                    (ec ? ": " + ec.message() : std::string());
        return out;
    }
    if (choice.shipped.empty())
        return out;

    // The record lists every shipped file offered once, so that a request file the user
    // deleted stays deleted while those a newer package brings still arrive.
    const fs::path recordFile = home / kShippedRecordName;
    std::set<std::string> offered = ReadRecord(recordFile);
    const size_t offeredBefore = offered.size();
    const fs::path shipped(choice.shipped);
    for (const char* name : kRequestFolders) {
        fs::recursive_directory_iterator it(shipped / name, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError))
                continue;
            const std::string relative = it->path().lexically_relative(shipped).generic_string();
            if (offered.count(relative) != 0)
                continue;
            const fs::path target = home / relative;
            std::error_code copyError;
            if (!fs::exists(target, copyError)) {
                fs::create_directories(target.parent_path(), copyError);
                if (!copyError)
                    fs::copy_file(it->path(), target, copyError);
                if (copyError) {
                    out.status = HomeStatus::CannotCopy;
                    out.error = "cannot copy \"" + it->path().string() + "\" to \"" +
                                target.string() + "\": " + copyError.message();
                    return out;
                }
                ++out.copied;
            }
            offered.insert(relative);
        }
    }
    if (offered.size() != offeredBefore) {
        std::ofstream record(recordFile, std::ios::trunc);
        for (const std::string& relative : offered)
            record << relative << '\n';
        if (!record.flush()) {
            out.status = HomeStatus::CannotCopy;
            out.error = "cannot write \"" + recordFile.string() + "\"";
        }
    }
    return out;
}

std::string ShortFolderName(const std::string& folder, const std::string& userHome) {
    std::string home = userHome;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home.empty() || home == "/" || folder.compare(0, home.size(), home) != 0)
        return folder;
    if (folder.size() == home.size())
        return "~";
    return folder[home.size()] == '/' ? std::string("~").append(folder, home.size()) : folder;
}
