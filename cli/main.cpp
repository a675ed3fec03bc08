// tessaly-cli: the catalogue, short requests and long-connection subscriptions of the window,
// from the command line.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <thread>

#include "catalogue/home_folder.h"
#include "cli/cli_commands.h"
#include "cli/cli_language.h"
#include "request/http_post.h"

namespace {

// Blocks Ctrl-C and SIGTERM in this thread and every thread started after it, and returns a
// wait that takes them synchronously, so that an interrupted listen can disconnect and close
// its log before the program ends.
InterruptWait TakeInterruptsSynchronously() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return [set](std::chrono::milliseconds wait) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(seconds.count());
        timeout.tv_nsec = static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count());
        const int signal = sigtimedwait(&set, nullptr, &timeout);
        return signal == SIGINT || signal == SIGTERM;
    };
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const HomeChoice home = ChooseHomeFolder(HomeInputsFromEnvironment(std::string()));
    CliArguments parsed = ParseCliArguments(args, home.folder);
    // The program's own messages on stderr in the chosen language; stdout carries what scripts
    // read and stays as it is, but for --help.
    parsed.language = ChooseCliLanguage(args, LocaleOfEnvironment());
    LocalizingBuffer localized(std::cerr.rdbuf(), parsed.language);
    std::streambuf* const plainErrors = std::cerr.rdbuf();
    const bool translated = parsed.language != CliLanguage::English;
    if (translated) {
        std::cerr.rdbuf(&localized);
        // Whole lines are translated: a flush after every insertion would cut them.
        std::cerr.unsetf(std::ios::unitbuf);
    }
    // The user's home folder is made and filled by a command that uses it, not by --help, a
    // wrong line, index (which reads the log it is given) or devices.
    const bool usesHome =
        parsed.command == CliCommand::Catalogue || parsed.command == CliCommand::Preview ||
        parsed.command == CliCommand::Send || parsed.command == CliCommand::Listen;
    if (usesHome && !parsed.given.home) {
        const HomePrepared prepared = PrepareHomeFolder(home);
        if (prepared.status != HomeStatus::Ok) {
            std::cerr << "tessaly-cli: " << prepared.error << "\n";
            std::cerr.flush();
            std::cerr.rdbuf(plainErrors);
            return kExitFailed;
        }
    }

    // Only listen waits for Ctrl-C itself; everywhere else it ends the program at once.
    InterruptWait interrupted = [](std::chrono::milliseconds wait) {
        std::this_thread::sleep_for(wait);
        return false;
    };
    if (parsed.command == CliCommand::Listen)
        interrupted = TakeInterruptsSynchronously();

    const HttpLibrary http;
    const PasswordInput input{&std::cin, isatty(STDIN_FILENO) == 1};
    const int status = RunCommand(parsed, std::cout, std::cerr, interrupted, input);
    std::cout.flush();
    if (translated) {
        std::cerr.flush();
        std::cerr.rdbuf(plainErrors);
        std::cerr.setf(std::ios::unitbuf);
    }
    return status;
}
