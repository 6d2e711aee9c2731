#pragma once

#include "platform/unique_handle.h"

#include <cstddef>
#include <string>

// SHA-256 and ECDSA P-256 signatures through bcrypt, loaded from the system
// folder when first needed (Windows 7 and later have both; Ed25519 and the
// generic ECDSA provider are missing from some).

// bcrypt's handles (each a PVOID), closed by the function of their kind.
struct BcryptProviderTraits {
    using Type = void*;
    static void* empty() noexcept { return nullptr; }
    static void close(void* a_provider) noexcept;
};
struct BcryptHashTraits {
    using Type = void*;
    static void* empty() noexcept { return nullptr; }
    static void close(void* a_hash) noexcept;
};
using BcryptProvider = UniqueResource<BcryptProviderTraits>;

// A SHA-256 digest of bytes given in pieces.
class Sha256 {
public:
    Sha256();

    // False once anything failed (bcrypt missing, say): the digest is empty.
    bool add(const void* a_bytes, std::size_t a_length);

    // The 32 bytes of the digest; empty when it could not be made. Ends the
    // digest: nothing may be added after it.
    std::string finish();

private:
    BcryptProvider m_algorithm; // outlives its hash
    UniqueResource<BcryptHashTraits> m_hash;
};

// The digest of a_bytes; empty when it could not be made.
std::string sha256Of(const std::string& a_bytes);

// Whether a_signature (r and s, 32 bytes each) signs a_digest (SHA-256) with
// the P-256 public key a_point (x and y, 32 bytes each).
bool verifiesWithP256(const std::string& a_point, const std::string& a_digest,
                      const std::string& a_signature);
