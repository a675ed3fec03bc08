#pragma once

#include <istream>
#include <ostream>

#include "cli/cli_arguments.h"

// Where a password that the command line does not hold comes from.
struct PasswordInput {
    std::istream* in = nullptr;  // standard input, for --password -; null: none
    bool terminal = false;       // standard input is a terminal: a prompt may ask
};

// Completes the settings of a parsed command line before its command runs. --device fills the
// address, the ports and the user from the window's remembered device (options given on the
// command line win), and TLS when the device uses it. Preview, send and listen then get their
// password: --password TEXT as given; --password - the first line of `input.in`;
// --password-file the first line of the file (a line end, CR LF included, is not part of it);
// else, for a --device, the keychain's, or an answer to a prompt without echo when
// `input.terminal`; else the default. Returns kExitOk, or kExitUsage (no such device, no
// password for a device, nothing on standard input) or kExitFailed (the password file cannot
// be read) with the reason on `err`. Never writes a password anywhere.
int CompleteCredentials(CliArguments& args, const PasswordInput& input, std::ostream& err);
