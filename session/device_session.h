#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "receive/receive_observer.h"
#include "receive/server_address.h"
#include "receive/traffic_log.h"
#include "request/http_post.h"
#include "request/long_connection.h"
#include "request/long_request.h"
#include "request/short_request.h"
#include "session/connection_settings.h"
#include "session/long_status.h"
#include "session/traffic_rows.h"

// Message box texts of the short connection, byte for byte.
inline constexpr char kSelectInterfaceText[] = "Please select the interface!";
inline constexpr char kShortSendFailText[] =
    "Send fail, Please Check the IP/Username/Password/ShortPort !";
// Message box text of a short send whose edited request has no request line.
inline constexpr char kNoRequestLineText[] =
    "The request has no request line: its first line must read \"POST /path HTTP/1.1\". "
    "Nothing was sent.";

// Everything one short post needs, copied, so that the post can run on another thread.
struct ShortPlan {
    ConnectionSettings settings;
    std::string path;     // request path without the leading "/"
    std::string body;     // bytes to post; may be empty
    bool pair = false;    // the paired pane's Send
    std::string partner;  // not pair: the writing partner's name the paired pane opens for
                          // after a completed send ("" none); pair: ""
};

// Posts the plan through HttpPost; `cancel` (may be null) gives it up from another thread. May
// run on any thread; touches no session.
HttpOutcome PostShort(const ShortPlan& plan, const HttpCancel* cancel = nullptr);

// The curl command line that posts what PostShort posts (see CurlCommandLine).
std::string ShortCurlCommand(const ShortPlan& plan);

// True for a status of 200 to 299.
bool IsSuccessStatus(long status);

// What the paired pane shows after a short send.
struct PairPane {
    bool open = false;    // the pane is enabled (a completed send of an interface with a partner)
    std::string request;  // open: the partner's request (see PairRequestText); its body is the
                          // answer (CR LF ends) when the status is 2xx, else empty
};

// The paired pane after the post of `plan` gave `outcome`. Closed for a paired send, a failed
// transfer or a plan without partner. Any thread; touches no session.
PairPane PairPaneAfter(const ShortPlan& plan, const HttpOutcome& outcome);

// The request the paired pane shows for the partner's path and a body: the with-body header
// (Content-Length always, 0 for no body) with the settings' Host and Basic credentials,
// followed by the body.
std::string PairRequestText(const ConnectionSettings& settings, const std::string& partnerPath,
                            const std::string& body);

// How a short send's plan was made.
enum class ShortPlanStatus {
    Ok,
    NoInterface,    // nothing to send: "Please select the interface!"
    NoRequestLine,  // the edited request has no request line (kNoRequestLineText)
};

// A short send's plan, or why there is none.
struct ShortPlanResult {
    ShortPlanStatus status = ShortPlanStatus::NoInterface;
    ShortPlan plan;  // Ok only
};

// One line on how a short post went, for the window's status strip and tessaly-cli -v:
// "401 Unauthorized, 12 ms, 158 bytes, Basic" ("no authentication" when none was sent);
// after a failure "Failed after 3 ms: <libcurl's reason>".
std::string ShortOutcomeLine(const HttpOutcome& outcome);

// How a name given to tessaly-cli's send was found.
enum class SendTarget {
    Unknown,    // no record of that name, and no record names it as its partner
    Interface,  // a catalogue record: chosen as a click chooses it
    Partner,    // the writing partner of a record: its path, no body
};

// One device session: what the window and tessaly-cli share. It holds the connection settings,
// the catalogue of a mode, the interface chosen in short mode with its stored path, body and
// partner, the short sends' outcomes, and the long connection with its traffic log and server
// address. Its folder holds the request folders, ApiLog.txt and pic.
//
// Threads: every member is called from one thread, the owner's (the window's or the CLI's).
// A short post runs anywhere through PostShort of a plan made here. The long connection's
// receive thread hands its results to the observer, never to the owner's thread.
class DeviceSession {
  public:
    // observer: receives what the receive thread hands out (null: nothing). inbox: gets every
    // report and every request sent on the long connection, as rows for a browser (null:
    // none). Both must outlive the session. Nothing is opened or connected yet.
    explicit DeviceSession(std::string folder, ReceiveObserver* observer = nullptr,
                           TrafficInbox* inbox = nullptr);
    // Disconnects (waiting for the receive thread) and closes the log.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The settings every later call uses; callers copy the user's texts here first.
    ConnectionSettings& Settings() { return settings_; }
    const ConnectionSettings& Settings() const { return settings_; }
    // The folder of the request folders, the log and the pictures.
    const std::string& Folder() const { return folder_; }

    // ---- Catalogue ----
    // Rebuilds the catalogue for kConnLong or kConnShort (see Catalogue::Build).
    void BuildCatalogue(int connMode) { catalogue_.Build(connMode, folder_); }
    const Catalogue& GetCatalogue() const { return catalogue_; }
    // The list texts of a chosen module (see Catalogue::ListItems).
    std::vector<std::string> ListItems(int connMode, const std::string& module,
                                       int moduleId) const {
        return catalogue_.ListItems(connMode, folder_, module, moduleId);
    }

