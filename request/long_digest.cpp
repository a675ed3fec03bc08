#include "request/long_digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdio>
#include <vector>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string Hash(bool sha256, const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, sha256 ? EVP_sha256() : EVP_md5(),
               nullptr);
    return Hex(digest, length);
}

// Reads the challenges of one header value: "Digest a=1, b="x, y", Basic realm="r"".
void ReadChallenges(std::string_view value, std::vector<DigestChallenge>& out) {
    std::size_t i = 0;
    bool inDigest = false;
    auto skip = [&] {
        while (i < value.size() && (IsBlank(value[i]) || value[i] == ',')) {
            ++i;
        }
    };
    for (skip(); i < value.size(); skip()) {
        const std::size_t start = i;
        while (i < value.size() && !IsBlank(value[i]) && value[i] != '=' && value[i] != ',') {
            ++i;
        }
        const std::string_view token = value.substr(start, i - start);
        std::size_t next = i;
        while (next < value.size() && IsBlank(value[next])) {
            ++next;
        }
        if (next >= value.size() || value[next] != '=') {
            // A scheme name starts a challenge.
            inDigest = EqualsNoCase(token, "Digest");
            if (inDigest) {
                out.emplace_back();
            }
            continue;
        }
        i = next + 1;
        while (i < value.size() && IsBlank(value[i])) {
            ++i;
        }
        std::string text;
        if (i < value.size() && value[i] == '"') {
            for (++i; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) {
                    ++i;
                }
                text += value[i];
            }
            ++i;
        } else {
            const std::size_t from = i;
            while (i < value.size() && value[i] != ',' && !IsBlank(value[i])) {
                ++i;
            }
            text = std::string(value.substr(from, i - from));
        }
        if (!inDigest) {
            continue;
        }
        DigestChallenge& c = out.back();
        if (EqualsNoCase(token, "realm")) {
            c.realm = text;
        } else if (EqualsNoCase(token, "nonce")) {
            c.nonce = text;
        } else if (EqualsNoCase(token, "opaque")) {
            c.opaque = text;
        } else if (EqualsNoCase(token, "algorithm")) {
            c.algorithm = text;
        } else if (EqualsNoCase(token, "qop")) {
            c.qop = text;
        } else if (EqualsNoCase(token, "stale")) {
            c.stale = EqualsNoCase(text, "true");
        }
    }
}

// True when the comma-separated qop list offers "auth".
bool OffersAuth(const std::string& qop) {
    std::size_t from = 0;
    while (from <= qop.size()) {
        std::size_t end = qop.find(',', from);
        if (end == std::string::npos) {
            end = qop.size();
        }
        std::string_view item = std::string_view(qop).substr(from, end - from);
        while (!item.empty() && IsBlank(item.front()))
            item.remove_prefix(1);
        while (!item.empty() && IsBlank(item.back()))
            item.remove_suffix(1);
        if (EqualsNoCase(item, "auth")) {
            return true;
        }
        from = end + 1;
    }
    return false;
}

}  // namespace

std::vector<DigestChallenge> DigestChallenges(std::string_view message) {
    std::vector<DigestChallenge> out;
    const std::size_t headEnd = message.find("\r\n\r\n");
    const std::string_view head = message.substr(0, headEnd);
    static constexpr std::string_view kField = "WWW-Authenticate:";
    for (std::size_t line = head.find("\r\n"); line != std::string_view::npos;) {
        line += 2;
        const std::size_t end = head.find("\r\n", line);
        const std::string_view text =
            head.substr(line, end == std::string_view::npos ? std::string_view::npos : end - line);
        if (text.size() >= kField.size() && EqualsNoCase(text.substr(0, kField.size()), kField)) {
            ReadChallenges(text.substr(kField.size()), out);
        }
        line = end;
    }
    return out;
}

