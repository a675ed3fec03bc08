#pragma once

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/cli_language.h"
#include "session/connection_settings.h"

// Exit statuses of tessaly-cli.
inline constexpr int kExitOk = 0;         // done
inline constexpr int kExitFailed = 1;     // a transfer, connection or file failed
inline constexpr int kExitUsage = 2;      // the command line is wrong
inline constexpr int kExitHttpError = 3;  // send --fail: the device answered 400 or above

// What tessaly-cli is asked to do.
enum class CliCommand { None, Catalogue, Preview, Send, Listen, Index, Devices };

// Where the password comes from.
enum class PasswordSource {
    Default,        // none given: a --device's from the keychain or a prompt, else the default
    Text,           // --password TEXT (seen in the process list)
    StandardInput,  // --password -: the first line of standard input
    File,           // --password-file FILE: the first line of the file
};

// Which connection options the command line gave; they win over the --device record.
struct GivenOptions {
    bool ip = false;
    bool user = false;
    bool longPort = false;
    bool shortPort = false;
    bool home = false;  // --home: the folder is used as given, never made or filled
};

// The parsed command line.
struct CliArguments {
    CliCommand command = CliCommand::None;  // None with help, version or an error
    ConnectionSettings connection;  // as the window's fields hold them; ip never empty, ports
                                    // decimal 1..65535 after a successful parse
    GivenOptions given;             // which of them the command line gave
    PasswordSource passwordSource = PasswordSource::Default;
    std::string passwordFile;        // --password-file
    std::string device;              // --device NAME; "" when none
    std::string home;                // request folders, ApiLog.txt and pic
    int mode = kConnLong;            // catalogue: kConnLong (the window's start mode) or kConnShort
    std::string interfaceName;       // preview, send: the interface as given (may be empty)
    bool hasBodyFile = false;        // send: --body-file was given
    std::string bodyFile;            // send: the file whose bytes replace the stored body
    bool verbose = false;            // send -v: the status line goes to stderr
    bool failOnHttpError = false;    // send --fail: a status of 400 or above is kExitHttpError
    bool json = false;               // send: one JSON object instead of the body; listen, index:
                                     // one JSON object per message
    bool curl = false;               // send --curl: print the curl command line, send nothing
    std::vector<std::string> files;  // listen: FILE, then every --then FILE in order; index: FILE
    int seconds = -1;                // listen: receive time; -1 means until interrupted
    bool help = false;               // --help: print the usage and stop
    bool version = false;            // --version: print the version and stop
    CliLanguage language = CliLanguage::English;  // of --help; main sets it (ChooseCliLanguage)
    std::string error;                            // not empty: what is wrong with the command line
};

// Reads the arguments that follow the program name. Options may stand before or after the
// command, as "--name value" or "--name=value"; flags (--fail, --json, --curl, -v or
// --verbose) take no value; "--" makes every later argument positional.
// An option that the command does not take, an unknown option, a missing or bad value, a
// missing or extra positional argument, --password with --password-file, or a --home that is
// no folder sets `error`. Nothing is read here: --device and the password are completed by
// CompleteCredentials (cli_credentials.h).
// `defaultHome` is used when --home is absent (it is not checked: the user's home folder is
// made only after the parse, see home_folder.h).
CliArguments ParseCliArguments(const std::vector<std::string>& args,
                               const std::string& defaultHome);

// The explanation of every command and option, ending in a line end.
std::string CliUsage();

// "tessaly-cli <version>" and a line end.
std::string CliVersionText();
