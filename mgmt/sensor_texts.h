#pragma once
#include <cstdint>
#include <string>

// Status descriptions of the controller's environment sensors, by the status
// byte the daemon reports.
const char* VoltageStatusText(uint8_t status);
const char* FanStatusText(uint8_t status);
const char* TemperatureStatusText(uint8_t status);
const char* PowerSupplyStatusText(uint8_t status);

// A voltage in hundredths of a volt (the value's low 16 bits, signed) as
// "12.05", "-12.00", "-0.05".
std::string FormatCentiValue(uint32_t value);
