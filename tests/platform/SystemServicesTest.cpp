#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/Environment.h"
#include "platform/Sha256.h"
#include "platform/SystemInfo.h"

namespace {

TEST(Sha256, FipsVectorsWholeAndInPieces) {
    const struct {
        std::string piece;
        size_t repeat;
        const char* digest;
    } cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000, 'a'), 1000,
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    platform::Sha256 hash; // one object throughout: Final starts the next message
    for (const auto& c : cases) {
        std::string whole;
        for (size_t i = 0; i < c.repeat; ++i) {
            hash.Update(c.piece.data(), c.piece.size());
            whole += c.piece;
        }
        EXPECT_EQ(hash.Final(), c.digest) << whole.size() << " bytes";
        EXPECT_EQ(platform::Sha256Hex(whole.data(), whole.size()), c.digest);
    }
}

TEST(SystemInfo, UtcTimestampsIgnoreTheLocalZoneAndCutFractions) {
    using namespace std::chrono;
    const struct {
        long long seconds;
        int milliseconds;
        const char* text;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00Z"},
        {1796619301, 999, "2026-12-07T04:55:01Z"},
        {951868799, 0, "2000-02-29T23:59:59Z"},
        {4107542400, 0, "2100-03-01T00:00:00Z"}, // past 2038, and no leap day in 2100
    };
    std::string zone;
    const bool hadZone = platform::ReadEnvironment("TZ", zone);
    platform::SetEnvironment("TZ", "XST-5");
    for (const auto& c : cases) {
        const system_clock::time_point when(seconds(c.seconds) + milliseconds(c.milliseconds));
        EXPECT_EQ(platform::UtcTimestamp(when), c.text);
    }
    hadZone ? platform::SetEnvironment("TZ", zone) : platform::UnsetEnvironment("TZ");

    const std::string host = platform::HostName();
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(host.find('\0'), std::string::npos);
}

} // namespace
