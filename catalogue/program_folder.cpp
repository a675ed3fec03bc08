#include "catalogue/program_folder.h"

#include <unistd.h>

#include <vector>

std::string FolderOfPath(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string GetProgramFolder() {
    // The link's target can be of any length: grow the buffer until it fits.
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buf.size()) return FolderOfPath(std::string(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
}
