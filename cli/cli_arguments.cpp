#include "cli/cli_arguments.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "cli/cli_language.h"
#include "net/known_devices.h"
#include "net/tls.h"
#include "tessaly_version.h"

namespace {

// The bit of a command in OptionRule::commands.
constexpr unsigned Only(CliCommand command) {
    return 1u << static_cast<unsigned>(command);
}
constexpr unsigned kNone = 0;

// Which commands take an option; common options are taken by all of them.
struct OptionRule {
    const char* name;
    bool common;
    unsigned commands;  // the commands that take it when not common (Only(...))
    bool flag = false;  // takes no value ("--tls", "--json")
};

constexpr OptionRule kOptions[] = {
    {"ip", true, kNone},
    {"user", true, kNone},
    {"password", true, kNone},
    {"long-port", true, kNone},
    {"short-port", true, kNone},
    {"home", true, kNone},
    {"password-file", true, kNone},
    {"device", true, kNone},
    {"mode", false, Only(CliCommand::Catalogue)},
    {"body-file", false, Only(CliCommand::Send)},
    {"verbose", false, Only(CliCommand::Send), true},
    {"fail", false, Only(CliCommand::Send), true},
    {"json", false, Only(CliCommand::Send) | Only(CliCommand::Listen) | Only(CliCommand::Index),
     true},
    {"curl", false, Only(CliCommand::Send), true},
    {"then", false, Only(CliCommand::Listen)},
    {"seconds", false, Only(CliCommand::Listen)},
    {"tls", true, kNone, true},
    {"pin", true, kNone},
    {"insecure", true, kNone, true},
    {"lang", true, kNone},
};

const OptionRule* FindOption(const std::string& name) {
    for (const OptionRule& rule : kOptions) {
        if (name == rule.name)
            return &rule;
    }
    return nullptr;
}

CliCommand CommandNamed(const std::string& word) {
    if (word == "catalogue")
        return CliCommand::Catalogue;
    if (word == "preview")
        return CliCommand::Preview;
    if (word == "send")
        return CliCommand::Send;
    if (word == "listen")
        return CliCommand::Listen;
    if (word == "index")
        return CliCommand::Index;
    if (word == "devices")
        return CliCommand::Devices;
    return CliCommand::None;
}

// A decimal number of digits only, within [low, high].
bool ReadNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    value = std::strtol(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct PendingOption {
    const OptionRule* rule;
    std::string value;
};

}  // namespace

CliArguments ParseCliArguments(const std::vector<std::string>& args,
                               const std::string& defaultHome) {
    CliArguments out;
    out.home = defaultHome;
    out.connection.knownDevices = KnownDevices::DefaultPath();
    std::vector<PendingOption> options;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!optionsEnded && arg == "-h") {
                out.help = true;
                continue;
            }
            if (!optionsEnded && arg == "-v") {
                options.push_back({FindOption("verbose"), std::string()});
                continue;
            }
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
                out.error = "unknown option " + arg;
                return out;
            }
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        if (name == "help" || name == "version") {
            if (hasValue) {
                out.error = "--" + name + " takes no value";
                return out;
            }
            (name == "help" ? out.help : out.version) = true;
            continue;
        }
        const OptionRule* rule = FindOption(name);
        if (rule == nullptr) {
            out.error = "unknown option --" + name;
            return out;
        }
        if (rule->flag) {
            if (hasValue) {
                out.error = "--" + name + " takes no value";
                return out;
            }
        } else if (!hasValue) {
            if (i + 1 >= args.size()) {
                out.error = "--" + name + " needs a value";
                return out;
            }
            value = args[++i];
        }
        options.push_back({rule, value});
    }

    if (out.help || out.version)
        return out;
    if (positional.empty()) {
        out.error = "no command given (catalogue, preview, send, listen, index or devices)";
        return out;
    }
    const CliCommand command = CommandNamed(positional.front());
    if (command == CliCommand::None) {
        out.error = "unknown command " + positional.front();
        return out;
    }
    positional.erase(positional.begin());

    for (const PendingOption& option : options) {
        const std::string name = option.rule->name;
        const std::string& value = option.value;
        if (!option.rule->common && (option.rule->commands & Only(command)) == 0) {
            out.error = (name == "verbose" ? std::string("-v") : "--" + name) +
                        " does not belong to this command";
            return out;
        }
        long number = 0;
        if (name == "ip") {
            if (value.empty()) {
                out.error = "--ip needs an address";
                return out;
            }
            out.connection.ip = value;
            out.given.ip = true;
        } else if (name == "user") {
            out.connection.user = value;
            out.given.user = true;
        } else if ((name == "password" && out.passwordSource == PasswordSource::File) ||
                   (name == "password-file" && out.passwordSource != PasswordSource::Default &&
                    out.passwordSource != PasswordSource::File)) {
            out.error = "--password and --password-file exclude each other";
            return out;
        } else if (name == "password") {
            out.passwordSource =
                value == "-" ? PasswordSource::StandardInput : PasswordSource::Text;
            out.connection.password = value == "-" ? std::string() : value;
        } else if (name == "password-file") {
            out.passwordSource = PasswordSource::File;
            out.passwordFile = value;
        } else if (name == "device") {
            if (value.empty()) {
                out.error = "--device needs a name";
                return out;
            }
            out.device = value;
        } else if (name == "long-port" || name == "short-port") {
            if (!ReadNumber(value, 1, 65535, number)) {
                out.error =
                    "--" + name + " needs a port number from 1 to 65535, not \"" + value + "\"";
                return out;
            }
            const bool isLong = name == "long-port";
            (isLong ? out.connection.longPort : out.connection.shortPort) = std::to_string(number);
            (isLong ? out.given.longPort : out.given.shortPort) = true;
        } else if (name == "home") {
            out.home = value;
            out.given.home = true;
        } else if (name == "tls") {
            out.connection.tls = true;
        } else if (name == "insecure") {
            out.connection.trust.insecure = true;
        } else if (name == "pin") {
            if (!IsPublicKeyPin(value)) {
                out.error =
                    "--pin needs sha256// and the Base64 of a key's SHA-256, not \"" + value + "\"";
                return out;
            }
            out.connection.trust.pin = value;
        } else if (name == "lang") {
            if (CliLanguage language; !ParseCliLanguage(value, language)) {
                out.error = "--lang takes en or zh_CN, not \"" + value + "\"";
                return out;
            }
        } else if (name == "mode") {
            if (value == "short") {
                out.mode = kConnShort;
            } else if (value == "long") {
                out.mode = kConnLong;
            } else {
                out.error = "--mode must be short or long, not \"" + value + "\"";
                return out;
            }
        } else if (name == "body-file") {
            if (out.hasBodyFile) {
                out.error = "--body-file given twice";
                return out;
            }
            out.hasBodyFile = true;
            out.bodyFile = value;
        } else if (name == "verbose") {
            out.verbose = true;
        } else if (name == "fail") {
            out.failOnHttpError = true;
        } else if (name == "json") {
            out.json = true;
        } else if (name == "curl") {
            out.curl = true;
        } else if (name == "then") {
            if (value.empty()) {
                out.error = "--then needs a request file";
                return out;
            }
            out.files.push_back(value);  // the first file is put in front below
        } else if (name == "json") {
            out.json = true;
        } else if (name == "seconds") {
            if (!ReadNumber(value, 1, 86400 * 366, number)) {
                out.error =
                    "--seconds needs a whole number of seconds from 1 up, not \"" + value + "\"";
                return out;
            }
            out.seconds = static_cast<int>(number);
        }
    }

    const size_t wanted =
        command == CliCommand::Catalogue || command == CliCommand::Devices ? 0 : 1;
    if (positional.size() < wanted) {
        out.error = command == CliCommand::Listen  ? "listen needs a request FILE"
                    : command == CliCommand::Index ? "index needs a log FILE"
                                                   : "this command needs an INTERFACE";
        return out;
    }
    if (positional.size() > wanted) {
        out.error = "unexpected argument " + positional[wanted];
        return out;
    }
    if (command == CliCommand::Listen) {
        if (positional.front().empty()) {
            out.error = "listen needs a request FILE";
            return out;
        }
        out.files.insert(out.files.begin(), positional.front());
    } else if (command == CliCommand::Index) {
        out.files = {positional.front()};
    } else if (wanted == 1) {
        out.interfaceName = positional.front();
    }
    if ((!out.connection.trust.pin.empty() || out.connection.trust.insecure) &&
        !out.connection.tls) {
        out.error = "--pin and --insecure go with --tls";
        return out;
    }
    if (!out.connection.trust.pin.empty() && out.connection.trust.insecure) {
        out.error = "--pin and --insecure exclude each other";
        return out;
    }
    if (out.given.home && !IsFolder(out.home)) {
        out.error = "the home folder \"" + out.home + "\" is not a folder";
        return out;
    }
    out.command = command;
    return out;
}

