#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace platform {
struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool good = false;
    State() {
        good = BCRYPT_SUCCESS(
                   BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
               Start();
    }
    ~State() {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
        if (algorithm != nullptr)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    // A finished hash object cannot take another message: make a new one.
    bool Start() {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
        hash = nullptr;
        return algorithm != nullptr &&
               BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    }
};

Sha256::Sha256() : state(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    auto bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (state->good && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        state->good = BCRYPT_SUCCESS(BCryptHashData(state->hash, bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
}

bool Sha256::Finish(unsigned char (&digest)[32]) {
    const bool good =
        state->good && BCRYPT_SUCCESS(BCryptFinishHash(state->hash, digest, sizeof digest, 0));
    state->good = state->Start();
    return good;
}
} // namespace platform
