#include "cli_test_support.h"

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

TempHome::TempHome() {
    std::string pattern = (fs::temp_directory_path() / "tessaly-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()))
        path_ = pattern;
}

TempHome::~TempHome() {
    std::error_code ignored;
    if (!path_.empty())
        fs::remove_all(path_, ignored);
}

std::string TempHome::Write(const std::string& relative, const std::string& bytes) const {
    const fs::path path = fs::path(path_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::string TempHome::MakeFolder(const std::string& relative) const {
    const fs::path path = fs::path(path_) / relative;
    fs::create_directories(path);
    return path.string();
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& home) {
    return RunCli(args, home, [](std::chrono::milliseconds wait) {
        std::this_thread::sleep_for(wait);
        return false;
    });
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& home,
              const InterruptWait& interrupted) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCommand(ParseCliArguments(args, home), out, err, interrupted);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool PathExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file())
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string SourceFolder() {
    return TESSALY_SOURCE_DIR;
}

int DeadLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}
