#include "request/long_connection.h"

#include <strings.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "net/tcp_connect.h"

namespace {

std::string Reason(const std::string& text, std::string* reason) {
    if (reason != nullptr) {
        *reason = text;
    }
    return text;
}

}  // namespace

const char* ConnectResultMessage(ConnectResult result) {
    switch (result) {
        case ConnectResult::NoUser:
            return "Please input username";
        case ConnectResult::NoPassword:
            return "Please input password";
        case ConnectResult::NoIp:
            return "Please input device's IP";
        case ConnectResult::ConnectFailed:
            return "Connect fail, Please Check the IP/Username/Password/LongPort !";
        case ConnectResult::Ok:
        case ConnectResult::NoSocket:
        case ConnectResult::Cancelled:
            break;
    }
    return "";
}

FocusField ConnectResultFocus(ConnectResult result) {
    switch (result) {
        case ConnectResult::NoUser:
            return FocusField::User;
        case ConnectResult::NoPassword:
            return FocusField::Password;
        case ConnectResult::NoIp:
            return FocusField::Ip;
        default:
            return FocusField::None;
    }
}

const char* SendResultMessage(SendResult result) {
    return result == SendResult::Failed ? "Send fail" : "";
}

unsigned short LongPortNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned value = 0;  // wraps like the 32-bit int of atoi; only the low 16 bits count
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<unsigned>(text[i] - '0');
    }
    return static_cast<unsigned short>(negative ? 0u - value : value);
}

namespace {

ReceiveContext WithHook(ReceiveContext context, AnswerHook* hook) {
    context.answerHook = hook;
    return context;
}

}  // namespace

LongConnection::LongConnection(const ReceiveContext& context)
    : receiver_(WithHook(context, &digest_)) {}

LongConnection::~LongConnection() {
    Disconnect();
}

ConnectResult LongConnection::Connect(const std::string& ip, const std::string& user,
                                      const std::string& password, const std::string& longPortText,
                                      std::string* reason) {
    LongSendRequest target;
    target.ip = ip;
    target.user = user;
    target.password = password;
    target.longPortText = longPortText;
    LongSendOutcome outcome;
    const ConnectResult result = Connect(target, &outcome);
    Reason(outcome.reason, reason);
    return result;
}

ConnectResult LongConnection::Connect(const LongSendRequest& target, LongSendOutcome* outcome) {
    LongSendOutcome ignored;
    LongSendOutcome& out = outcome != nullptr ? *outcome : ignored;
    std::string* reason = &out.reason;
    const std::string& ip = target.ip;
    const std::string& user = target.user;
    const std::string& password = target.password;
    if (user.empty()) {
        return ConnectResult::NoUser;
    }
    if (password.empty()) {
        return ConnectResult::NoPassword;
    }
    if (strcasecmp(ip.c_str(), "0.0.0.0") == 0) {
        return ConnectResult::NoIp;
    }
    // What Disconnect does, but for the thread working on the connection now: stop reading,
    // then close.
    receiver_.Stop();
    {
        const std::lock_guard<std::mutex> hold(lock_);
        transport_.reset();
        open_.store(false);
    }
    needConnect_.store(true);

    const auto deadline = std::chrono::steady_clock::now() + connectLimit_;
    TcpConnectOutcome connected =
        ConnectTcp(ip, LongPortNumber(target.longPortText), connectLimit_, &cancel_);
    if (connected.status == TcpConnectStatus::Cancelled) {
        Reason(connected.error, reason);
        return ConnectResult::Cancelled;
    }
    if (connected.status != TcpConnectStatus::Connected) {
        Reason(connected.error, reason);
        return ConnectResult::ConnectFailed;
    }
    std::unique_ptr<TlsSession> tls;
    if (target.tls) {
        TlsOutcome handshake =
            TlsHandshake(connected.socket.Get(), ip, target.trust, deadline, &cancel_);
        out.tls = handshake.status;
        out.fingerprint = handshake.fingerprint;
        if (handshake.status == TlsStatus::Cancelled) {
            Reason(handshake.error, reason);
            return ConnectResult::Cancelled;
        }
        if (handshake.status != TlsStatus::Ok) {
            Reason(handshake.error, reason);
            return ConnectResult::ConnectFailed;
        }
        tls = std::move(handshake.session);
    }
    auto transport = std::make_unique<Transport>(std::move(connected.socket), std::move(tls));
    digest_.Reset(user, password);
    transport->SetFilter(&digest_);
    const std::lock_guard<std::mutex> hold(lock_);
    if (cancel_.Cancelled()) {
        Reason("Cancelled", reason);
        return ConnectResult::Cancelled;
    }
    if (!receiver_.Start(*transport)) {
        Reason("cannot start the receive thread", reason);
        return ConnectResult::ConnectFailed;
    }
    transport_ = std::move(transport);
    open_.store(true);
    needConnect_.store(false);
    return ConnectResult::Ok;
}

void LongConnection::Disconnect() {
    {
        // A long send may be connecting or sending: give up its connect, and wake a send that
        // waits for a device that stopped reading.
        const std::lock_guard<std::mutex> hold(lock_);
        cancel_.Cancel();
        if (transport_ && running_.load()) {
            transport_->Close();
        }
    }
    JoinLongSend();
    cancel_.Reset();
    needConnect_.store(true);
    // Shut down and join first, so that no read can reach the descriptor once it is reused.
    receiver_.Stop();
    const std::lock_guard<std::mutex> hold(lock_);
    transport_.reset();
    open_.store(false);
}

bool LongConnection::NeedConnect() const {
    return needConnect_.load() || receiver_.PeerClosed();
}

SendResult LongConnection::Send(const std::string& bytes, std::string* reason) {
    Transport* transport;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        transport = transport_.get();
    }
    if (transport == nullptr) {
        Reason("not connected", reason);
        return SendResult::Failed;
    }
    // The receive thread writes it between its reads; this waits until it is out.
    if (!transport->Write(bytes, reason)) {
        needConnect_.store(true);
        return SendResult::Failed;
    }
    return SendResult::Ok;
}

LongSendOutcome LongConnection::LongSend(const LongSendRequest& request) {
    LongSendOutcome outcome;
    if (NeedConnect()) {
        outcome.connectTried = true;
        outcome.connect = Connect(request, &outcome);
    }
    std::string sendReason;
    outcome.send = Send(request.bytes, &sendReason);
    if (outcome.reason.empty()) {
        outcome.reason = sendReason;
    }
    return outcome;
}

bool LongConnection::StartLongSend(LongSendRequest request,
                                   std::function<void(LongSendOutcome)> done) {
    if (running_.load()) {
        return false;
    }
    JoinLongSend();
    running_.store(true);
    try {
        longSend_ = std::thread([this, request = std::move(request), done = std::move(done)] {
            LongSendOutcome outcome = LongSend(request);
            running_.store(false);
            if (done) {
                done(std::move(outcome));
            }
        });
    } catch (...) {
        running_.store(false);
        return false;
    }
    return true;
}

void LongConnection::JoinLongSend() {
    if (longSend_.joinable()) {
        longSend_.join();
    }
}