void LongDigest::Reset(std::string user, std::string password) {
    user_ = std::move(user);
    password_ = std::move(password);
    challenged_ = false;
    nc_ = 0;
    last_.clear();
    resent_ = false;
}

std::string LongDigest::Outgoing(std::string request) {
    last_ = request;
    resent_ = false;
    return challenged_ ? WithDigest(request) : request;
}

std::string LongDigest::OnAnswer(std::string_view message, int status) {
    if (status != 401 || last_.empty()) {
        return std::string();
    }
    // SHA-256 where offered, else MD5 (an absent algorithm means MD5); other kinds are skipped.
    const DigestChallenge* chosen = nullptr;
    bool chosenSha = false;
    const std::vector<DigestChallenge> offered = DigestChallenges(message);
    for (const DigestChallenge& c : offered) {
        const bool sha = EqualsNoCase(c.algorithm, "SHA-256");
        const bool md5 = c.algorithm.empty() || EqualsNoCase(c.algorithm, "MD5");
        if (!c.nonce.empty() && (sha || md5) && (chosen == nullptr || (sha && !chosenSha))) {
            chosen = &c;
            chosenSha = sha;
        }
    }
    if (chosen == nullptr || (resent_ && !chosen->stale)) {
        return std::string();
    }
    challenged_ = true;
    realm_ = chosen->realm;
    nonce_ = chosen->nonce;
    opaque_ = chosen->opaque;
    sha256_ = chosenSha;
    qop_ = OffersAuth(chosen->qop);
    nc_ = 0;
    resent_ = true;
    return WithDigest(last_);
}

std::string LongDigest::WithDigest(const std::string& request) {
    const std::size_t lineEnd = request.find("\r\n");
    const std::size_t headEnd = request.find("\r\n\r\n");
    if (lineEnd == std::string::npos || headEnd == std::string::npos) {
        return request;
    }
    const std::size_t methodEnd = request.find(' ');
    const std::size_t uriEnd = request.find(' ', methodEnd + 1);
    if (methodEnd >= lineEnd || uriEnd > lineEnd) {
        return request;
    }
    const std::string method = request.substr(0, methodEnd);
    const std::string uri = request.substr(methodEnd + 1, uriEnd - methodEnd - 1);

    ++nc_;
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", nc_);
    unsigned char random[8];
    RAND_bytes(random, sizeof random);
    const std::string cnonce = Hex(random, sizeof random);
    const std::string ha1 = Hash(sha256_, user_ + ":" + realm_ + ":" + password_);
    const std::string ha2 = Hash(sha256_, method + ":" + uri);
    const std::string response =
        qop_ ? Hash(sha256_, ha1 + ":" + nonce_ + ":" + nc + ":" + cnonce + ":auth:" + ha2)
             : Hash(sha256_, ha1 + ":" + nonce_ + ":" + ha2);
    std::string value = "Digest username=\"" + user_ + "\", realm=\"" + realm_ + "\", nonce=\"" +
                        nonce_ + "\", uri=\"" + uri +
                        "\", algorithm=" + (sha256_ ? "SHA-256" : "MD5") + ", response=\"" +
                        response + "\"";
    if (qop_) {
        value += std::string(", qop=auth, nc=") + nc + ", cnonce=\"" + cnonce + "\"";
    }
    if (!opaque_.empty()) {
        value += ", opaque=\"" + opaque_ + "\"";
    }

    // In place of the Authorization header, or after the request line when there is none.
    std::string out = request;
    static constexpr std::string_view kField = "\r\nAuthorization:";
    for (std::size_t at = out.find("\r\n"); at < headEnd; at = out.find("\r\n", at + 2)) {
        if (EqualsNoCase(std::string_view(out).substr(at, kField.size()), kField)) {
            const std::size_t end = out.find("\r\n", at + 2);
            out.replace(at + 2, end - at - 2, "Authorization: " + value);
            return out;
        }
    }
    out.insert(lineEnd, "\r\nAuthorization: " + value);
    return out;
}
