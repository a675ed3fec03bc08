#pragma once

#include <string>

// Where the tool keeps its files: the request folders protocol_short and protocol_long,
// ApiLog.txt and pic/. The rule, the same for the window and tessaly-cli:
//   1. --home DIR, when given;
//   2. the program's own folder, when it is writable and holds both request folders (the
//      portable layout: a build's bin/ or an unpacked archive);
//   3. otherwise the user's home folder $XDG_DATA_HOME/tessaly (~/.local/share/tessaly), made
//      on first start and filled with copies of the shipped request folders.
// The functions here may be called from any thread; only PrepareHomeFolder touches the disk
// beyond looking.

enum class HomeKind {
    Program,  // the program's own folder (also a --home that names it)
    User,     // the user's home folder under the data folder
    Given,    // another folder given with --home
};

// What the choice is made from. The programs read it from the environment
// (HomeInputsFromEnvironment); tests give temporary folders.
struct HomeInputs {
    std::string programFolder;  // the folder of the running program; "" when unknown
    std::string given;          // --home DIR; "" when absent
    std::string xdgDataHome;    // $XDG_DATA_HOME; "" or a relative path counts as unset
    std::string userHome;       // $HOME (or the password database's home)
};

// The folder chosen and, for the user's home folder, where its request folders come from.
struct HomeChoice {
    HomeKind kind = HomeKind::Program;
    std::string folder;   // where the files live; "" only for User when no home is known
    std::string shipped;  // User: the folder holding the shipped protocol_short and
                          // protocol_long (<prefix>/share/tessaly, else the program's folder
                          // when it holds them read-only); "" when none is found
};

// Outcomes of PrepareHomeFolder.
enum class HomeStatus {
    Ok,
    NoUserFolder,  // neither XDG_DATA_HOME nor HOME names a folder
    CannotCreate,  // the home folder cannot be made
    CannotCopy,    // a shipped request file cannot be copied in
};

struct HomePrepared {
    HomeStatus status = HomeStatus::Ok;
    std::string error;  // for the user, naming the folder or file; "" when Ok
    int copied = 0;     // request files copied in by this call
};

// Name of the list of shipped files the user's home folder has been offered; see
// PrepareHomeFolder.
inline constexpr const char kShippedRecordName[] = ".shipped-request-files";

// The program folder, XDG_DATA_HOME and HOME of this process, with `given` as --home.
HomeInputs HomeInputsFromEnvironment(const std::string& given);

// Applies the rule; looks at the disk but changes nothing. A `given` folder is not checked
// here (the command lines say when it is no folder).
HomeChoice ChooseHomeFolder(const HomeInputs& inputs);

// Makes a User folder ready: creates it (and its parents) and copies in every shipped request
// file that it has never been offered before, recording each in kShippedRecordName. A file the
// user already has is never overwritten, and one the user deleted does not come back; files a
// newer package adds do arrive. Does nothing for Program and Given.
HomePrepared PrepareHomeFolder(const HomeChoice& choice);

// `folder` for display: a leading $HOME becomes "~" ("/home/a/x" -> "~/x"); anything else as is.
std::string ShortFolderName(const std::string& folder, const std::string& userHome);
