// The long connection over TLS (its log holds the application bytes exactly, a refused key is
// trusted by its pin, a disconnect during a push storm is quick) and with Digest answers.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "request/long_connection.h"
#include "request/long_digest.h"
#include "support/test_support.h"
#include "support/tls_peer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class LongConnectionTls : public ::testing::Test {
  protected:
    LongSendOutcome SendTo(const std::string& pin, const std::string& bytes) {
        LongSendRequest request{"127.0.0.1", "admin", "pw", std::to_string(peer_.Port()), bytes};
        request.tls = true;
        request.trust.pin = pin;
        return connection_.LongSend(request);
    }
    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    RecordingObserver observer_;
    LongConnection connection_{ReceiveContext{folder_.Path(), &log_, nullptr, &observer_}};
    TlsIdentity identity_ = MakeTlsIdentity();
    TlsPeer peer_{identity_};
};

TEST_F(LongConnectionTls, UnknownKeyIsRefusedThenTrustedAndTheLogHoldsThePlainBytes) {
    std::thread refusing([&] { peer_.Accept(); });
    LongSendOutcome sent = SendTo("", "x");
    refusing.join();
    EXPECT_EQ(sent.connect, ConnectResult::ConnectFailed);
    EXPECT_EQ(sent.tls, TlsStatus::UnknownCertificate);
    EXPECT_EQ(sent.fingerprint, identity_.pin);
    EXPECT_EQ(sent.reason.rfind("Unknown certificate", 0), 0u) << sent.reason;
    EXPECT_EQ(sent.send, SendResult::Failed);

    const std::string stream = SubscribeAnswer("http://127.0.0.1:1/S/1") +
                               EventMessage(FaceMatchBody(ToBase64("snap"), "", ToBase64("src"))) +
                               EventMessage(TargetsBody("PEA", ToBase64(std::string(90000, 'p'))));
    std::string request;
    std::thread device([&] {
        if (peer_.Accept()) {
            request = peer_.Read(15);
            peer_.Write(stream);
        }
    });
    sent = SendTo(sent.fingerprint,
                  "POST /Set HTTP/1.1\r\n\r\n"
                  "x");
    EXPECT_EQ(sent.connect, ConnectResult::Ok) << sent.reason;
    EXPECT_EQ(sent.send, SendResult::Ok);
    ASSERT_TRUE(observer_.WaitForReports(3));
    device.join();
    EXPECT_EQ(request, "POST /Set HTTP/");
    const std::vector<MessageReport> reports = observer_.Reports();
    EXPECT_EQ(reports[1].pictures.size() + reports[2].pictures.size(), 3u);
    EXPECT_EQ(ReadFile(reports[2].pictures.at(0)), std::string(90000, 'p'));
    connection_.Disconnect();
    log_.Close();
    EXPECT_EQ(ReadFile(log_.Path()), stream);
}

TEST_F(LongConnectionTls, DisconnectDuringAPushStormIsQuick) {
    std::atomic<bool> stop{false};
    std::thread device([&] {
        if (peer_.Accept()) {
            const std::string event =
                EventMessage(FaceMatchBody(ToBase64(std::string(200000, 'e'))));
            while (!stop && peer_.Write(event)) {
            }
        }
        peer_.Close();  // the device's thread owns its end
    });
    ASSERT_EQ(SendTo(identity_.pin, "go").connect, ConnectResult::Ok);
    ASSERT_TRUE(observer_.WaitForReports(5));
    const auto start = Clock::now();
    connection_.Disconnect();
    EXPECT_LT(Clock::now() - start, 200ms);
    stop = true;
    device.join();
}

// An independent Digest response, for the checks below.
std::string Hex(const std::string& text, const EVP_MD* md) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, md, nullptr);
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        out += two;
    }
    return out;
}