    // ---- Short connection ----
    // A short-mode click on the list text: composes the request with the settings (see
    // ComposeShortRequest; an unknown text gives a bare path) and stores it as the choice.
    const ShortRequest& Choose(const std::string& itemText);
    // The last choice; empty texts before the first.
    const ShortRequest& Choice() const { return choice_; }
    // Composes the last Choose again, from the record it found then, with the settings as
    // they are now (new Host, credentials, password in the body); the partner stays as the
    // last send left it. False, nothing changed, when nothing was chosen (or ChooseByName
    // chose a partner last).
    bool RefreshChoice();
    // Chooses by name for a script: a record of the short-mode catalogue as Choose does, else
    // the writing partner of a record (path with the reader's channel, no body, no partner).
    // Builds the short-mode catalogue. Unknown leaves the choice as it was.
    SendTarget ChooseByName(const std::string& name);
    // The post of "Short connect send": the choice's path and stored body. Nothing when no
    // interface is chosen ("Please select the interface!").
    std::optional<ShortPlan> PlanShortSend() const;
    // The post of "Short connect send" for a request the user edited (bytes with CR LF line
    // ends): the path of its request line and the bytes after its first blank line (none
    // without one); its headers are left to libcurl. NoRequestLine for a text without a
    // request line, except a blank text while nothing is chosen, which is NoInterface.
    ShortPlanResult PlanEditedShortSend(const std::string& request) const;
    // The post of the paired pane's Send: the path of the pane's request line (the partner's
    // path when it has none) and the body after its first blank line. Nothing when there is
    // no partner.
    std::optional<ShortPlan> PlanPairSend(const std::string& pairRequest) const;
    // Records the outcome of a plan's post: a send of the chosen interface sets the partner to
    // the plan's, with the channel of its path once the transfer completed; a paired send
    // changes nothing. Returns PairPaneAfter(plan, outcome).
    PairPane FinishShortSend(const ShortPlan& plan, const HttpOutcome& outcome);
    // FinishShortSend without making the pane, for an owner that made it elsewhere.
    void RecordShortSend(const ShortPlan& plan, const HttpOutcome& outcome);
    // The paired pane's request for a body, with the settings as they are now; "" when there
    // is no partner.
    std::string PairRequest(const std::string& body) const;

    // ---- Long connection ----
    // The request of a request file for the interface `name`, with Host `ip` and the settings'
    // credentials; follow-ups get the recorded server address (see ::PrepareLongRequest).
    PrepareResult PrepareLongRequest(const std::string& file, const std::string& ip,
                                     const std::string& name, std::string& request) const;
    // Checks the settings and connects (see LongConnection::Connect); *reason (when given)
    // says why a connect failed. A closed connection's tally starts again.
    ConnectResult ConnectLong(std::string* reason = nullptr);
    // Closes the connection and waits for its receive thread. Harmless when closed.
    void DisconnectLong() { long_->Disconnect(); }
    // True when the next long send must reconnect first.
    bool NeedConnect() const { return long_->NeedConnect(); }
    // True while a socket is connected.
    bool LongConnected() const { return long_->IsOpen(); }
    // "Long connect send" on a thread of its own, with the settings as they are now: reconnects
    // when needed (outcome reported, not examined), then sends. The request goes to the inbox
    // first (so that it stands before its answer), marked failed afterwards when the send
    // failed. `done` gets the outcome on that thread (see LongConnection::StartLongSend).
    // False while one runs.
    bool StartLongSend(const std::string& bytes, std::function<void(LongSendOutcome)> done);
    // True while a long send started by StartLongSend runs.
    bool LongSendRunning() const { return long_->LongSendRunning(); }
    // The long connect's limit (tests make it short).
    void SetConnectLimit(std::chrono::milliseconds limit) { long_->SetConnectLimit(limit); }
    // What the connection received; the owner's observer feeds it (see ReceiveTally).
    ReceiveTally& Tally() { return tally_; }
    // A copy of the server address the device reported last; "" until one was.
    std::string ServerAddressCopy() const { return serverAddress_.Get(); }
    // Closes the traffic log; call once the connection is closed. The next data opens it anew.
    void CloseLog() { log_.Close(); }
    // Full path of the traffic log.
    const std::string& LogPath() const { return log_.Path(); }
    // Processor time of the receive thread in nanoseconds; -1 when none runs.
    long long ReceiveCpuTimeNanoseconds() const { return long_->ReceiveCpuTimeNanoseconds(); }

  private:
    // Passes what the receive thread hands out to the window's (or the CLI's) observer, and
    // each report to the inbox as well. Runs on the receive path's threads.
    class FanOut : public ReceiveObserver {
      public:
        FanOut(ReceiveObserver* observer, TrafficInbox* inbox)
            : observer_(observer), inbox_(inbox) {}
        void OnResponseText(std::string_view text) override;
        void OnMessage(const MessageReport& report) override;
        void OnRead(std::size_t asked, long result) override;

      private:
        ReceiveObserver* observer_;
        TrafficInbox* inbox_;
    };

    std::string folder_;
    ConnectionSettings settings_;
    Catalogue catalogue_;
    ShortRequest choice_;
    // What the last Choose composed from, for RefreshChoice.
    std::optional<std::string> chosenItem_;
    std::optional<API_INTERFACE> chosenRecord_;
    ReceiveTally tally_;
    // What the receive thread borrows; the connection is declared last so that it goes first.
    TrafficInbox* inbox_;
    FanOut fanOut_;
    TrafficLog log_;
    ServerAddress serverAddress_;
    std::unique_ptr<LongConnection> long_;
};
