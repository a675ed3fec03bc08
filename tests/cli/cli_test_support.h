#pragma once

// Helpers of the command-line tests: the commands run in-process, files read back, the
// simulated device started on 127.0.0.1.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

#include "catalogue/temp_folder.h"
#include "cli/cli_commands.h"
#include "sim/simulator_thread.h"

// What one run of a command gave.
struct CliRun {
    int status = -1;
    std::string out, err;
};

// Parses args (home defaulting to `home`) and runs them in-process; by default no
// interruption comes (waits sleep).
inline CliRun RunCli(const std::vector<std::string>& args, const std::string& home,
                     const InterruptWait& interrupted = {}) {
    std::ostringstream out, err;
    const int status = RunCommand(ParseCliArguments(args, home), out, err, interrupted);
    return {status, out.str(), err.str()};
}

// Whole content of a file; "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// The regular files below a folder, at any depth, as full paths, sorted.
inline std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file())
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A shipped long-mode request file, e.g. ShippedFile("SetSubscribe").
inline std::string ShippedFile(const std::string& name) {
    return TESSALY_SOURCE_DIR "/protocol_long/Subscribe/SUBSCRIBE_" + name + "_test.xml";
}

// A port on 127.0.0.1 that refuses connections (Dead), takes them into its backlog and never
// answers (Silent), or accepts the first one and closes it at once (HangUp).
class LoopbackPort {
  public:
    enum Kind { Dead, Silent, HangUp };
    explicit LoopbackPort(Kind kind) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = std::to_string(ntohs(address.sin_port));
        if (kind != Dead)
            listen(fd_, 4);
        if (kind == HangUp)
            acceptor_ = std::thread([fd = fd_] { close(accept(fd, nullptr, nullptr)); });
    }
    ~LoopbackPort() {
        shutdown(fd_, SHUT_RDWR);  // wakes a waiting accept
        if (acceptor_.joinable())
            acceptor_.join();
        close(fd_);
    }
    const std::string& Port() const { return port_; }

  private:
    int fd_;
    std::string port_;
    std::thread acceptor_;
};

// The simulated device started with `options` (recording into `record` when given); null when
// it did not start.
inline std::unique_ptr<SimulatorThread> StartDevice(SimulatorOptions options,
                                                    const TempFolder* record = nullptr) {
    if (record)
        options.recordFolder = QString::fromStdString(record->Path());
    auto sim = std::make_unique<SimulatorThread>(options);
    return sim->start() ? std::move(sim) : nullptr;
}
