// Stands in for the tool in the runner's test: reports each interrupt and ends with 40 + their
// number once it has the count asked for in its argument (3 when they do not come).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
volatile std::sig_atomic_t received = 0;

extern "C" void OnInterrupt(int) {
    received = received + 1;
    std::signal(SIGINT, OnInterrupt); // the Windows runtime resets it before each call
}
} // namespace

int main(int argc, char** argv) {
    const int expected = argc > 1 ? std::atoi(argv[1]) : 1;
    std::signal(SIGINT, OnInterrupt);
    std::printf("ready\n");
    std::fflush(stdout);
    int reported = 0;
    for (int waited = 0; reported < expected && waited < 2000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (reported < received) {
            std::printf("interrupted %d\n", ++reported);
            std::fflush(stdout);
        }
    }
    return reported == expected ? 40 + reported : 3;
}
