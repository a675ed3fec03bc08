// The short-mode commands: preview and send.
#include <string>

#include "cli/cli_commands.h"
#include "cli/json_text.h"
#include "session/device_session.h"

namespace {

void UnknownInterface(const std::string& name, std::ostream& err) {
    err << "tessaly-cli: no interface \"" << name
        << "\" in the short-mode catalogue (see: tessaly-cli catalogue --mode short)\n";
}

}  // namespace

int RunPreview(const CliArguments& args, std::ostream& out, std::ostream& err) {
    DeviceSession session(args.home);
    session.Settings() = args.connection;
    session.BuildCatalogue(kConnShort);
    if (session.GetCatalogue().Find(args.interfaceName) == nullptr) {
        UnknownInterface(args.interfaceName, err);
        return kExitUsage;
    }
    out << session.Choose(args.interfaceName).preview;
    out.flush();
    return kExitOk;
}

int RunSend(const CliArguments& args, std::ostream& out, std::ostream& err) {
    DeviceSession session(args.home);
    session.Settings() = args.connection;
    if (session.ChooseByName(args.interfaceName) == SendTarget::Unknown) {
        UnknownInterface(args.interfaceName, err);
        return kExitUsage;
    }
    std::optional<ShortPlan> plan = session.PlanShortSend();
    if (args.hasBodyFile && !ReadRequestFile(args.bodyFile, plan->body)) {
        err << "tessaly-cli: cannot read the body file \"" << args.bodyFile << "\"\n";
        return kExitFailed;
    }
    if (args.curl) {
        out << ShortCurlCommand(*plan) << '\n';
        return kExitOk;
    }
    const HttpOutcome outcome = PostShort(*plan);
    // As curl --fail: an error status gives no body, only the status.
    const bool httpError = args.failOnHttpError && outcome.completed && outcome.status >= 400;
    if (args.json)
        out << OutcomeJson(outcome) << '\n';
    else if (!httpError)
        out << outcome.body;
    out.flush();
    if (args.verbose)
        err << "tessaly-cli: " << ShortOutcomeLine(outcome) << '\n';
    if (!outcome.completed) {
        err << kShortSendFailText;
        if (!outcome.error.empty())
            err << " (" << outcome.error << ")";
        err << '\n';
        return kExitFailed;
    }
    if (httpError) {
        err << "tessaly-cli: the device answered " << outcome.StatusText() << '\n';
        return kExitHttpError;
    }
    return kExitOk;
}
