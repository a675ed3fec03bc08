// The index command: the messages of a traffic log, framed as the receive path framed them.
#include "cli/cli_commands.h"
#include "cli/message_json.h"
#include "receive/log_index.h"

int RunIndex(const CliArguments& args, std::ostream& out, std::ostream& err) {
    const std::string& file = args.files.front();
    LogIndexer indexer;
    if (!indexer.Open(file)) {
        err << "tessaly-cli: cannot read the log \"" << file << "\": " << indexer.Error() << "\n";
        return kExitFailed;
    }
    for (LogEntry entry; indexer.Next(entry);) {
        out << (args.json ? EntryJson(entry) : EntryLine(entry)) << '\n';
    }
    out.flush();
    if (!indexer.Error().empty()) {
        err << "tessaly-cli: cannot read the log \"" << file << "\" past byte "
            << indexer.Position() << ": " << indexer.Error() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}
