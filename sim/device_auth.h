#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include "sim/simulator_options.h"

// The realm every challenge of the simulated device names.
inline constexpr const char kSimRealm[] = "Tessaly Device";

// Seconds a Digest nonce stays valid after it was issued.
inline constexpr int kSimNonceLifetimeSeconds = 300;

// Nonces remembered at most; the oldest is forgotten first.
inline constexpr int kSimNonceLimit = 1024;

// The device's check of HTTP credentials: Basic, Digest (RFC 7616, MD5, qop "auth") or
// either. Digest nonces are issued by challenge(), expire after kSimNonceLifetimeSeconds, and
// each nonce count may be used once (a replayed or lower nc is refused).
class DeviceAuth {
  public:
    DeviceAuth(SimAuthMode mode, QString user, QString password);

    // A nonce is stale after this many accepted requests (0: only its age counts).
    void setNonceUses(int uses) { nonceUses_ = uses; }

    // Outcome of a check.
    enum class Verdict {
        Accepted,
        Refused,  // missing, malformed or wrong credentials
        Stale,    // right Digest credentials for a nonce that expired or is unknown
    };

    // Checks the Authorization header value of a request with this method and request target
    // (the path as sent, for the Digest "uri"). An empty header is Refused.
    Verdict check(const QByteArray& method, const QByteArray& target,
                  const QByteArray& authorization);
    // The same for another mode than the device's own (the long port's); Digest with MD5 or
    // SHA-256.
    Verdict check(const QByteArray& method, const QByteArray& target,
                  const QByteArray& authorization, SimAuthMode mode);

    // True when the Authorization value is Basic with the right user and password, whatever
    // the mode (the long port's requests carry Basic only).
    bool acceptsBasic(const QByteArray& authorization) const;

    // The WWW-Authenticate values for a 401 answer, one per accepted scheme (Digest first);
    // each Digest challenge carries a fresh nonce, with stale=true when asked.
    QList<QByteArray> challenges(bool stale = false);
    // The challenges of `mode`: a Digest challenge per algorithm ("MD5", "SHA-256") in the
    // order given, then Basic.
    QList<QByteArray> challenges(bool stale, SimAuthMode mode, const QStringList& algorithms);

    // The password accepted from now on (ModifyPassword). Any bytes, even empty.
    void setPassword(const QString& password) { password_ = password; }
    const QString& password() const { return password_; }
    const QString& user() const { return user_; }

    // Number of nonces remembered now (never above kSimNonceLimit).
    int nonceCount() const { return int(nonces_.size()); }

  private:
    struct NonceState {
        qint64 issuedMs = 0;
        quint32 lastCount = 0;  // highest nc accepted so far (0: none)
        int uses = 0;           // requests accepted with it
        quint64 order = 0;      // issue order, to forget the oldest first
    };

    Verdict checkBasic(const QByteArray& credentials) const;
    Verdict checkDigest(const QByteArray& method, const QByteArray& target,
                        const QByteArray& params);
    QByteArray issueNonce();

    SimAuthMode mode_;
    int nonceUses_ = 0;
    QString user_;
    QString password_;
    QByteArray opaque_;
    QElapsedTimer clock_;
    QHash<QByteArray, NonceState> nonces_;
    quint64 issued_ = 0;
};

// Parses the parameter list of a Digest Authorization value (after "Digest "): comma
// separated name=value pairs, values quoted (with backslash escapes) or bare tokens. Names
// are lower-cased. A malformed list gives the pairs read before the fault.
QHash<QByteArray, QByteArray> ParseDigestParams(const QByteArray& params);

// Lower-case hexadecimal MD5 of the bytes.
QByteArray Md5Hex(const QByteArray& bytes);

// The Digest "response" for qop "auth": H(HA1:nonce:nc:cnonce:qop:HA2) with
// HA1 = H(user:realm:password) and HA2 = H(method:uri); H is MD5 or, with sha256, SHA-256.
QByteArray DigestResponse(const QByteArray& user, const QByteArray& realm,
                          const QByteArray& password, const QByteArray& method,
                          const QByteArray& uri, const QByteArray& nonce, const QByteArray& nc,
                          const QByteArray& cnonce, const QByteArray& qop, bool sha256 = false);
