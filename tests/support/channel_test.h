#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/diag_report.h"
#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"
#include "support/hxmd_runner.h"
#include "support/test_paths.h"

// A test that talks to a management daemon in its own sysroot: HX_SYSROOT
// points there, a missing daemon is given up after one connection attempt,
// replies get the default time-out, and the thread's request channel is
// closed before and after, so no test inherits another one's connection.
class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sends a command without parameters to all cabinets; the reply status.
  uint32_t Send(SwitchInterfacePacket& packet, uint32_t opCode, uint32_t opCodeExt = 0, uint32_t objectId = 0);

  TempDir m_Root;
  CSwitchClient m_Client{"DiagReport"};
};

// Report sections scanned in-process against the real daemon serving a test
// profile.
class HxmdSectionTest : public ChannelTest {
 protected:
  HxmdSectionTest() { m_Report.m_bHxmdAvailable = 1; }

  // Starts hxmd with a profile holding these elements.
  void StartDaemon(const std::string& profileBody);
  // Runs one scan into a fresh section and returns the section's text, which
  // must be well-formed.
  std::string Scan(CDiagReport::ScanOperation scan, _ActionState expected = ACTION_STATE_NOTHING);

  std::unique_ptr<CHxmdRunner> m_Daemon;
  CDiagReport m_Report;
};
