#pragma once
#include <cstdint>
#include <iostream>

// One numbered prompt: repeats until the operator types a number from 0 to count - 1, which it
// stores in `choice` and returns through true. Returns false, `choice` untouched, when the
// input ends before a valid answer.
bool ReadChoice(const char* prompt, int32_t count, int32_t& choice, std::istream& input = std::cin,
                std::ostream& output = std::cout);

// Told to the operator when a prompt meets the end of input.
constexpr const char* kEndOfInputMessage = "\nend of input, program exits\n";
