#pragma once

#include <chrono>
#include <string>

#include "net/cancel_signal.h"
#include "net/unique_fd.h"

// How a TCP connect ended.
enum class TcpConnectStatus {
    Connected,
    Unresolved,  // the host name does not resolve ("Could not resolve host")
    Failed,      // every address refused or was unreachable
    TimedOut,    // the limit passed before any address answered
    Cancelled,   // the cancel signal came first
};

// The outcome of ConnectTcp.
struct TcpConnectOutcome {
    TcpConnectStatus status = TcpConnectStatus::Failed;
    UniqueFd socket;    // Connected: a blocking stream socket; otherwise none
    std::string error;  // why it failed, for the user ("Connection refused",
                        // "Could not resolve host: nosuch (Name or service not known)"); ""
                        // when connected
};

// Connects to host:port: an IPv4 or IPv6 literal (with an optional "%zone") or a host name,
// which is resolved (getaddrinfo); the addresses are tried in the resolver's order, all within
// the one `limit`. Returns at once when `cancel` (may be null) is cancelled, also during the
// name lookup: a lookup still running then finishes on a thread of its own, which holds no
// descriptor and ends with the lookup. Any thread; blocks the caller.
TcpConnectOutcome ConnectTcp(const std::string& host, unsigned short port,
                             std::chrono::milliseconds limit, const CancelSignal* cancel);
