#pragma once

// Helpers of the command-line tests: a temporary home folder, running the commands in-process
// and reading files back.

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& Path() const { return path_; }
    // Writes bytes to a file below the folder (folders made as needed); returns its path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    // Makes a folder below the folder; returns its path.
    std::string MakeFolder(const std::string& relative) const;

  private:
    std::string path_;
};

// What one run of a command gave.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Parses args (without the program name, home defaulting to `home`) and runs them in-process.
// Interruptions never come; waits sleep.
CliRun RunCli(const std::vector<std::string>& args, const std::string& home);

// As above with the given interruption source.
CliRun RunCli(const std::vector<std::string>& args, const std::string& home,
              const InterruptWait& interrupted);

// Whole content of a file; "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// True when the path names an existing file or folder.
bool PathExists(const std::string& path);
// The regular files below a folder, at any depth, as full paths, sorted.
std::vector<std::string> FilesBelow(const std::string& folder);
// The lines of a text (without their "\n"); a last line without "\n" counts too.
std::vector<std::string> SplitLines(const std::string& text);
// The folder of the sources (for the shipped request files).
std::string SourceFolder();
// A loopback port on which nothing listens (taken and freed at once).
int DeadLoopbackPort();
