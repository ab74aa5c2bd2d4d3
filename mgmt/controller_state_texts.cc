#include "mgmt/controller_state_texts.h"

#include <cstdio>
#include <iterator>

namespace {

struct ReasonText {
  uint8_t code;
  const char* text;
};

constexpr ReasonText kPowerOnOffReasons[] = {
    {0, "Software"},
    {1, "Power Switch"},
    {2, "AC Fail"},
    {3, "Real Time Clock"},
    {4, "Fan Fail"},
    {5, "Critical Temperature"},
    {7, "Power Supply Failure"},
    {8, "Watchdog"},
    {9, "Remoe Power Off"},
    {10, "Hardware Failure"},
    {11, "Bus Error"},
    {12, "CPU Error"},
    {14, "Server Command"},
    {16, "Sensor Failure"},
    {17, "COMMS failed"},
    {18, "NMI failure"},
    {19, "POST error"},
    {20, "Warning Temperature"},
    {21, "Hardware Reset"},
    {22, "Warm Start"},
    {23, "Button Reset"},
    {24, "AC Power Failure"},
    {25, "Managment Processor Failure"},
    {26, "PCI Power Managment Event"},
    {27, "Keyboard Button"},
    {28, "Chipcard Reader"},
    {29, "Remote Agent"},
    {30, "Reboot Remote Agent"},
    {31, "Power Cycle"},
    {33, "Power Limiting"},
    {34, "MBB Continuous Operation"},
    {35, "Watchdog Power Cycle"},
    {36, "Vexo Inventory Board"},
    {37, "Vexo Init Boot"},
    {38, "Repeated Fan Fail"},
    {39, "Repeated Temperature Critical"},
    {240, "SE Fimrware Reboot"},
    {241, "Housing closed"},
    {255, "unknown"},
};

constexpr const char* kPowerFailBehaviors[] = {"as before", "remain off", "always on"};

}  // namespace

const char* PowerOnOffReasonToString(uint32_t code) {
  for (const ReasonText& row : kPowerOnOffReasons)
    if (row.code == uint8_t(code)) return row.text;
  return "";
}

const char* PowerFailBehaviorToString(uint32_t code) {
  return code < std::size(kPowerFailBehaviors) ? kPowerFailBehaviors[code] : "N/A";
}

std::string FormatMacAddress(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || (length != 6 && length != 8)) return std::string();
  std::string text;
  char part[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(part, sizeof(part), i == 0 ? "%02X" : "-%02X", bytes[i]);
    text += part;
  }
  return text;
}
