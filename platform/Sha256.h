#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace platform {
// SHA-256 through the system's crypto (CNG on Windows, libcrypto elsewhere).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything since construction or the last Final, as 64 lower-case hex
    // digits; empty when the system's crypto failed. Starts a new message.
    std::string Final();

private:
    struct State;
    bool Finish(unsigned char (&digest)[32]); // the system's part of Final
    std::unique_ptr<State> state;
};

std::string Sha256Hex(const void* data, size_t size);
} // namespace platform
