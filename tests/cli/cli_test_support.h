#pragma once

// Helpers of the command-line tests: commands run in-process, files read back, the device.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli_commands.h"
#include "support/sim_support.h"
#include "support/test_support.h"

// True when the run brings a private keychain (see IsolateUserSettings).
extern bool g_privateKeychain;

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Parses args (home defaulting to `home`) and runs them in-process; no Ctrl-C comes, and
// standard input (no terminal) holds `in`.
inline CliRun RunCli(const std::vector<std::string>& args, const std::string& home,
                     const std::string& in = "") {
    std::ostringstream out, err;
    std::istringstream input(in);
    const int status = RunCommand(ParseCliArguments(args, home), out, err, {}, {&input, false});
    return {status, out.str(), err.str()};
}

// The regular files below a folder, at any depth, as full paths, sorted; throws when none.
inline std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// A shipped long-mode request file, e.g. ShippedFile("SetSubscribe").
inline std::string ShippedFile(const std::string& name) {
    return TESSALY_SOURCE_DIR "/protocol_long/Subscribe/SUBSCRIBE_" + name + "_test.xml";
}

// The simulated device recording into `record`; null when it did not start.
inline std::unique_ptr<SimulatorThread> StartDevice(SimulatorOptions options,
                                                    const TempFolder& record) {
    options.recordFolder = QString::fromStdString(record.Path());
    auto sim = std::make_unique<SimulatorThread>(options);
    return sim->start() ? std::move(sim) : nullptr;
}
