#include "platform/Sha256.h"

#include <openssl/evp.h>

namespace platform {
struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool good = Start();
    ~State() { EVP_MD_CTX_free(context); }
    bool Start() {
        return context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    }
};

Sha256::Sha256() : state(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    if (state->good && size > 0)
        state->good = EVP_DigestUpdate(state->context, data, size) == 1;
}

bool Sha256::Finish(unsigned char (&digest)[32]) {
    unsigned int length = 0;
    // sha256 writes exactly these 32 bytes.
    const bool good = state->good && EVP_DigestFinal_ex(state->context, digest, &length) == 1 &&
                      length == sizeof digest;
    state->good = state->Start();
    return good;
}
} // namespace platform
