#include <cstring>

#include "app/build_constants.h"
#include "app/diag_report.h"
#include "platform/debug.h"

namespace {

constexpr int kSourceCount = 3;
constexpr int kSmBiosIndex = 0;
constexpr int kServerControlIndex = 1;
constexpr int kSnmpIndex = 2;

}  // namespace

void CDiagReport::OpenDataSources() {
  m_bAdministrator = 1;
  if (std::strcmp(HxObjectName, "hxas") == 0 || std::strcmp(HxObjectName, "HXAS") == 0) {
    m_bHxasInstallation = 1;
    HX_TRACE(4, "\nCServerControlInstal: HXAS installation detected!");
  }

  // The management daemon is taken as available without asking it.
  OnDetectSourceStarted("Server Control", kServerControlIndex, kSourceCount);
  m_bHxmdAvailable = 1;
  m_SwitchClient.m_nConnected = 1;
  OnDetectSourceCompleted("Server Control", kServerControlIndex, kSourceCount, SOURCE_DETECTED);

  OnDetectSourceStarted("SM BIOS", kSmBiosIndex, kSourceCount);
  if (!m_SMBios.IsConnected()) m_SMBios.Connect(nullptr, 0, nullptr, 0);
  m_bSMBiosConnected = m_SMBios.IsConnected() ? 1 : 0;
  OnDetectSourceCompleted("SM BIOS", kSmBiosIndex, kSourceCount,
                          m_bSMBiosConnected ? SOURCE_DETECTED : SOURCE_NOT_DETECTED);

  OnDetectSourceStarted("SNMP", kSnmpIndex, kSourceCount);
  m_bSnmpAvailable = 0;
  OnDetectSourceCompleted("SNMP", kSnmpIndex, kSourceCount, SOURCE_NOT_DETECTED);
}
