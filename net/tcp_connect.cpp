#include "net/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for a name lookup looks at whether the lookup is done.
constexpr std::chrono::milliseconds kLookupTick{10};

struct AddressList {
    addrinfo* head = nullptr;
    AddressList() = default;
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    ~AddressList() {
        if (head != nullptr) {
            freeaddrinfo(head);
        }
    }
};

// A name lookup shared with the thread that runs it; the last of the two to let go frees it.
struct Lookup {
    std::mutex lock;
    bool done = false;      // guarded by lock
    int status = 0;         // getaddrinfo's result; guarded by lock
    AddressList addresses;  // guarded by lock until done
};

int LookUp(const std::string& host, const std::string& service, int flags, AddressList& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    return getaddrinfo(host.c_str(), service.c_str(), &hints, &out.head);
}

// Milliseconds left until the deadline, at least 0.
int Left(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits up to `ms` for `cancel`; true when it came.
bool CancelledWithin(const CancelSignal* cancel, int ms) {
    if (cancel != nullptr && cancel->Cancelled()) {
        return true;
    }
    pollfd wait{cancel != nullptr ? cancel->Fd() : -1, POLLIN, 0};
    if (ms > 0) {
        poll(&wait, 1, ms);
    }
    return cancel != nullptr && cancel->Cancelled();
}

// Resolves host:port into `out`. Literals are read at once; names are looked up on a thread of
// their own, so that a cancel or the deadline ends the wait even while the resolver is stuck.
TcpConnectStatus Resolve(const std::string& host, unsigned short port, Clock::time_point deadline,
                         const CancelSignal* cancel, AddressList& out, std::string& error) {
    const std::string service = std::to_string(port);
    if (LookUp(host, service, AI_NUMERICHOST | AI_NUMERICSERV, out) == 0) {
        return TcpConnectStatus::Connected;
    }
    // A cancel that came first wins, however fast the resolver would have answered.
    if (cancel != nullptr && cancel->Cancelled()) {
        error = "Cancelled";
        return TcpConnectStatus::Cancelled;
    }
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host, service] {
            AddressList found;
            const int status = LookUp(host, service, AI_NUMERICSERV, found);
            const std::lock_guard<std::mutex> hold(lookup->lock);
            lookup->status = status;
            std::swap(lookup->addresses.head, found.head);
            lookup->done = true;
        }).detach();
    } catch (...) {
        const std::lock_guard<std::mutex> hold(lookup->lock);
        lookup->status = LookUp(host, service, AI_NUMERICSERV, lookup->addresses);
        lookup->done = true;
    }
    for (;;) {
        {
            const std::lock_guard<std::mutex> hold(lookup->lock);
            if (lookup->done) {
                if (lookup->status != 0) {
                    error = "Could not resolve host: " + host + " (" +
                            gai_strerror(lookup->status) + ")";
                    return TcpConnectStatus::Unresolved;
                }
                std::swap(out.head, lookup->addresses.head);
                return TcpConnectStatus::Connected;
            }
        }
        const int left = Left(deadline);
        if (left == 0) {
            error = "Could not resolve host: " + host + " (no answer in time)";
            return TcpConnectStatus::TimedOut;
        }
        if (CancelledWithin(cancel, std::min(left, static_cast<int>(kLookupTick.count())))) {
            error = "Cancelled";
            return TcpConnectStatus::Cancelled;
        }
    }
}

}  // namespace

TcpConnectOutcome ConnectTcp(const std::string& host, unsigned short port,
                             std::chrono::milliseconds limit, const CancelSignal* cancel) {
    TcpConnectOutcome outcome;
    const Clock::time_point deadline = Clock::now() + limit;
    AddressList addresses;
    outcome.status = Resolve(host, port, deadline, cancel, addresses, outcome.error);
    if (outcome.status != TcpConnectStatus::Connected) {
        return outcome;
    }
    outcome.status = TcpConnectStatus::Failed;
    outcome.error = "No address to connect to";
    for (const addrinfo* a = addresses.head; a != nullptr; a = a->ai_next) {
        UniqueFd fd(socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd) {
            outcome.error = std::strerror(errno);
            continue;
        }
        int error = 0;
        if (connect(fd.Get(), a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
        }
        if (error == EINPROGRESS) {
            pollfd waits[2] = {{fd.Get(), POLLOUT, 0},
                               {cancel != nullptr ? cancel->Fd() : -1, POLLIN, 0}};
            int ready;
            do {
                ready = poll(waits, 2, Left(deadline));
            } while (ready < 0 && errno == EINTR);
            if (cancel != nullptr && cancel->Cancelled()) {
                outcome.status = TcpConnectStatus::Cancelled;
                outcome.error = "Cancelled";
                return outcome;
            }
            if (ready <= 0 || (waits[0].revents & (POLLOUT | POLLERR | POLLHUP)) == 0) {
                outcome.status = TcpConnectStatus::TimedOut;
                outcome.error =
                    "Connection timed out after " + std::to_string(limit.count()) + " ms";
                return outcome;
            }
            socklen_t size = sizeof error;
            if (getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                error = errno;
            }
        }
        if (error != 0) {
            outcome.error = std::strerror(error);
            continue;
        }
        const int flags = fcntl(fd.Get(), F_GETFL, 0);
        if (flags < 0 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
            outcome.error = std::strerror(errno);
            continue;
        }
        outcome.status = TcpConnectStatus::Connected;
        outcome.socket = std::move(fd);
        outcome.error.clear();
        return outcome;
    }
    return outcome;
}
