#include "session/device_session.h"

#include <utility>

#include "session/request_text.h"

namespace {

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

DeviceSession::DeviceSession(std::string folder, ReceiveObserver* observer)
    : folder_(std::move(folder)), log_(folder_) {
    ReceiveContext context;
    context.programFolder = folder_;
    context.log = &log_;
    context.serverAddress = &serverAddress_;
    context.observer = observer;
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
    ShortPlan plan{settings_, choice_.strInterface, choice_.strBody, false};
    plan.settings.trust = TrustFor(settings_, settings_.shortPort);
    return plan;
}

std::optional<ShortPlan> DeviceSession::PlanPairSend(const std::string& pairRequest) const {
    if (choice_.strPairInterface.empty()) {
        return std::nullopt;
    }
    ShortPlan plan{settings_, choice_.strPairInterface, BodyAfterBlankLine(pairRequest), true};
    plan.settings.trust = TrustFor(settings_, settings_.shortPort);
    return plan;
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

ConnectResult DeviceSession::ConnectLong(std::string* reason) {
    LongSendOutcome outcome;
    const ConnectResult result = long_->Connect(LongTarget(settings_, std::string()), &outcome);
    if (reason != nullptr) {
        *reason = outcome.reason;
    }
    return result;
}

LongSendOutcome DeviceSession::LongSend(const std::string& bytes) {
    return long_->LongSend(LongTarget(settings_, bytes));
}

bool DeviceSession::StartLongSend(const std::string& bytes,
                                  std::function<void(LongSendOutcome)> done) {
    return long_->StartLongSend(LongTarget(settings_, bytes), std::move(done));
}
