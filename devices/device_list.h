#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "devices/device_record.h"

// Outcome of a change to the device list.
enum class DeviceListResult {
    Ok,
    Unknown,   // no device has that key
    NotSaved,  // the configuration file could not be written; the change is lost
};

// The remembered devices, most recently used first, in the user's configuration folder
// ($XDG_CONFIG_HOME/Tessaly/devices.conf, through QSettings with the organisation "Tessaly"
// and the application "devices"; never beside the program). Passwords are never written
// here: see password_store.h.
//
// Every change reads the file again first and writes it at once, so that two windows or a
// window and tessaly-cli do not undo each other's changes. Threads: one thread per object;
// QSettings makes concurrent writers of the file safe.
class DeviceList {
  public:
    // Unnamed devices kept at most; the least recently used go first. Named ones stay.
    static constexpr std::size_t kMaxUnnamed = 20;

    // Reads the list; a missing or unreadable file gives an empty list.
    DeviceList();

    // The devices, most recently used first. Records without an address are skipped on
    // reading.
    const std::vector<DeviceRecord>& Devices() const { return devices_; }

    // The device called `name`; else the one whose DeviceKey is `name`; else the only one
    // with that address. Null when none matches, or when the address belongs to several.
    const DeviceRecord* Find(const std::string& name) const;

    // Puts the device first: updates the record with its key (keeping its name when
    // record.name is empty) or adds it. A name given is taken from any other device that had
    // it. Unknown when the address is empty.
    DeviceListResult Remember(DeviceRecord record);

    // Gives the device of this key a name (taken from any other device that had it); an
    // empty name removes it. The order stays.
    DeviceListResult Name(const std::string& key, const std::string& name);

    // Drops the device of this key.
    DeviceListResult Forget(const std::string& key);

    // Reads the file again.
    void Reload();

    // The full path of the file, for messages.
    static std::string FilePath();

  private:
    DeviceListResult Save();
    std::vector<DeviceRecord>::iterator FindKey(const std::string& key);
    void ReleaseName(const std::string& name);

    std::vector<DeviceRecord> devices_;
};
