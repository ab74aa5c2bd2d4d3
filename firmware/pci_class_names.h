#pragma once
#include <cstdint>

// Names of the PCI class code assignments, for the report and the traces.
const char* PciBaseClassName(uint8_t baseClass);
// The sub-class name, or the base class's default for a sub-class (or
// programming interface) that has no name of its own.
const char* PciSubClassName(uint8_t baseClass, uint8_t subClass, uint8_t interface);
