#include "platform/crypto.h"

#include "platform/system_library.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

constexpr const wchar_t* bcrypt = L"bcrypt.dll";

template <typename Function> Function* bcryptFunction(const char* a_name) {
    return systemFunction<Function>(bcrypt, a_name);
}

// An algorithm provider, closed with its owner.
class Provider {
public:
    explicit Provider(const wchar_t* a_algorithm) {
        const auto open =
            bcryptFunction<decltype(BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
        if (open == nullptr || open(&m_handle, a_algorithm, nullptr, 0) != 0) {
            m_handle = nullptr;
        }
    }
    ~Provider() {
        if (m_handle != nullptr) {
            bcryptFunction<decltype(BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider")(
                m_handle, 0);
        }
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    BCRYPT_ALG_HANDLE get() const { return m_handle; }
    BCRYPT_ALG_HANDLE release() {
        const BCRYPT_ALG_HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

constexpr std::size_t coordinateBytes = 32;

} // namespace

Sha256::Sha256() {
    Provider provider(BCRYPT_SHA256_ALGORITHM);
    const auto create = bcryptFunction<decltype(BCryptCreateHash)>("BCryptCreateHash");
    BCRYPT_HASH_HANDLE hash = nullptr;
    // The hash object's memory is bcrypt's own (Windows 7 and later).
    if (provider.get() != nullptr && create != nullptr &&
        create(provider.get(), &hash, nullptr, 0, nullptr, 0, 0) == 0) {
        m_hash = hash;
        m_algorithm = provider.release();
    }
}

Sha256::~Sha256() {
    if (m_hash != nullptr) {
        bcryptFunction<decltype(BCryptDestroyHash)>("BCryptDestroyHash")(m_hash);
    }
    if (m_algorithm != nullptr) {
        bcryptFunction<decltype(BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider")(
            m_algorithm, 0);
    }
}

bool Sha256::add(const void* a_bytes, std::size_t a_length) {
    const auto hashData = bcryptFunction<decltype(BCryptHashData)>("BCryptHashData");
    if (m_hash != nullptr && hashData(m_hash, static_cast<PUCHAR>(const_cast<void*>(a_bytes)),
                                      static_cast<ULONG>(a_length), 0) != 0) {
        bcryptFunction<decltype(BCryptDestroyHash)>("BCryptDestroyHash")(m_hash);
        m_hash = nullptr;
    }
    return m_hash != nullptr;
}

std::string Sha256::finish() {
    std::string digest(coordinateBytes, '\0');
    const auto finishHash = bcryptFunction<decltype(BCryptFinishHash)>("BCryptFinishHash");
    if (m_hash == nullptr ||
        finishHash(m_hash, reinterpret_cast<PUCHAR>(digest.data()), coordinateBytes, 0) != 0) {
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
    const Provider provider(BCRYPT_ECDSA_P256_ALGORITHM);
    const auto import = bcryptFunction<decltype(BCryptImportKeyPair)>("BCryptImportKeyPair");
    if (provider.get() == nullptr || import == nullptr) {
        return false;
    }
    std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, coordinateBytes};
    CopyMemory(blob.data(), &header, sizeof header);
    blob += a_point;
    BCRYPT_KEY_HANDLE key = nullptr;
    if (import(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
               reinterpret_cast<PUCHAR>(blob.data()), static_cast<ULONG>(blob.size()), 0) != 0) {
        return false;
    }
    std::string digest = a_digest;
    std::string signature = a_signature;
    const bool verified =
        bcryptFunction<decltype(BCryptVerifySignature)>("BCryptVerifySignature")(
            key, nullptr, reinterpret_cast<PUCHAR>(digest.data()), coordinateBytes,
            reinterpret_cast<PUCHAR>(signature.data()), 2 * coordinateBytes, 0) == 0;
    bcryptFunction<decltype(BCryptDestroyKey)>("BCryptDestroyKey")(key);
    return verified;
}
