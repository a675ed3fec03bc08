// The TLS handshake checks the device's certificate as the trust says, and names its key.
#include "net/tls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/tcp_connect.h"
#include "support/tls_peer.h"

namespace {

using namespace std::chrono_literals;

// A handshake with a device that serves `identity` (no TLS at all with `plain`).
TlsOutcome HandshakeWith(const TlsIdentity& identity, const TlsTrust& trust, bool plain = false) {
    TlsPeer peer(identity, plain);
    std::thread device([&] {
        if (peer.Accept() && plain) {
            peer.Write("HTTP/1.1 400 Bad Request\r\n\r\n");
        }
    });
    TcpConnectOutcome connected = ConnectTcp("127.0.0.1", peer.Port(), 5s, nullptr);
    TlsOutcome outcome = TlsHandshake(connected.socket.Get(), "127.0.0.1", trust,
                                      std::chrono::steady_clock::now() + 5s, nullptr);
    connected.socket.Reset();
    device.join();
    return outcome;
}

TEST(Tls, CertificatesAreCheckedAsTheTrustSaysAndRefusalsNameTheKey) {
    const TlsIdentity device = MakeTlsIdentity(), other = MakeTlsIdentity();
    ASSERT_TRUE(device.Ok() && other.Ok()) << device.error;
    ASSERT_TRUE(IsPublicKeyPin(device.pin)) << device.pin;
    const struct {
        TlsTrust trust;
        TlsStatus status;
        std::string error;
    } rows[] = {
        {{},
         TlsStatus::UnknownCertificate,
         "Unknown certificate: no authority this system trusts vouches for 127.0.0.1; its key "
         "is " +
             device.pin},
        {{device.pin, false}, TlsStatus::Ok, ""},
        {{other.pin, false},
         TlsStatus::PinChanged,
         "Pinned key changed: 127.0.0.1 showed " + device.pin + " instead of the trusted " +
             other.pin},
        {{"", true}, TlsStatus::Ok, ""},  // --insecure
    };
    for (const auto& row : rows) {
        const TlsOutcome got = HandshakeWith(device, row.trust);
        EXPECT_EQ(got.status, row.status) << got.error;
        EXPECT_EQ(got.error.substr(0, row.error.size()), row.error);
        EXPECT_EQ(got.fingerprint, device.pin);
        EXPECT_EQ(static_cast<bool>(got.session), row.status == TlsStatus::Ok);
    }
    const TlsOutcome plain = HandshakeWith(device, {}, true);
    EXPECT_EQ(plain.status, TlsStatus::HandshakeFailed);
    EXPECT_EQ(plain.error.rfind("TLS handshake failed: ", 0), 0u) << plain.error;
    EXPECT_FALSE(IsPublicKeyPin("sha256//short=") ||
                 IsPublicKeyPin("md5//" + device.pin.substr(8)));
}

}  // namespace
