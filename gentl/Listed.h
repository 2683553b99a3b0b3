#pragma once
#include <algorithm>

#include "gentl/DebugTrace.h"

// The duplicate check of every list that discovery, enumeration and the catalogue build: true
// when an element of `list` is `same` as the candidate, and then the refusal is traced.
template <typename List, typename Same>
bool ListedAlready(const List& list, Same same, const char* refusal) {
    if (std::none_of(list.begin(), list.end(), same)) {
        return false;
    }
    DebugTrace("%s", refusal);
    return true;
}
