#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/transport.h"
#include "receive/receive_observer.h"

// Digest authorisation on the long connection (RFC 7616: MD5 and SHA-256, qop "auth"). The
// long request carries Basic credentials; when the device answers one with 401 and a Digest
// challenge, the same request goes out again with a Digest Authorization for its method and
// path; the requests after it reuse the challenge with an increasing nonce count until the
// device sends a new one (a stale nonce). A second 401 for a request sent again is left alone
// (a wrong password gives the 401 once, not a loop). Without a challenge every request goes
// out unchanged. Used on the receive thread only, after Reset on the connecting thread before
// the receive thread starts.
class LongDigest : public RequestFilter, public AnswerHook {
  public:
    // Forgets any challenge; the credentials of the next connection.
    void Reset(std::string user, std::string password);
    // A request going out: with a challenge known, its Authorization becomes Digest.
    std::string Outgoing(std::string request) override;
    // An answer: a 401 with a usable Digest challenge gives the last request to send again.
    std::string OnAnswer(std::string_view message, int status) override;

  private:
    std::string WithDigest(const std::string& request);

    std::string user_;
    std::string password_;
    bool challenged_ = false;
    std::string realm_;
    std::string nonce_;
    std::string opaque_;
    bool sha256_ = false;  // else MD5
    bool qop_ = false;     // qop "auth" offered (else the RFC 2069 form)
    unsigned nc_ = 0;      // nonce count of the last request sent under nonce_
    std::string last_;     // the last request as it was handed over
    bool resent_ = false;  // last_ went out again after a 401 already
};

// The Digest challenges of a 401 answer's WWW-Authenticate headers, as parameter lists
// ("realm", "nonce", ...; names lower case), in the order given; headers with other schemes
// are left out. Exposed for tests.
struct DigestChallenge {
    std::string realm, nonce, opaque, algorithm, qop;
    bool stale = false;
};
std::vector<DigestChallenge> DigestChallenges(std::string_view message);
