#pragma once
#include <cstdint>
#include <iosfwd>

// One numbered prompt: repeats until the operator types a number from 0 to count - 1, which it
// stores in `field` and returns through true. Every converted number, valid or not, is stored in
// `out` first. Returns false when the input ends before a valid answer (nothing stored in field).
bool ReadChoice(const char* prompt, int32_t count, int32_t& out, int32_t& field);
bool ReadChoice(const char* prompt, int32_t count, int32_t& out, int32_t& field,
                std::istream& input, std::ostream& output);

// Told to the operator when a prompt meets the end of input.
constexpr const char* kEndOfInputMessage = "\nend of input, program exits\n";
