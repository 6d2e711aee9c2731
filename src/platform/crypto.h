#pragma once

#include <cstddef>
#include <string>

// SHA-256 and ECDSA P-256 signatures through bcrypt, loaded from the system
// folder when first needed (Windows 7 and later have both; Ed25519 and the
// generic ECDSA provider are missing from some).

// A SHA-256 digest of bytes given in pieces.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False once anything failed (bcrypt missing, say): the digest is empty.
    bool add(const void* a_bytes, std::size_t a_length);

    // The 32 bytes of the digest; empty when it could not be made. Ends the
    // digest: nothing may be added after it.
    std::string finish();

private:
    void* m_algorithm = nullptr;
    void* m_hash = nullptr;
};

// The digest of a_bytes; empty when it could not be made.
std::string sha256Of(const std::string& a_bytes);

// Whether a_signature (r and s, 32 bytes each) signs a_digest (SHA-256) with
// the P-256 public key a_point (x and y, 32 bytes each).
bool verifiesWithP256(const std::string& a_point, const std::string& a_digest,
                      const std::string& a_signature);
