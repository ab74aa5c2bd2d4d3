#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Why the server last powered on or off, by the code's low 8 bits; an empty
// text for codes without a meaning.
const char* PowerOnOffReasonToString(uint32_t code);
// What the server does when power returns after a failure.
const char* PowerFailBehaviorToString(uint32_t code);
// A 6- or 8-byte hardware address as "00-1A-2B-3C-4D-5E"; empty for any
// other length.
std::string FormatMacAddress(const uint8_t* bytes, size_t length);
