#include "sim/device_auth.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

QByteArray RandomHex(int bytes) {
    QByteArray raw(bytes, '\0');
    QRandomGenerator* rng = QRandomGenerator::system();
    for (char& c : raw)
        c = char(rng->bounded(256));
    return raw.toHex();
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The scheme word of an Authorization value and the rest after it, white space trimmed.
QPair<QByteArray, QByteArray> SplitScheme(const QByteArray& value) {
    const QByteArray trimmed = value.trimmed();
    qsizetype i = 0;
    while (i < trimmed.size() && !IsSpace(trimmed[i]))
        ++i;
    return {trimmed.left(i).toLower(), trimmed.mid(i).trimmed()};
}

}  // namespace

QByteArray Md5Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

QByteArray DigestResponse(const QByteArray& user, const QByteArray& realm,
                          const QByteArray& password, const QByteArray& method,
                          const QByteArray& uri, const QByteArray& nonce, const QByteArray& nc,
                          const QByteArray& cnonce, const QByteArray& qop, bool sha256) {
    const auto h = [sha256](const QByteArray& text) {
        return QCryptographicHash::hash(
                   text, sha256 ? QCryptographicHash::Sha256 : QCryptographicHash::Md5)
            .toHex();
    };
    const QByteArray ha1 = h(user + ':' + realm + ':' + password);
    const QByteArray ha2 = h(method + ':' + uri);
    return h(ha1 + ':' + nonce + ':' + nc + ':' + cnonce + ':' + qop + ':' + ha2);
}

QHash<QByteArray, QByteArray> ParseDigestParams(const QByteArray& params) {
    QHash<QByteArray, QByteArray> out;
    qsizetype i = 0;
    const qsizetype n = params.size();
    while (i < n) {
        while (i < n && (IsSpace(params[i]) || params[i] == ','))
            ++i;
        const qsizetype nameStart = i;
        while (i < n && params[i] != '=' && params[i] != ',' && !IsSpace(params[i]))
            ++i;
        const QByteArray name = params.mid(nameStart, i - nameStart).toLower();
        while (i < n && IsSpace(params[i]))
            ++i;
        if (name.isEmpty() || i >= n || params[i] != '=')
            return out;
        ++i;
        while (i < n && IsSpace(params[i]))
            ++i;
        QByteArray value;
        if (i < n && params[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (params[i] == '\\' && i + 1 < n) {
                    value += params[i + 1];
                    i += 2;
                } else if (params[i] == '"') {
                    ++i;
                    closed = true;
                    break;
                } else {
                    value += params[i++];
                }
            }
            if (!closed)
                return out;
        } else {
            const qsizetype valueStart = i;
            while (i < n && params[i] != ',' && !IsSpace(params[i]))
                ++i;
            value = params.mid(valueStart, i - valueStart);
        }
        out.insert(name, value);
    }
    return out;
}

DeviceAuth::DeviceAuth(SimAuthMode mode, QString user, QString password)
    : mode_(mode), user_(std::move(user)), password_(std::move(password)), opaque_(RandomHex(8)) {
    clock_.start();
}

DeviceAuth::Verdict DeviceAuth::check(const QByteArray& method, const QByteArray& target,
                                      const QByteArray& authorization) {
    return check(method, target, authorization, mode_);
}

DeviceAuth::Verdict DeviceAuth::check(const QByteArray& method, const QByteArray& target,
                                      const QByteArray& authorization, SimAuthMode mode) {
    const auto [scheme, rest] = SplitScheme(authorization);
    if (scheme == "basic" && mode != SimAuthMode::Digest)
        return checkBasic(rest);
    if (scheme == "digest" && mode != SimAuthMode::Basic)
        return checkDigest(method, target, rest);
    return Verdict::Refused;
}

bool DeviceAuth::acceptsBasic(const QByteArray& authorization) const {
    const auto [scheme, rest] = SplitScheme(authorization);
    return scheme == "basic" && checkBasic(rest) == Verdict::Accepted;
}

