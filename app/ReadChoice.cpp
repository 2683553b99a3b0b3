#include "app/ReadChoice.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

// Base-10 conversion as the standard string-to-integer one: blanks skipped, optional sign,
// digits up to the first other character. Fails without digits or outside 32 bits.
bool ToInt32(const std::string& line, int32_t& value) {
    const char* start = line.c_str();
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

} // namespace

bool ReadChoice(const char* prompt, int32_t count, int32_t& choice, std::istream& input,
                std::ostream& output) {
    std::string line;
    for (;;) {
        output << prompt << std::endl;
        if (!std::getline(input, line))
            return false;
        int32_t number = 0;
        if (ToInt32(line, number) && number >= 0 && number <= count - 1) {
            choice = number;
            return true;
        }
        output << "Invalid choice: [" << line << "]\n\n";
    }
}
