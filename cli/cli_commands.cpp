#include "cli/cli_commands.h"

#include "cli/device_access.h"

int RunDevices(std::ostream& out, std::ostream& err) {
    std::vector<std::string> labels;
    std::string error;
    if (!RememberedDeviceLabels(labels, error)) {
        err << "tessaly-cli: " << error << '\n';
        return kExitFailed;
    }
    for (const std::string& label : labels)
        out << label << '\n';
    out.flush();
    return kExitOk;
}

int RunCommand(const CliArguments& parsed, std::ostream& out, std::ostream& err,
               const InterruptWait& interrupted, const PasswordInput& input) {
    CliArguments args = parsed;
    if (!args.error.empty()) {
        err << "tessaly-cli: " << args.error << "\n(tessaly-cli --help explains the usage)\n";
        return kExitUsage;
    }
    if (args.help) {
        out << CliUsage();
        return kExitOk;
    }
    if (args.version) {
        out << CliVersionText();
        return kExitOk;
    }
    if (const int status = CompleteCredentials(args, input, err); status != kExitOk)
        return status;
    if (args.connection.trust.insecure) {
        err << "tessaly-cli: warning: --insecure: the device's certificate is not checked; "
               "anyone in between can read and change the traffic\n";
    }
    switch (args.command) {
        case CliCommand::Catalogue:
            return RunCatalogue(args, out, err);
        case CliCommand::Preview:
            return RunPreview(args, out, err);
        case CliCommand::Send:
            return RunSend(args, out, err);
        case CliCommand::Listen:
            return RunListen(args, out, err, interrupted);
        case CliCommand::Index:
            return RunIndex(args, out, err);
        case CliCommand::Devices:
            return RunDevices(out, err);
        case CliCommand::None:
            break;
    }
    err << "tessaly-cli: no command given\n(tessaly-cli --help explains the usage)\n";
    return kExitUsage;
}