DeviceAuth::Verdict DeviceAuth::checkBasic(const QByteArray& credentials) const {
    const auto decoded = QByteArray::fromBase64Encoding(
        credentials, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return Verdict::Refused;
    // The whole "user:password" is compared, so a ":" inside the user name does no harm.
    return decoded.decoded == user_.toUtf8() + ':' + password_.toUtf8() ? Verdict::Accepted
                                                                        : Verdict::Refused;
}

DeviceAuth::Verdict DeviceAuth::checkDigest(const QByteArray& method, const QByteArray& target,
                                            const QByteArray& params) {
    const auto p = ParseDigestParams(params);
    const QByteArray nonce = p.value("nonce");
    const QByteArray nc = p.value("nc");
    const QByteArray cnonce = p.value("cnonce");
    const QByteArray qop = p.value("qop");
    const QByteArray algorithm = p.value("algorithm", "MD5");
    if (p.value("username") != user_.toUtf8() || p.value("realm") != kSimRealm ||
        p.value("uri") != target || qop != "auth" ||
        (algorithm.toUpper() != "MD5" && algorithm.toUpper() != "SHA-256") || nonce.isEmpty() ||
        cnonce.isEmpty() || nc.size() != 8 ||
        (p.contains("opaque") && p.value("opaque") != opaque_)) {
        return Verdict::Refused;
    }
    bool ncOk = false;
    const quint32 count = nc.toUInt(&ncOk, 16);
    if (!ncOk || count == 0)
        return Verdict::Refused;

    const QByteArray expected =
        DigestResponse(user_.toUtf8(), kSimRealm, password_.toUtf8(), method, target, nonce, nc,
                       cnonce, qop, algorithm.toUpper() == "SHA-256");
    if (p.value("response").toLower() != expected)
        return Verdict::Refused;

    auto it = nonces_.find(nonce);
    if (it == nonces_.end())
        return Verdict::Stale;
    if (clock_.elapsed() - it->issuedMs > qint64(kSimNonceLifetimeSeconds) * 1000) {
        nonces_.erase(it);
        return Verdict::Stale;
    }
    if (count <= it->lastCount)
        return Verdict::Refused;  // a replayed request
    if (nonceUses_ > 0 && it->uses >= nonceUses_) {
        nonces_.erase(it);
        return Verdict::Stale;
    }
    it->lastCount = count;
    ++it->uses;
    return Verdict::Accepted;
}

QByteArray DeviceAuth::issueNonce() {
    if (nonces_.size() >= kSimNonceLimit) {
        auto oldest = nonces_.begin();
        for (auto it = nonces_.begin(); it != nonces_.end(); ++it) {
            if (it->order < oldest->order)
                oldest = it;
        }
        nonces_.erase(oldest);
    }
    const QByteArray nonce = RandomHex(16);
    nonces_.insert(nonce, NonceState{clock_.elapsed(), 0, 0, ++issued_});
    return nonce;
}

QList<QByteArray> DeviceAuth::challenges(bool stale, SimAuthMode mode,
                                         const QStringList& algorithms) {
    QList<QByteArray> out;
    if (mode != SimAuthMode::Basic) {
        for (const QString& algorithm : algorithms) {
            QByteArray digest = QByteArray("Digest realm=\"") + kSimRealm +
                                "\", qop=\"auth\", algorithm=" + algorithm.toLatin1() +
                                ", nonce=\"" + issueNonce() + "\", opaque=\"" + opaque_ + "\"";
            if (stale)
                digest += ", stale=true";
            out.append(digest);
        }
    }
    if (mode != SimAuthMode::Digest)
        out.append(QByteArray("Basic realm=\"") + kSimRealm + "\"");
    return out;
}

QList<QByteArray> DeviceAuth::challenges(bool stale) {
    QList<QByteArray> out;
    if (mode_ != SimAuthMode::Basic) {
        QByteArray digest = QByteArray("Digest realm=\"") + kSimRealm +
                            "\", qop=\"auth\", algorithm=MD5, nonce=\"" + issueNonce() +
                            "\", opaque=\"" + opaque_ + "\"";
        if (stale)
            digest += ", stale=true";
        out.append(digest);
    }
    if (mode_ != SimAuthMode::Digest) {
        out.append(QByteArray("Basic realm=\"") + kSimRealm + "\"");
    }
    return out;
}
