#include "net/tls_identity.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <vector>

#include "net/tls.h"

namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freer<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string PinOf(EVP_PKEY* key) {
    const int size = i2d_PUBKEY(key, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::vector<unsigned char> der(static_cast<std::size_t>(size));
    unsigned char* out = der.data();
    i2d_PUBKEY(key, &out);
    return PublicKeyPin(der.data(), der.size());
}

TlsIdentity Failed(const std::string& why) {
    TlsIdentity identity;
    identity.error = why;
    return identity;
}

}  // namespace

TlsIdentity MakeTlsIdentity() {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    Certificate cert(X509_new());
    if (!key || !cert) {
        return Failed("cannot make a key");
    }
    X509_set_version(cert.get(), 2);
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Tessaly simulated device"),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name,
                                              "DNS:localhost,IP:127.0.0.1,IP:::1");
    if (san != nullptr) {
        X509_add_ext(cert.get(), san, -1);
        X509_EXTENSION_free(san);
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        return Failed("cannot sign the certificate");
    }
    Bio certBio(BIO_new(BIO_s_mem()));
    Bio keyBio(BIO_new(BIO_s_mem()));
    if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1) {
        return Failed("cannot write the certificate");
    }
    TlsIdentity identity;
    identity.certificatePem = BioText(certBio.get());
    identity.keyPem = BioText(keyBio.get());
    identity.pin = PinOf(key.get());
    return identity;
}

TlsIdentity ReadTlsIdentity(const std::string& certificatePem, const std::string& keyPem) {
    Bio certBio(BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size())));
    Bio keyBio(BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size())));
    Certificate cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
    Key key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    if (!cert) {
        return Failed("no PEM certificate");
    }
    if (!key) {
        return Failed("no PEM private key");
    }
    if (X509_check_private_key(cert.get(), key.get()) != 1) {
        return Failed("the key does not belong to the certificate");
    }
    TlsIdentity identity;
    identity.certificatePem = certificatePem;
    identity.keyPem = keyPem;
    identity.pin = PinOf(key.get());
    return identity;
}
