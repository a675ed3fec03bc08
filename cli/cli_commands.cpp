#include "cli/cli_commands.h"

int RunCommand(const CliArguments& args, std::ostream& out, std::ostream& err,
               const InterruptWait& interrupted) {
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
        case CliCommand::None:
            break;
    }
    err << "tessaly-cli: no command given\n(tessaly-cli --help explains the usage)\n";
    return kExitUsage;
}
