#include "cli/cli_credentials.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <string>

#include "cli/device_access.h"

namespace {

// The first line of a stream without its line end; false when the stream holds nothing.
bool FirstLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line) && line.empty())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// The terminal's settings while a prompt has switched its echo off; restored by a signal too.
termios g_echoing;

void RestoreEchoAndDie(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_echoing);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Asks on the terminal of standard input without echoing the answer. Ctrl-C there ends the
// program with the echo back on, even where the listen command has blocked the signal.
bool Prompt(const std::string& question, std::string& answer) {
    if (tcgetattr(STDIN_FILENO, &g_echoing) != 0)
        return false;
    struct sigaction restore {
    }, oldInt{}, oldTerm{}, oldHup{};
    restore.sa_handler = RestoreEchoAndDie;
    sigaction(SIGINT, &restore, &oldInt);
    sigaction(SIGTERM, &restore, &oldTerm);
    sigaction(SIGHUP, &restore, &oldHup);
    sigset_t stops, oldMask;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_UNBLOCK, &stops, &oldMask);

    termios silent = g_echoing;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    silent.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH,
              &silent);  // before the question, which may be answered at once
    std::cerr << question << std::flush;
    const bool answered = FirstLine(std::cin, answer);
    tcsetattr(STDIN_FILENO, TCSANOW, &g_echoing);

    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGHUP, &oldHup, nullptr);
    return answered;
}

void Apply(const RememberedDevice& device, CliArguments& args) {
    ConnectionSettings& c = args.connection;
    if (!args.given.ip)
        c.ip = device.address;
    if (!args.given.user)
        c.user = device.user;
    if (!args.given.longPort)
        c.longPort = device.longPort;
    if (!args.given.shortPort)
        c.shortPort = device.shortPort;
    c.tls = c.tls || device.tls;  // --tls wins; the key trusted for the device decides
}

int DevicePassword(CliArguments& args, const std::string& key, const PasswordInput& input,
                   std::ostream& err) {
    std::string reason;
    switch (ReadStoredPassword(key, args.connection.password, reason)) {
        case StoredPassword::Found:
            return kExitOk;
        case StoredPassword::None:
            reason = "the keychain holds none for " + key;
            break;
        case StoredPassword::NoKeychain:
            reason = "no keychain: " + reason;
            break;
    }
    if (input.terminal && Prompt("Password for " + key + ": ", args.connection.password))
        return kExitOk;
    err << "tessaly-cli: no password for the device \"" << args.device << "\" (" << reason
        << "); give --password-file FILE or --password -\n";
    return kExitUsage;
}

}  // namespace

int CompleteCredentials(CliArguments& args, const PasswordInput& input, std::ostream& err) {
    std::string key;
    if (!args.device.empty()) {
        RememberedDevice device;
        std::string error;
        if (!LookUpDevice(args.device, device, error)) {
            err << "tessaly-cli: " << error << '\n';
            return kExitUsage;
        }
        Apply(device, args);
        key = args.connection.user + "@" + args.connection.ip;
    }
    if (args.command != CliCommand::Preview && args.command != CliCommand::Send &&
        args.command != CliCommand::Listen)
        return kExitOk;
    switch (args.passwordSource) {
        case PasswordSource::Text:
            return kExitOk;
        case PasswordSource::StandardInput:
            if (input.in != nullptr && FirstLine(*input.in, args.connection.password))
                return kExitOk;
            err << "tessaly-cli: --password - found no line on standard input\n";
            return kExitUsage;
        case PasswordSource::File: {
            std::ifstream file(args.passwordFile, std::ios::binary);
            if (file && FirstLine(file, args.connection.password))
                return kExitOk;
            err << "tessaly-cli: cannot read a password from \"" << args.passwordFile << "\"\n";
            return kExitFailed;
        }
        case PasswordSource::Default:
            break;
    }
    return key.empty() ? kExitOk : DevicePassword(args, key, input, err);
}
