#pragma once

#include <functional>
#include <string>

class QObject;

// The passwords of remembered devices live only in the desktop keychain (the Secret Service
// or KWallet, through QtKeychain), under the service "Tessaly" and the device's DeviceKey.
// Nothing here writes a password anywhere else or prints it.

// What the keychain answered.
enum class KeychainStatus {
    Ok,
    NotFound,     // a read: no password is stored for that key
    Unavailable,  // no keychain service answers, it is locked, or it refused
};

struct KeychainResult {
    KeychainStatus status = KeychainStatus::Unavailable;
    std::string password;  // a read that is Ok: the password
    std::string error;     // Unavailable: the keychain's reason, for the status line
};

using KeychainDone = std::function<void(const KeychainResult&)>;

// Start a keychain job and return at once. `done` runs later on the calling thread's event
// loop, never inside the call, and not at all when `context` is destroyed first. The calling
// thread must run a Qt event loop (the window's thread does).
void ReadPassword(const std::string& key, QObject* context, KeychainDone done);
void WritePassword(const std::string& key, const std::string& password, QObject* context,
                   KeychainDone done);
// Erasing a password that is not stored is Ok.
void ErasePassword(const std::string& key, QObject* context, KeychainDone done);

// The same, waiting for the answer in a local event loop (at most two minutes: a keychain may
// ask the user to unlock it first). For programs without a window: when the process has no
// Qt application object, one is made for the time of the call.
KeychainResult ReadPasswordNow(const std::string& key);
KeychainResult WritePasswordNow(const std::string& key, const std::string& password);
KeychainResult ErasePasswordNow(const std::string& key);
