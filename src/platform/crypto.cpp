#include "platform/crypto.h"

#include "platform/system_library.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

constexpr const wchar_t* bcrypt = L"bcrypt.dll";

template <typename Function> Function* bcryptFunction(const char* a_name) {
    return systemFunction<Function>(bcrypt, a_name);
}

struct BcryptKeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static BCRYPT_KEY_HANDLE empty() noexcept { return nullptr; }
    static void close(BCRYPT_KEY_HANDLE a_key) noexcept {
        bcryptFunction<decltype(BCryptDestroyKey)>("BCryptDestroyKey")(a_key);
    }
};

// The provider of a_algorithm; empty when bcrypt has none.
BcryptProvider providerOf(const wchar_t* a_algorithm) {
    const auto open =
        bcryptFunction<decltype(BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (open == nullptr || open(&provider, a_algorithm, nullptr, 0) != 0) {
        return BcryptProvider();
    }
    return BcryptProvider(provider);
}

constexpr std::size_t coordinateBytes = 32;

} // namespace

// Only handles that were opened get here, so the library is loaded.
void BcryptProviderTraits::close(void* a_provider) noexcept {
    bcryptFunction<decltype(BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider")(
        a_provider, 0);
}

void BcryptHashTraits::close(void* a_hash) noexcept {
    bcryptFunction<decltype(BCryptDestroyHash)>("BCryptDestroyHash")(a_hash);
}

Sha256::Sha256() : m_algorithm(providerOf(BCRYPT_SHA256_ALGORITHM)) {
    const auto create = bcryptFunction<decltype(BCryptCreateHash)>("BCryptCreateHash");
    BCRYPT_HASH_HANDLE hash = nullptr;
    // The hash object's memory is bcrypt's own (Windows 7 and later).
    if (m_algorithm && create != nullptr &&
        create(m_algorithm.get(), &hash, nullptr, 0, nullptr, 0, 0) == 0) {
        m_hash.reset(hash);
    }
}

bool Sha256::add(const void* a_bytes, std::size_t a_length) {
    if (m_hash && bcryptFunction<decltype(BCryptHashData)>("BCryptHashData")(
                      m_hash.get(), static_cast<PUCHAR>(const_cast<void*>(a_bytes)),
                      static_cast<ULONG>(a_length), 0) != 0) {
        m_hash.reset();
    }
    return static_cast<bool>(m_hash);
}

std::string Sha256::finish() {
    std::string digest(coordinateBytes, '\0');
    if (!m_hash ||
        bcryptFunction<decltype(BCryptFinishHash)>("BCryptFinishHash")(
            m_hash.get(), reinterpret_cast<PUCHAR>(digest.data()), coordinateBytes, 0) != 0) {
        digest.clear();
    }
    return digest;
}

std::string sha256Of(const std::string& a_bytes) {
    Sha256 digest;
    digest.add(a_bytes.data(), a_bytes.size());
    return digest.finish();
}

bool verifiesWithP256(const std::string& a_point, const std::string& a_digest,
                      const std::string& a_signature) {
    if (a_point.size() != 2 * coordinateBytes || a_digest.size() != coordinateBytes ||
        a_signature.size() != 2 * coordinateBytes) {
        return false;
    }
    const BcryptProvider provider = providerOf(BCRYPT_ECDSA_P256_ALGORITHM);
    const auto import = bcryptFunction<decltype(BCryptImportKeyPair)>("BCryptImportKeyPair");
    if (!provider || import == nullptr) {
        return false;
    }
    std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, coordinateBytes};
    CopyMemory(blob.data(), &header, sizeof header);
    blob += a_point;
    BCRYPT_KEY_HANDLE imported = nullptr;
    if (import(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported,
               reinterpret_cast<PUCHAR>(blob.data()), static_cast<ULONG>(blob.size()), 0) != 0) {
        return false;
    }
    const UniqueResource<BcryptKeyTraits> key(imported);
    std::string digest = a_digest;
    std::string signature = a_signature;
    return bcryptFunction<decltype(BCryptVerifySignature)>("BCryptVerifySignature")(
               key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()), coordinateBytes,
               reinterpret_cast<PUCHAR>(signature.data()), 2 * coordinateBytes, 0) == 0;
}
