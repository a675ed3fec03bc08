#pragma once

#include <string>

// The keys of devices the user chose to trust, by address and port: a text file in the user's
// configuration folder with one line "<host> <port> sha256//<Base64>" each (lines starting
// with "#" are comments), as ssh keeps its known hosts. Hosts compare without letter case.
// Reading and writing are done at the moment of use; several programs may share the file.
class KnownDevices {
  public:
    // The file at `path` ("" keeps nothing: Find finds nothing and Trust fails).
    explicit KnownDevices(std::string path) : path_(std::move(path)) {}

    // "$XDG_CONFIG_HOME/tessaly/known-devices", with ~/.config when XDG_CONFIG_HOME is unset;
    // "" when neither it nor HOME is set.
    static std::string DefaultPath();

    // The pin trusted for host:port; "" when none (or the file is missing or unreadable).
    std::string Find(const std::string& host, unsigned short port) const;
    // Trusts `pin` for host:port from now on, in place of an earlier key. Makes the folder
    // and the file as needed and replaces the file whole (never half written). False, with
    // *error when given, when it cannot be written or `pin` is no pin.
    bool Trust(const std::string& host, unsigned short port, const std::string& pin,
               std::string* error = nullptr) const;

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};
