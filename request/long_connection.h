#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/cancel_signal.h"
#include "net/transport.h"
#include "receive/receive_thread.h"
#include "request/long_digest.h"

// How long a connect to the long port (name lookup included) may take before it is given up.
constexpr std::chrono::milliseconds kLongConnectLimit{10000};

// Outcome of LongConnection::Connect.
enum class ConnectResult {
    Ok,             // connected; the receive thread runs
    NoUser,         // the user name is empty
    NoPassword,     // the password is empty
    NoIp,           // the IP text is "0.0.0.0"
    NoSocket,       // no socket could be made (silent)
    ConnectFailed,  // refused, unreachable, timed out, or the host name does not resolve
    Cancelled,      // given up by Disconnect (closing, an edit of a field): silent
};

// Outcome of LongConnection::Send.
enum class SendResult {
    Ok,      // every byte was handed to the system (an empty text sends nothing)
    Failed,  // not connected, or the send reported an error
};

// The field that gets the keyboard focus after a failed connect.
enum class FocusField { None, User, Password, Ip };

// Message box text for a connect outcome; "" when none is shown (Ok, NoSocket, Cancelled).
const char* ConnectResultMessage(ConnectResult result);
// Field to focus for a connect outcome; None unless a field was empty or "0.0.0.0".
FocusField ConnectResultFocus(ConnectResult result);
// Message box text for a send outcome: "Send fail", or "" for Ok.
const char* SendResultMessage(SendResult result);

// Port number of a long-port text as atoi reads it, low 16 bits ("" and non-numeric give 0).
unsigned short LongPortNumber(const std::string& text);

// What a "Long connect send" did.
struct LongSendOutcome {
    bool connectTried = false;  // NeedConnect was true, so it disconnected and connected
    ConnectResult connect = ConnectResult::Ok;  // meaningful when connectTried
    SendResult send = SendResult::Ok;
    std::string reason;             // why the connect or the send failed ("Connection refused",
                                    // "Could not resolve host: ..."); "" when both went well
    TlsStatus tls = TlsStatus::Ok;  // with TLS: how the handshake ended (connectTried)
    std::string fingerprint;        // with TLS: the device's key as a pin, when one was seen
};

// What a long send is given: the fields as the user typed them and the request's bytes.
struct LongSendRequest {
    std::string ip;
    std::string user;
    std::string password;
    std::string longPortText;
    std::string bytes;
    bool tls = false;  // TLS over the connection, its certificate checked as `trust` says
    TlsTrust trust = {};
};

// The long connection: one TCP connection to the long port and its receive thread. Owned and
// used by one thread (the window's or the CLI's); the receive thread hands its results to the
// context's observer. StartLongSend runs a long send on a thread of its own meanwhile: while it
// runs, the owner calls only LongSendRunning, NeedConnect, IsOpen and Disconnect.
class LongConnection {
  public:
    // The context's pointers must outlive this object. Starts closed, needing a connect.
    explicit LongConnection(const ReceiveContext& context);
    // Disconnects.
    ~LongConnection();

    LongConnection(const LongConnection&) = delete;
    LongConnection& operator=(const LongConnection&) = delete;

    // Checks the fields (user, password, then IP), connects to ip:port (a host name, an IPv4
    // or IPv6 literal; gives up after the connect limit) and starts the receive thread. An open
    // connection is closed first once the fields pass. On failure the connection stays closed
    // and *reason (when given) says why.
    ConnectResult Connect(const std::string& ip, const std::string& user,
                          const std::string& password, const std::string& longPortText,
                          std::string* reason = nullptr);
    // The same for the request's fields, with TLS when it asks for it (the bytes are not
    // sent); `outcome` (when given) gets the reason, the handshake's status and the key seen.
    ConnectResult Connect(const LongSendRequest& target, LongSendOutcome* outcome);
    // Gives up a running long send (its connect or its send) and waits for its thread; then
    // clears the receiving flag, shuts the socket down, waits for the receive thread to end
    // and only then closes the socket. Harmless when closed.
    void Disconnect();
    // True when the next long send must reconnect first: at start, after Disconnect or a failed
    // connect, after the device closed the connection or a read failed, and after a failed send.
    bool NeedConnect() const;
    // True while a socket is connected (the device may have closed its side meanwhile).
    bool IsOpen() const { return open_.load(); }
    // Sends every byte (continuing short sends, no SIGPIPE). Failed when closed or on error;
    // *reason (when given) then says why.
    SendResult Send(const std::string& bytes, std::string* reason = nullptr);
    // The long send: if NeedConnect, Disconnect then Connect (its outcome reported, not
    // examined); then Send.
    LongSendOutcome LongSend(const LongSendRequest& request);
    // Runs LongSend on a thread of its own and hands the outcome to `done` on that thread (it
    // must not wait for the owner's thread; LongSendRunning is false by then). False, nothing
    // started, while one runs or when no thread can be started.
    bool StartLongSend(LongSendRequest request, std::function<void(LongSendOutcome)> done);
    // True from StartLongSend until just before its `done` is called.
    bool LongSendRunning() const { return running_.load(); }
    // The connect limit (default kLongConnectLimit); tests make it short.
    void SetConnectLimit(std::chrono::milliseconds limit) { connectLimit_ = limit; }
    // Processor time of the receive thread in nanoseconds; -1 when none runs.
    long long ReceiveCpuTimeNanoseconds() const { return receiver_.CpuTimeNanoseconds(); }

  private:
    // Ends a finished long send's thread (it may still be returning from `done`).
    void JoinLongSend();

    // Answers Digest challenges; reset for each connection before its receive thread starts.
    LongDigest digest_;
    ReceiveThread receiver_;
    // The connection's byte stream, made by whichever thread connects (the owner's, or a long
    // send's while it runs); the lock guards handing it over against Disconnect's close.
    mutable std::mutex lock_;
    std::unique_ptr<Transport> transport_;
    std::atomic<bool> open_{false};
    std::atomic<bool> needConnect_{true};
    std::chrono::milliseconds connectLimit_ = kLongConnectLimit;
    CancelSignal cancel_;
    std::atomic<bool> running_{false};
    std::thread longSend_;
};
