#include "mgmt/sensor_texts.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

// Each table lists the texts of status 0, 1, ...; a status past the end gets
// the table's fallback.
struct StatusTable {
  const char* const* texts;
  size_t count;
  const char* fallback;

  const char* operator()(uint8_t status) const { return status < count ? texts[status] : fallback; }
};

constexpr const char* kVoltage[] = {"not available", "ok", "too low", "too high", "not ok", "pre-failure"};
constexpr const char* kFan[] = {"disabled", "ok", "fail", "pre-failure", "redundant-fail", "not manageable",
                                "not present"};
constexpr const char* kTemperature[] = {"not available", "ok", "not available", "fail", "warning", "critical",
                                        "ok"};
constexpr const char* kPowerSupply[] = {"not present",    "ok",          "fail",           "AC fail",
                                        "DC fail",        "Temp critical", "Not manageable", "Fan prefailure",
                                        "Fan fail",       "Power Save Mode", "Non red DC fail", "Non red AC fail"};

constexpr StatusTable kVoltageStatus{kVoltage, std::size(kVoltage), "not available"};
constexpr StatusTable kFanStatus{kFan, std::size(kFan), "not manageable"};
constexpr StatusTable kTemperatureStatus{kTemperature, std::size(kTemperature), "not available"};
constexpr StatusTable kPowerSupplyStatus{kPowerSupply, std::size(kPowerSupply), "not available"};

}  // namespace

const char* VoltageStatusText(uint8_t status) { return kVoltageStatus(status); }
const char* FanStatusText(uint8_t status) { return kFanStatus(status); }
const char* TemperatureStatusText(uint8_t status) { return kTemperatureStatus(status); }
const char* PowerSupplyStatusText(uint8_t status) { return kPowerSupplyStatus(status); }

std::string FormatCentiValue(uint32_t value) {
  int centi = int16_t(value & 0xFFFF);
  int whole = centi / 100;
  // A negative value below one volt has no sign in its whole part.
  const char* sign = centi < 0 && whole == 0 ? "-" : "";
  char text[32];
  std::snprintf(text, sizeof(text), "%s%d.%02u", sign, whole, unsigned(std::abs(centi % 100)));
  return text;
}
