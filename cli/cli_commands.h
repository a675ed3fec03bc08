#pragma once

#include <chrono>
#include <functional>
#include <ostream>

#include "cli/cli_arguments.h"
#include "cli/cli_credentials.h"

// Waits at most the given time for an interruption (Ctrl-C); true when one arrived. The
// listen command calls it between its looks at the connection; an empty one never reports an
// interruption (listen then just sleeps).
using InterruptWait = std::function<bool(std::chrono::milliseconds)>;

// Writes the modules of the mode and, indented by two spaces under each, the list texts the
// window shows when that module is chosen (an empty name gives an indented empty line).
// Missing request folders give no folder modules. Always kExitOk.
int RunCatalogue(const CliArguments& args, std::ostream& out, std::ostream& err);

// Writes the short-mode preview of the interface, byte for byte as the request editor holds
// it after a click on it, with nothing added. kExitUsage when the short-mode catalogue has no
// record of that name.
int RunPreview(const CliArguments& args, std::ostream& out, std::ostream& err);

// Composes the interface as a click would and posts the stored body (or the bytes of
// --body-file) to http://ip:short-port/path. A writing partner (say SetImageConfig) is posted
// to its name, with "/1" when its reading interface has a channel, and an empty body unless
// --body-file gives one. Writes the answer body as received (--json: OutcomeJson and a line
// end instead; --fail: nothing for a status of 400 or above); -v writes ShortOutcomeLine to
// `err`. kExitOk when the transfer completed (whatever the HTTP status, unless --fail),
// kExitHttpError for --fail and a status of 400 or above, kExitFailed with the window's
// failure text and the reason on `err` when the transfer failed or the body file cannot be
// read, kExitUsage for an unknown interface. --curl writes the curl command line of the
// request (see ShortCurlCommand) and a line end, and posts nothing.
int RunSend(const CliArguments& args, std::ostream& out, std::ostream& err);

// Builds the long request of the first file, connects, sends it and waits for its answer;
// then builds each follow-up (recorded server address substituted), sends it and waits for
// its answer; then receives until the --seconds have passed (counted from the start), the
// device closes the connection, or `interrupted` reports Ctrl-C. ApiLog.txt and pic are
// written into the home folder; one line per received message goes to `out` (see
// FormatMessageLine; with --json one ReportJson object, folder notes included). Disconnects and
// closes the log on every way out. kExitFailed when a file cannot be read, the connection fails,
// a send fails, an answer does not come in time or its status is not 2xx (the status is named on
// `err`); an interruption is a clean end (kExitOk). A relative file missing from the current
// folder is read from the home folder when it is there.
int RunListen(const CliArguments& args, std::ostream& out, std::ostream& err,
              const InterruptWait& interrupted);

// Frames the log FILE as the receive path did and writes one line per message (EntryLine), or
// with --json one JSON object (EntryJson). kExitFailed, with the reason on `err`, when the file
// cannot be opened or a read fails (the lines before it are written).
int RunIndex(const CliArguments& args, std::ostream& out, std::ostream& err);

// Writes one line per device that the window remembers (see DeviceLabel); kExitFailed when
// this build has no device list.
int RunDevices(std::ostream& out, std::ostream& err);

// Runs the parsed command once CompleteCredentials has completed it with `input`; prints the
// usage for --help, the version for --version, and the error with a hint for a wrong command
// line (kExitUsage).
int RunCommand(const CliArguments& args, std::ostream& out, std::ostream& err,
               const InterruptWait& interrupted, const PasswordInput& input = {});
