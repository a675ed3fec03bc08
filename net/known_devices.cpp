#include "net/known_devices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "net/tls.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Splits "host port pin"; false for comments and lines of another shape.
bool ReadLine(const std::string& line, std::string& host, unsigned& port, std::string& pin) {
    if (line.empty() || line[0] == '#') {
        return false;
    }
    std::istringstream words(line);
    return static_cast<bool>(words >> host >> port >> pin) && IsPublicKeyPin(pin);
}

// Makes every folder of `path` up to its last "/"; false on a failure other than "exists".
bool MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        if (mkdir(path.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string KnownDevices::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/tessaly/known-devices";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.config/tessaly/known-devices"
                                              : std::string();
}

std::string KnownDevices::Find(const std::string& host, unsigned short port) const {
    std::ifstream in(path_);
    const std::string wanted = Lower(host);
    std::string line, h, pin;
    unsigned p = 0;
    while (std::getline(in, line)) {
        if (ReadLine(line, h, p, pin) && Lower(h) == wanted && p == port) {
            return pin;
        }
    }
    return std::string();
}

bool KnownDevices::Trust(const std::string& host, unsigned short port, const std::string& pin,
                         std::string* error) const {
    auto fail = [error](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (path_.empty() || !IsPublicKeyPin(pin) || host.empty() ||
        host.find_first_of(" \t\r\n") != std::string::npos) {
        return fail("nothing to keep the key in, or no key");
    }
    std::ostringstream kept;
    {
        std::ifstream in(path_);
        std::string line, h, old;
        unsigned p = 0;
        while (std::getline(in, line)) {
            if (!(ReadLine(line, h, p, old) && Lower(h) == Lower(host) && p == port)) {
                kept << line << '\n';
            }
        }
    }
    kept << host << ' ' << port << ' ' << pin << '\n';
    const std::string temporary = path_ + ".new";
    if (!MakeFolders(path_)) {
        return fail(std::string("cannot make the folder of ") + path_ + ": " +
                    std::strerror(errno));
    }
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kept.str();
        if (!out.flush()) {
            return fail("cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        unlink(temporary.c_str());
        return fail("cannot replace " + path_ + ": " + why);
    }
    return true;
}
