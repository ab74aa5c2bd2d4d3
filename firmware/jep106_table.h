#pragma once
#include <cstddef>

// JEP106 manufacturer names in bank/code order: entry i is bank i / 126,
// code (i mod 126) + 1, the code without its parity bit.
extern const char* const kJep106Names[];
extern const size_t kJep106NameCount;
