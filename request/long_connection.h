#pragma once

#include <memory>
#include <string>

#include "net/unique_fd.h"
#include "receive/receive_thread.h"

// How long a connect to the long port may take before it is given up.
constexpr int kLongConnectTimeoutSeconds = 10;

// Outcome of LongConnection::Connect.
enum class ConnectResult {
    Ok,             // connected; the receive thread runs
    NoUser,         // the user name is empty
    NoPassword,     // the password is empty
    NoIp,           // the IP text is "0.0.0.0"
    NoSocket,       // no socket could be made (silent)
    ConnectFailed,  // refused, unreachable, timed out, or the IP text is no IPv4 address
};

// Outcome of LongConnection::Send.
enum class SendResult {
    Ok,      // every byte was handed to the system (an empty text sends nothing)
    Failed,  // not connected, or the send reported an error
};

// The field that gets the keyboard focus after a failed connect.
enum class FocusField { None, User, Password, Ip };

// Message box text for a connect outcome; "" when none is shown (Ok, NoSocket).
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
};

// The long connection: one TCP connection to the long port and its receive thread. Used from
// one thread (the window's); the receive thread hands its results to the context's observer.
class LongConnection {
  public:
    // The context's pointers must outlive this object. Starts closed, needing a connect.
    explicit LongConnection(const ReceiveContext& context);
    // Disconnects.
    ~LongConnection();

    LongConnection(const LongConnection&) = delete;
    LongConnection& operator=(const LongConnection&) = delete;

    // Checks the fields (user, password, then IP), connects to ip:port (gives up after
    // kLongConnectTimeoutSeconds) and starts the receive thread. An open connection is closed
    // first once the fields pass. On failure the connection stays closed.
    ConnectResult Connect(const std::string& ip, const std::string& user,
                          const std::string& password, const std::string& longPortText);
    // Clears the receiving flag, shuts the socket down, waits for the receive thread to end
    // and only then closes the socket. Harmless when closed.
    void Disconnect();
    // True when the next long send must reconnect first: at start, after Disconnect or a failed
    // connect, after the device closed the connection or a read failed, and after a failed send.
    bool NeedConnect() const;
    // True while a socket is connected (the device may have closed its side meanwhile).
    bool IsOpen() const { return static_cast<bool>(socket_); }
    // Sends every byte (continuing short sends, no SIGPIPE). Failed when closed or on error.
    SendResult Send(const std::string& bytes);
    // The long send: if NeedConnect, Disconnect then Connect (its outcome reported, not
    // examined); then Send.
    LongSendOutcome LongSend(const std::string& ip, const std::string& user,
                             const std::string& password, const std::string& longPortText,
                             const std::string& bytes);
    // Processor time of the receive thread in nanoseconds; -1 when none runs.
    long long ReceiveCpuTimeNanoseconds() const { return receiver_.CpuTimeNanoseconds(); }

  private:
    ReceiveThread receiver_;
    UniqueFd socket_;
    bool needConnect_ = true;
};
