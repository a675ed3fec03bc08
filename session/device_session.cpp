#include "session/device_session.h"

#include <chrono>
#include <utility>

#include "session/curl_command.h"
#include "session/request_text.h"

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

LongSendRequest LongTarget(const ConnectionSettings& s, const std::string& bytes) {
    return LongSendRequest{
        s.ip, s.user, s.password, s.longPort, bytes, s.tls, TrustFor(s, s.longPort)};
}

}  // namespace

HttpOutcome PostShort(const ShortPlan& plan, const HttpCancel* cancel) {
    const ConnectionSettings& s = plan.settings;
    return HttpPost(HttpTarget{s.ip, s.shortPort, s.user, s.password, s.tls, s.trust}, plan.path,
                    plan.body, cancel);
}

std::string ShortCurlCommand(const ShortPlan& plan) {
    const ConnectionSettings& s = plan.settings;
    return CurlCommandLine(ShortPostUrl(s.ip, s.shortPort, plan.path, s.tls), s.user, plan.body,
                           s.tls ? &s.trust : nullptr);
}

bool IsSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

std::string PairRequestText(const ConnectionSettings& settings, const std::string& partnerPath,
                            const std::string& body) {
    // The with-body template even for no body: the pane shows "Content-Length: 0" then.
    std::string text = FormatShortRequestHeader(
        partnerPath, EncodeCredentials(settings.user, settings.password),
        HostOfUrl("http://" + settings.ip + ":" + settings.shortPort), body);
    if (body.empty())
        text.insert(text.size() - 2, "Content-Length: 0\r\n");
    return text;
}

PairPane PairPaneAfter(const ShortPlan& plan, const HttpOutcome& outcome) {
    PairPane pane;
    if (plan.pair || !outcome.completed || plan.partner.empty())
        return pane;
    // A 2xx answer is the setting to edit and send back; any other answer (a 401 page) is
    // no body for the partner.
    pane.open = true;
    pane.request =
        PairRequestText(plan.settings, PartnerPath(plan.path, plan.partner),
                        IsSuccessStatus(outcome.status) ? WithCrLfLineEnds(outcome.body) : "");
    return pane;
}

std::string ShortOutcomeLine(const HttpOutcome& outcome) {
    const std::string time = std::to_string(outcome.elapsedMs) + " ms";
    if (!outcome.completed)
        return "Failed after " + time + ": " + outcome.error;
    const std::string status = outcome.status != 0 ? outcome.StatusText() : "no status";
    const std::string auth = outcome.auth.empty() ? "no authentication" : outcome.auth;
    return status + ", " + time + ", " + ByteCountText(static_cast<long long>(outcome.Bytes())) +
           ", " + auth;
}

void DeviceSession::FanOut::OnResponseText(std::string_view text) {
    if (observer_ != nullptr) {
        observer_->OnResponseText(text);
    }
}

void DeviceSession::FanOut::OnMessage(const MessageReport& report) {
    if (inbox_ != nullptr) {
        inbox_->AddReport(report);
    }
    if (observer_ != nullptr) {
        observer_->OnMessage(report);
    }
}

void DeviceSession::FanOut::OnRead(std::size_t asked, long result) {
    if (observer_ != nullptr) {
        observer_->OnRead(asked, result);
    }
}

DeviceSession::DeviceSession(std::string folder, ReceiveObserver* observer, TrafficInbox* inbox)
    : folder_(std::move(folder)), inbox_(inbox), fanOut_(observer, inbox), log_(folder_) {
    ReceiveContext context;
    context.programFolder = folder_;
    context.log = &log_;
    context.serverAddress = &serverAddress_;
    context.observer = observer != nullptr || inbox != nullptr ? &fanOut_ : nullptr;
    long_ = std::make_unique<LongConnection>(context);
}

DeviceSession::~DeviceSession() {
    long_->Disconnect();
    log_.Close();
}

const ShortRequest& DeviceSession::Choose(const std::string& itemText) {
    const ConnectionSettings& s = settings_;
    const API_INTERFACE* record = catalogue_.Find(itemText);
    choice_ = ComposeShortRequest(record, itemText, s.ip, s.shortPort, s.user, s.password);
    chosenItem_ = itemText;
    chosenRecord_.reset();
    if (record != nullptr)
        chosenRecord_ = *record;
    return choice_;
}

bool DeviceSession::RefreshChoice() {
    if (!chosenItem_)
        return false;
    const ConnectionSettings& s = settings_;
    // The partner's path a send gave (with its channel) does not depend on the settings.
    std::string partner = std::move(choice_.strPairInterface);
    choice_ = ComposeShortRequest(chosenRecord_ ? &*chosenRecord_ : nullptr, *chosenItem_, s.ip,
                                  s.shortPort, s.user, s.password);
    choice_.strPairInterface = std::move(partner);
    return true;
}

