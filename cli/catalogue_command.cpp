#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/cli_commands.h"

int RunCatalogue(const CliArguments& args, std::ostream& out, std::ostream& err) {
    (void)err;
    const std::string& home = args.home;
    Catalogue catalogue;
    catalogue.Build(args.mode, home);
    for (const ModuleEntry& module : catalogue.Modules()) {
        out << module.name << '\n';
        for (const std::string& item : catalogue.ListItems(args.mode, home, module.name, module.id))
            out << "  " << item << '\n';
    }
    out.flush();
    return kExitOk;
}
