#include "session/device_session.h"

#include <chrono>
#include <utility>

#include "session/request_text.h"

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

HttpOutcome PostShort(const ShortPlan& plan) {
    const ConnectionSettings& s = plan.settings;
    return HttpPost(s.ip, s.shortPort, s.user, s.password, plan.path, plan.body);
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
    choice_ = ComposeShortRequest(catalogue_.Find(itemText), itemText, s.ip, s.shortPort, s.user,
                                  s.password);
    return choice_;
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
            return SendTarget::Partner;
        }
    }
    return SendTarget::Unknown;
}

std::optional<ShortPlan> DeviceSession::PlanShortSend() const {
    if (choice_.strInterface.empty()) {
        return std::nullopt;
    }
    return ShortPlan{settings_, choice_.strInterface, choice_.strBody, false};
}

std::optional<ShortPlan> DeviceSession::PlanPairSend(const std::string& pairRequest) const {
    if (choice_.strPairInterface.empty()) {
        return std::nullopt;
    }
    return ShortPlan{settings_, choice_.strPairInterface, BodyAfterBlankLine(pairRequest), true};
}

PairPane DeviceSession::FinishShortSend(const ShortPlan& plan, const HttpOutcome& outcome) {
    PairPane pane;
    if (plan.pair) {
        return pane;
    }
    if (const API_INTERFACE* record = catalogue_.FindByPrefix(plan.path)) {
        choice_.strPairInterface = record->strPairName;
    }
    if (outcome.completed && !choice_.strPairInterface.empty()) {
        choice_.strPairInterface = PartnerPath(plan.path, choice_.strPairInterface);
        // The partner's request carries the answer just received, so that the setting can be
        // edited in place and sent back.
        pane.open = true;
        pane.request = FormatShortRequestHeader(choice_.strPairInterface, choice_.strAuth,
                                                choice_.strHost, WithCrLfLineEnds(outcome.body));
    }
    return pane;
}

PrepareResult DeviceSession::PrepareLongRequest(const std::string& file, const std::string& ip,
                                                const std::string& name,
                                                std::string& request) const {
    return ::PrepareLongRequest(file, ip, name, settings_.user, settings_.password,
                                serverAddress_.Get(), request);
}

ConnectResult DeviceSession::ConnectLong() {
    const ConnectionSettings& s = settings_;
    return long_->Connect(s.ip, s.user, s.password, s.longPort);
}

SendResult DeviceSession::SendLong(const std::string& bytes) {
    const std::uint32_t ticket = inbox_ != nullptr ? inbox_->AddSent(bytes, NowMs()) : 0;
    const SendResult result = long_->Send(bytes);
    if (result != SendResult::Ok && inbox_ != nullptr) {
        inbox_->SendFailed(ticket);
    }
    return result;
}

LongSendOutcome DeviceSession::LongSend(const std::string& bytes) {
    const ConnectionSettings& s = settings_;
    // Recorded first, so that the row stands before its answer.
    const std::uint32_t ticket = inbox_ != nullptr ? inbox_->AddSent(bytes, NowMs()) : 0;
    const LongSendOutcome outcome = long_->LongSend(s.ip, s.user, s.password, s.longPort, bytes);
    if (outcome.send != SendResult::Ok && inbox_ != nullptr) {
        inbox_->SendFailed(ticket);
    }
    return outcome;
}
