#pragma once

#include <string>

// A TLS identity: a private key and a certificate for it (PEM), with the key's pin. The
// simulated device serves with one; tests play TLS devices with one.
struct TlsIdentity {
    std::string certificatePem;
    std::string keyPem;
    std::string pin;    // "sha256//..." of the public key (see PublicKeyPin)
    std::string error;  // why none could be had; empty on success

    bool Ok() const { return error.empty(); }
};

// A new EC P-256 key and a self-signed certificate for localhost, 127.0.0.1 and ::1, valid
// from an hour ago for a year. No authority vouches for it: clients see an unknown certificate
// until they pin its key.
TlsIdentity MakeTlsIdentity();

// The identity in two PEM texts; fails when either cannot be read or the key does not belong
// to the certificate.
TlsIdentity ReadTlsIdentity(const std::string& certificatePem, const std::string& keyPem);
