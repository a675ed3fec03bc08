#include "request/long_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace {

// Connects `fd` to `address`, waiting at most the connect time-out. The socket is left
// blocking.
bool ConnectWithTimeout(int fd, const sockaddr_in& address) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return false;
    }
    bool connected = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        connected = true;
    } else if (errno == EINPROGRESS) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::seconds(kLongConnectTimeoutSeconds);
        pollfd waiting{fd, POLLOUT, 0};
        int ready;
        do {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            ready = poll(&waiting, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        } while (ready < 0 && errno == EINTR);
        if (ready == 1) {
            int error = 0;
            socklen_t size = sizeof(error);
            connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
    }
    return fcntl(fd, F_SETFL, flags) == 0 && connected;
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

LongConnection::LongConnection(const ReceiveContext& context) : receiver_(context) {}

LongConnection::~LongConnection() {
    Disconnect();
}

ConnectResult LongConnection::Connect(const std::string& ip, const std::string& user,
                                      const std::string& password,
                                      const std::string& longPortText) {
    if (user.empty()) {
        return ConnectResult::NoUser;
    }
    if (password.empty()) {
        return ConnectResult::NoPassword;
    }
    if (strcasecmp(ip.c_str(), "0.0.0.0") == 0) {
        return ConnectResult::NoIp;
    }
    Disconnect();

    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        return ConnectResult::NoSocket;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(LongPortNumber(longPortText));
    if (inet_aton(ip.c_str(), &address.sin_addr) == 0 || !ConnectWithTimeout(fd.Get(), address) ||
        !receiver_.Start(fd.Get())) {
        return ConnectResult::ConnectFailed;
    }
    socket_ = std::move(fd);
    needConnect_ = false;
    return ConnectResult::Ok;
}

void LongConnection::Disconnect() {
    needConnect_ = true;
    // Shut down and join first, so that no read can reach the descriptor once it is reused.
    receiver_.Stop();
    socket_.Reset();
}

bool LongConnection::NeedConnect() const {
    return needConnect_ || receiver_.PeerClosed();
}

SendResult LongConnection::Send(const std::string& bytes) {
    if (!socket_) {
        return SendResult::Failed;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            send(socket_.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            needConnect_ = true;
            return SendResult::Failed;
        }
        sent += static_cast<std::size_t>(n);
    }
    return SendResult::Ok;
}

LongSendOutcome LongConnection::LongSend(const std::string& ip, const std::string& user,
                                         const std::string& password,
                                         const std::string& longPortText,
                                         const std::string& bytes) {
    LongSendOutcome outcome;
    if (NeedConnect()) {
        outcome.connectTried = true;
        Disconnect();
        outcome.connect = Connect(ip, user, password, longPortText);
    }
    outcome.send = Send(bytes);
    return outcome;
}