std::string CliUsage() {
    return "Usage: tessaly-cli [options] COMMAND [arguments]\n"
           "\n"
           "Scripted device checks with the core of the Tessaly window; no display needed.\n"
           "\n"
           "Commands:\n"
           "  catalogue [--mode short|long]   the modules and, under each, its interfaces\n"
           "                                  (short) or request files (long, the default)\n"
           "  preview INTERFACE               the short-mode request shown after a click\n"
           "  send INTERFACE [--body-file F] [-v] [--fail] [--json] [--curl]\n"
           "                                  a short send; prints the answer body. INTERFACE\n"
           "                                  is a catalogue name or the writing partner of\n"
           "                                  one (e.g. SetImageConfig); F replaces the body.\n"
           "                                  -v, --verbose: the answer's status line (status,\n"
           "                                  time, bytes, authentication) to stderr\n"
           "                                  --fail: an HTTP status of 400 or above prints\n"
           "                                  no body and exits with 3 (as curl --fail)\n"
           "                                  --json: one JSON object with status (a number),\n"
           "                                  reason, timeMs, bytes, auth, body and error\n"
           "                                  instead of the body\n"
           "                                  --curl: prints a curl command line that posts\n"
           "                                  the same request, and sends nothing\n"
           "  listen FILE [--then FILE]... [--seconds N] [--json]\n"
           "                                  subscribes on the long port with the request\n"
           "                                  file FILE, waits for its answer, sends each\n"
           "                                  follow-up, then receives until N seconds have\n"
           "                                  passed or Ctrl-C; one line per message\n"
           "                                  (--json: one JSON object per message). A FILE\n"
           "                                  not found from the current folder is looked\n"
           "                                  for in the home folder (protocol_long/...)\n"
           "  index FILE [--json]             lists the messages of a traffic log (ApiLog.txt):\n"
           "                                  offset, length, kind, status, smart type and\n"
           "                                  picture count, one line or JSON object each\n"
           "  devices                         the devices the window remembers, most recently\n"
           "                                  used first\n"
           "\n"
           "Options:\n"
           "  --ip ADDRESS        device address (default " +
           std::string(kDefaultIp) +
           ")\n"
           "  --user NAME         user name (default " +
           std::string(kDefaultUser) +
           ")\n"
           "  --password TEXT     password (default " +
           std::string(kDefaultPassword) +
           ")\n"
           "  --password -        the password is the first line of standard input\n"
           "  --password-file F   the password is the first line of the file F\n"
           "  --device NAME       address, ports and user of a device that the window\n"
           "                      remembers (a name given there, user@address, or the\n"
           "                      address), its password from the desktop keychain, else\n"
           "                      asked for on the terminal; --ip, --user and the ports win\n"
           "  --long-port N       port of the long connection (default " +
           std::string(kDefaultLongPort) +
           ")\n"
           "  --short-port N      port of the short connection (default " +
           std::string(kDefaultShortPort) +
           ")\n"
           "  --home DIR          folder of protocol_short, protocol_long, ApiLog.txt and pic,\n"
           "                      used as it is. Default: the program's folder when it is\n"
           "                      writable and holds protocol_short and protocol_long (a\n"
           "                      build or an unpacked archive), else $XDG_DATA_HOME/tessaly\n"
           "                      (~/.local/share/tessaly), made on first use and filled with\n"
           "                      copies of the installed request folders; request files you\n"
           "                      edit or delete there stay so\n"
           "  --tls               both connections over TLS (https and TLS on the long port).\n"
           "                      The device's certificate must be vouched for by the system's\n"
           "                      authorities, or its key trusted: in the window, or with --pin\n"
           "  --pin sha256//KEY   trust the device whose public key has this SHA-256 (Base64, as\n"
           "                      curl's --pinnedpubkey takes it; tessaly-devsim --tls prints\n"
           "                      it); any other key is refused\n"
           "  --insecure          with --tls, accept any certificate (warns; only for a device\n"
           "                      you cannot check otherwise)\n"
           "  --lang LANGUAGE     the language of the messages and this help: en or zh_CN\n"
           "                      (default: the locale of LC_ALL, LC_MESSAGES or LANG); the\n"
           "                      output that scripts read is never translated\n"
           "  --help, --version\n"
           "\n"
           "Passwords: every user of the machine can read a command line (ps, /proc), so\n"
           "--password TEXT shows the password to all of them, and the shell's history keeps\n"
           "it. --password -, --password-file (readable by you alone), the keychain of\n"
           "--device and the prompt keep it out of both.\n"
           "\n"
           "Exit status: 0 done, 1 a transfer, connection or file failed (listen: also an\n"
           "answer that is not 2xx), 2 wrong usage, 3 send --fail with an HTTP status of\n"
           "400 or above.\n";
}

std::string CliVersionText() {
    return std::string("tessaly-cli ") + kTessalyVersion + "\n";
}
