// The short-mode commands: preview and send.
#include <string>

#include "catalogue/catalogue.h"
#include "cli/cli_commands.h"
#include "request/http_post.h"
#include "request/short_request.h"

namespace {

const char kShortSendFailText[] = "Send fail, Please Check the IP/Username/Password/ShortPort !";

void UnknownInterface(const std::string& name, std::ostream& err) {
    err << "tessaly-cli: no interface \"" << name
        << "\" in the short-mode catalogue (see: tessaly-cli catalogue --mode short)\n";
}

ShortRequest Compose(const API_INTERFACE* record, const CliArguments& args) {
    const CliSettings& s = args.settings;
    return ComposeShortRequest(record, args.interfaceName, s.ip, s.shortPort, s.user, s.password);
}

// The first record whose writing partner is `name`; null when none has it.
const API_INTERFACE* ReaderOf(const Catalogue& catalogue, const std::string& name) {
    if (name.empty())
        return nullptr;
    for (const API_INTERFACE& record : catalogue.Interfaces()) {
        if (record.strPairName == name)
            return &record;
    }
    return nullptr;
}

}  // namespace

int RunPreview(const CliArguments& args, std::ostream& out, std::ostream& err) {
    Catalogue catalogue;
    catalogue.Build(kConnShort, args.settings.home);
    const API_INTERFACE* record = catalogue.Find(args.interfaceName);
    if (record == nullptr) {
        UnknownInterface(args.interfaceName, err);
        return kExitUsage;
    }
    out << Compose(record, args).preview;
    out.flush();
    return kExitOk;
}

int RunSend(const CliArguments& args, std::ostream& out, std::ostream& err) {
    Catalogue catalogue;
    catalogue.Build(kConnShort, args.settings.home);
    std::string path;
    std::string body;
    if (const API_INTERFACE* record = catalogue.Find(args.interfaceName)) {
        const ShortRequest request = Compose(record, args);
        path = request.strInterface;
        body = request.strBody;
    } else if (const API_INTERFACE* reader = ReaderOf(catalogue, args.interfaceName)) {
        // As the window's paired pane: the partner takes the channel of its reader.
        path = args.interfaceName;
        if (Compose(reader, args).strInterface.find("/1") != std::string::npos)
            path += "/1";
    } else {
        UnknownInterface(args.interfaceName, err);
        return kExitUsage;
    }
    if (args.hasBodyFile && !ReadRequestFile(args.bodyFile, body)) {
        err << "tessaly-cli: cannot read the body file \"" << args.bodyFile << "\"\n";
        return kExitFailed;
    }

    const CliSettings& s = args.settings;
    std::string response;
    std::string error;
    const int ok = HttpPost(s.ip, s.shortPort, s.user, s.password, path, body, response, error);
    out << response;
    out.flush();
    if (!ok) {
        err << kShortSendFailText;
        if (!error.empty())
            err << " (" << error << ")";
        err << '\n';
        return kExitFailed;
    }
    return kExitOk;
}
