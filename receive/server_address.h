#pragma once

#include <mutex>
#include <string>

// The server address that the device's last subscription answer carried. Written by the
// receive thread, read by the window when it builds a follow-up request; every access holds
// the lock, so a reader always sees one whole value.
class ServerAddress {
  public:
    // Replaces the value (an empty text is stored as given).
    void Set(std::string value);
    // A copy of the value; empty until one was recorded. Never cleared by a disconnect.
    std::string Get() const;

  private:
    mutable std::mutex lock_;
    std::string value_;
};
