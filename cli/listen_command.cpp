// The listen command: a subscription on the long connection, as the window makes it.
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/listen_report.h"
#include "session/device_session.h"

namespace {

// How often the listening thread looks at the connection and prints what arrived.
constexpr std::chrono::milliseconds kTick{50};

using Clock = std::chrono::steady_clock;

// The waiting side of a listen run: prints the queued lines, and tells when to stop.
class Waiter {
  public:
    Waiter(const CliArguments& args, ListenReport& report, std::ostream& out,
           const InterruptWait& interrupted)
        : report_(report),
          out_(out),
          interrupted_(interrupted),
          bounded_(args.seconds > 0),
          deadline_(Clock::now() + std::chrono::seconds(bounded_ ? args.seconds : 0)) {}

    // Prints the lines that arrived, then waits one tick. False when the time is up or an
    // interruption came (then Interrupted() is true).
    bool Tick() {
        PrintLines();
        std::chrono::milliseconds wait = kTick;
        if (bounded_) {
            const auto left = deadline_ - Clock::now();
            if (left <= Clock::duration::zero())
                return false;
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        if (!interrupted_) {
            std::this_thread::sleep_for(wait);
            return true;
        }
        if (interrupted_(wait)) {
            wasInterrupted_ = true;
            return false;
        }
        return true;
    }

    void PrintLines() {
        const std::vector<std::string> lines = report_.TakeLines();
        for (const std::string& line : lines)
            out_ << line << '\n';
        if (!lines.empty())
            out_.flush();
    }

    bool Interrupted() const { return wasInterrupted_; }

  private:
    ListenReport& report_;
    std::ostream& out_;
    const InterruptWait& interrupted_;
    bool bounded_;
    Clock::time_point deadline_;
    bool wasInterrupted_ = false;
};

void CannotRead(const std::string& file, std::ostream& err) {
    err << "tessaly-cli: cannot read the request file \"" << file
        << "\" (missing, unreadable or empty)\n";
}

// Sends every file in turn, each after the answer to the one before. kExitOk when all were
// answered or the run was interrupted.
int SendFiles(const CliArguments& args, DeviceSession& session, ListenReport& report,
              Waiter& waiter, std::ostream& err) {
    const ConnectionSettings& s = session.Settings();
    for (const std::string& file : args.files) {
        std::string request;
        if (session.PrepareLongRequest(file, s.ip, SubscriptionInterfaceName(file), request) !=
            PrepareResult::Ok) {
            CannotRead(file, err);
            return kExitFailed;
        }
        const int answered = report.Responses();
        // The connect and the send run on a thread of their own, so that Ctrl-C (taken by the
        // waiter) ends a connect to a device that does not answer at once.
        std::mutex lock;
        std::optional<LongSendOutcome> sent;
        session.StartLongSend(request, [&](LongSendOutcome outcome) {
            const std::lock_guard<std::mutex> hold(lock);
            sent = std::move(outcome);
        });
        auto done = [&] {
            const std::lock_guard<std::mutex> hold(lock);
            return sent.has_value();
        };
        while (!done() && waiter.Tick()) {
        }
        if (!done()) {
            session.DisconnectLong();  // gives the connect up; its outcome arrives meanwhile
            if (waiter.Interrupted())
                return kExitOk;
            err << "tessaly-cli: no answer to \"" << file << "\" in time\n";
            return kExitFailed;
        }
        const LongSendOutcome outcome = *sent;
        if (outcome.connectTried && outcome.connect != ConnectResult::Ok) {
            const std::string message = ConnectResultMessage(outcome.connect);
            err << "tessaly-cli: " << (message.empty() ? "cannot create a socket" : message) << " ("
                << s.ip << ":" << s.longPort << ")\n";
            if (!outcome.reason.empty())
                err << "tessaly-cli: " << outcome.reason << "\n";
            return kExitFailed;
        }
        if (outcome.send != SendResult::Ok) {
            err << "tessaly-cli: " << SendResultMessage(outcome.send) << " (\"" << file << "\")\n";
            if (!outcome.reason.empty())
                err << "tessaly-cli: " << outcome.reason << "\n";
            return kExitFailed;
        }
        while (report.Responses() <= answered && !session.NeedConnect() && waiter.Tick()) {
        }
        if (waiter.Interrupted())
            return kExitOk;
        if (report.Responses() <= answered) {
            err << "tessaly-cli: no answer to \"" << file << "\""
                << (session.NeedConnect() ? ": the device closed the connection\n" : " in time\n");
            return kExitFailed;
        }
        // A subscription the device refused is no subscription: nothing will be pushed.
        if (const int status = report.LastStatus(); !IsSuccessStatus(status)) {
            waiter.PrintLines();
            err << "tessaly-cli: the device answered \"" << file << "\" with status " << status
                << "\n";
            return kExitFailed;
        }
    }
    return kExitOk;
}

// A relative request file that the current folder lacks but the home folder has is taken
// from there, so that an installed copy's shipped files are named as in a portable folder
// (protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml).
CliArguments WithRequestFilesFound(const CliArguments& given) {
    CliArguments args = given;
    for (std::string& file : args.files) {
        if (file.empty() || file.front() == '/' || access(file.c_str(), F_OK) == 0)
            continue;
        const std::string inHome = args.home + "/" + file;
        if (access(inHome.c_str(), F_OK) == 0)
            file = inHome;
    }
    return args;
}

}  // namespace

int RunListen(const CliArguments& given, std::ostream& out, std::ostream& err,
              const InterruptWait& interrupted) {
    const CliArguments args = WithRequestFilesFound(given);
    // Nothing goes out while any of the files is unusable.
    for (const std::string& file : args.files) {
        std::string data;
        if (!ReadProtocolFile(file, data)) {
            CannotRead(file, err);
            return kExitFailed;
        }
    }

    ListenReport report(args.json);
    Waiter waiter(args, report, out, interrupted);
    int status = kExitOk;
    {
        DeviceSession session(args.home, &report);
        session.Settings() = args.connection;
        status = SendFiles(args, session, report, waiter, err);
        if (status == kExitOk && !waiter.Interrupted()) {
            while (!session.NeedConnect() && waiter.Tick()) {
            }
            if (session.NeedConnect() && !waiter.Interrupted())
                err << "tessaly-cli: the device closed the connection\n";
        }
        // Leaving the block disconnects and closes the log.
    }
    waiter.PrintLines();
    return status;
}
