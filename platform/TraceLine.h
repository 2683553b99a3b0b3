#pragma once
#include <cstring>
#include <string>

namespace platform {
// A trace message as one line, built on the stack for the usual lengths so that the whole line
// goes out in one write.
class TraceLine {
public:
    explicit TraceLine(const char* message) {
        size_t length = std::strlen(message);
        bool addEnd = length == 0 || message[length - 1] != '\n';
        size_t total = length + (addEnd ? 1 : 0);
        if (total <= sizeof small) {
            std::memcpy(small, message, length);
            if (addEnd) {
                small[length] = '\n';
            }
            data = small;
        } else {
            large.assign(message, length);
            if (addEnd) {
                large.push_back('\n');
            }
            data = large.data();
        }
        size = total;
    }
    TraceLine(const TraceLine&) = delete;
    TraceLine& operator=(const TraceLine&) = delete;

    const char* data = nullptr;
    size_t size = 0;

private:
    char small[4097];
    std::string large;
};
} // namespace platform