// The parameters of a Digest Authorization line in a request.
std::map<std::string, std::string> DigestParams(const std::string& request) {
    std::map<std::string, std::string> params;
    const std::size_t at = request.find("\r\nAuthorization: Digest ");
    if (at == std::string::npos) {
        return params;
    }
    const std::string line = request.substr(at + 24, request.find("\r\n", at + 2) - at - 24);
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t eq = line.find('=', i);
        std::string name = line.substr(i, eq - i), value;
        std::size_t end;
        if (line[eq + 1] == '"') {
            end = line.find('"', eq + 2);
            value = line.substr(eq + 2, end - eq - 2);
            ++end;
        } else {
            end = line.find(',', eq);
            value = line.substr(eq + 1, end == std::string::npos ? end : end - eq - 1);
        }
        params[name] = value;
        i = end == std::string::npos ? line.size() : line.find_first_not_of(", ", end);
    }
    return params;
}

TEST(LongConnectionDigest, ChallengesAreAnsweredOnceAndReusedWithACountingNonce) {
    const std::string request =
        "POST /SetSubscribe HTTP/1.1\r\nAuthorization: Basic YTpi\r\n"
        "Content-Length: 4\r\n\r\nbody";
    const std::string challenge =
        "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
        "WWW-Authenticate: Digest realm=\"Dev\", qop=\"auth\", algorithm=MD5, nonce=\"n1\"\r\n"
        "WWW-Authenticate: Digest realm=\"Dev\", qop=\"auth,auth-int\", algorithm=SHA-256, "
        "nonce=\"n2\", opaque=\"o\"\r\nContent-Length: 0\r\n\r\n";
    LongDigest digest;
    digest.Reset("admin", "pw");
    EXPECT_EQ(digest.Outgoing(request), request);  // unchanged until a challenge
    EXPECT_EQ(digest.OnAnswer("HTTP/1.1 200 OK\r\n\r\n", 200), "");
    const std::string again = digest.OnAnswer(challenge, 401);
    std::map<std::string, std::string> p = DigestParams(again);
    ASSERT_FALSE(p.empty()) << again;
    EXPECT_EQ(again.substr(again.find("\r\nContent-Length")), "\r\nContent-Length: 4\r\n\r\nbody");
    EXPECT_EQ(again.find("Basic"), std::string::npos);
    const auto response = [](const std::map<std::string, std::string>& q, const EVP_MD* md) {
        const std::string ha1 = Hex("admin:Dev:pw", md), ha2 = Hex("POST:" + q.at("uri"), md);
        return Hex(
            ha1 + ":" + q.at("nonce") + ":" + q.at("nc") + ":" + q.at("cnonce") + ":auth:" + ha2,
            md);
    };
    // SHA-256 is chosen over MD5, for the request's own method and path.
    EXPECT_EQ(p["algorithm"] + p["nonce"] + p["uri"] + p["nc"] + p["opaque"],
              "SHA-256n2/SetSubscribe00000001o");
    EXPECT_EQ(p["response"], response(p, EVP_sha256()));
    // A wrong password: the second 401 for the resent request is left alone.
    EXPECT_EQ(digest.OnAnswer(challenge, 401), "");
    // The next request reuses the challenge with the next count; a stale nonce is renewed.
    p = DigestParams(digest.Outgoing("POST /RenewSubscribe HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(p["nc"] + p["uri"], "00000002/RenewSubscribe");
    const std::string stale =
        "HTTP/1.1 401 Unauthorized\r\nwww-authenticate: Digest "
        "realm=\"Dev\", nonce=\"n3\", qop=auth, stale=true\r\n\r\n";
    p = DigestParams(digest.OnAnswer(stale, 401));
    EXPECT_EQ(p["algorithm"] + p["nonce"] + p["nc"], "MD5n300000001");
    EXPECT_EQ(p["response"], response(p, EVP_md5()));
    p = DigestParams(digest.OnAnswer(stale, 401));  // stale again: renewed again
    EXPECT_EQ(p["nc"], "00000001");
}

}  // namespace