SendTarget DeviceSession::ChooseByName(const std::string& name) {
    BuildCatalogue(kConnShort);
    if (catalogue_.Find(name) != nullptr) {
        Choose(name);
        return SendTarget::Interface;
    }
    if (name.empty()) {
        return SendTarget::Unknown;
    }
    for (const API_INTERFACE& reader : catalogue_.Interfaces()) {
        if (reader.strPairName == name) {
            // As the paired pane posts it: with the channel of the interface it pairs with.
            const std::string readerPath = Choose(reader.strName).strInterface;
            choice_ = ShortRequest{};
            choice_.strInterface = PartnerPath(readerPath, name);
            chosenItem_.reset();
            return SendTarget::Partner;
        }
    }
    return SendTarget::Unknown;
}

std::optional<ShortPlan> DeviceSession::PlanShortSend() const {
    if (choice_.strInterface.empty()) {
        return std::nullopt;
    }
    ShortPlan plan{settings_, choice_.strInterface, choice_.strBody, false, {}};
    plan.settings.trust = TrustFor(settings_, settings_.shortPort);
    // The partner of the record the path starts with; no such record keeps the one before.
    const API_INTERFACE* record = catalogue_.FindByPrefix(plan.path);
    plan.partner = record ? record->strPairName : choice_.strPairInterface;
    return plan;
}

ShortPlanResult DeviceSession::PlanEditedShortSend(const std::string& request) const {
    ShortPlanResult result;
    std::string path;
    if (!RequestLinePath(request, path)) {
        const bool blank = request.find_first_not_of(" \t\r\n") == std::string::npos;
        result.status = blank && choice_.strInterface.empty() ? ShortPlanStatus::NoInterface
                                                              : ShortPlanStatus::NoRequestLine;
        return result;
    }
    result.status = ShortPlanStatus::Ok;
    result.plan = ShortPlan{settings_, path, BodyAfterBlankLine(request), false, {}};
    result.plan.settings.trust = TrustFor(settings_, settings_.shortPort);
    // An edited path pairs only with a record of its own.
    if (const API_INTERFACE* record = catalogue_.FindByPrefix(path))
        result.plan.partner = record->strPairName;
    return result;
}

std::optional<ShortPlan> DeviceSession::PlanPairSend(const std::string& pairRequest) const {
    if (choice_.strPairInterface.empty()) {
        return std::nullopt;
    }
    std::string path = choice_.strPairInterface;
    RequestLinePath(pairRequest, path);
    ShortPlan plan{settings_, path, BodyAfterBlankLine(pairRequest), true, {}};
    plan.settings.trust = TrustFor(settings_, settings_.shortPort);
    return plan;
}

void DeviceSession::RecordShortSend(const ShortPlan& plan, const HttpOutcome& outcome) {
    if (plan.pair)
        return;
    choice_.strPairInterface = plan.partner;
    if (outcome.completed && !plan.partner.empty())
        choice_.strPairInterface = PartnerPath(plan.path, plan.partner);
}

PairPane DeviceSession::FinishShortSend(const ShortPlan& plan, const HttpOutcome& outcome) {
    RecordShortSend(plan, outcome);
    return PairPaneAfter(plan, outcome);
}

std::string DeviceSession::PairRequest(const std::string& body) const {
    if (choice_.strPairInterface.empty())
        return std::string();
    return PairRequestText(settings_, choice_.strPairInterface, body);
}

PrepareResult DeviceSession::PrepareLongRequest(const std::string& file, const std::string& ip,
                                                const std::string& name,
                                                std::string& request) const {
    return ::PrepareLongRequest(file, ip, name, settings_.user, settings_.password,
                                serverAddress_.Get(), request);
}

ConnectResult DeviceSession::ConnectLong(std::string* reason) {
    if (!long_->IsOpen() || long_->NeedConnect())
        tally_.Reset();
    LongSendOutcome outcome;
    const ConnectResult result = long_->Connect(LongTarget(settings_, std::string()), &outcome);
    if (reason != nullptr) {
        *reason = outcome.reason;
    }
    return result;
}

bool DeviceSession::StartLongSend(const std::string& bytes,
                                  std::function<void(LongSendOutcome)> done) {
    // Before the send's thread starts: a connection it opens counts from nothing.
    if (long_->LongSendRunning())
        return false;
    if (!long_->IsOpen() || long_->NeedConnect())
        tally_.Reset();
    const std::uint32_t ticket = inbox_ != nullptr ? inbox_->AddSent(bytes, NowMs()) : 0;
    TrafficInbox* inbox = inbox_;
    return long_->StartLongSend(LongTarget(settings_, bytes),
                                [inbox, ticket, done = std::move(done)](LongSendOutcome outcome) {
                                    if (outcome.send != SendResult::Ok && inbox != nullptr) {
                                        inbox->SendFailed(ticket);
                                    }
                                    done(std::move(outcome));
                                });
}
