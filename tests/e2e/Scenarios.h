// What the end-to-end tests of both builds (climon, and climon.exe under Wine) expect
// alike of the variant-1 monitor against the simulator's defaults.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Harness.h"

namespace e2e {

// Rows the simulator's defaults give, which many tests wait for.
inline constexpr const char* kTempRow = "Temp.         12.50 C  /   12.50 C";
inline constexpr const char* kTotalRow = "tTotal       143415 s  /    39.8 h";
inline constexpr const char* kHeaterRow = "t_Heater      95535 s  /    66.6 %";
// The command terminal's header, once it is open.
inline constexpr const char* kTerminalHeader = " Send           : Receive    /esc";

// A line sent from the command terminal; true once `shown` (its row with the reply) is.
inline bool SendLine(Session& s, const std::string& line, const std::string& shown) {
  s.Type(line);
  s.Key("Enter");
  return s.WaitForText(shown);
}

// The variant-1 monitor once the counters have come: the climate rows, the mode and the
// simulator's counters (total 2 x 65535 + 12345 s, heater 65535 + 30000 s, ...).
inline void ExpectVariant1Screen(const Climon& t, int port) {
  const Session& s = t.s;
  ASSERT_TRUE(t.Shows(19, "t106            540   t107   250")) << s.ScreenText();
  EXPECT_EQ(s.Row(1), "System         1203 ComPort    " + std::to_string(port));
  EXPECT_EQ(s.Row(3), kTempRow);
  EXPECT_EQ(s.Row(4), "Humidity      85.00 %  /   85.00 %");
  EXPECT_EQ(s.Row(5), "CO2           1.600 %  /   1.500 %");
  EXPECT_EQ(s.Row(6), "Evap.Temp.    -2.00 C  /    0.00 C");
  EXPECT_EQ(s.Row(7), "Defrost in   >  3.1 hrs to 12.00 C");
  EXPECT_TRUE(s.Row(9).starts_with("Vent.         (512) ")) << s.Row(9);
  EXPECT_TRUE(s.Row(10).starts_with("Temp.Ctl      (513)"));
  EXPECT_TRUE(s.Row(11).starts_with("FloorHtr      (514)"));
  EXPECT_EQ(s.Row(12), "TempMode      (515) H");
  EXPECT_EQ(s.Row(14), kTotalRow);
  EXPECT_EQ(s.Row(15), kHeaterRow);
  EXPECT_EQ(s.Row(16), "tt_Cooler     40000 s  /    27.9 %");
  EXPECT_EQ(s.Row(17), "t_Cooler      20000 s  /    13.9 %");
  EXPECT_EQ(s.Row(18), "tt_Defrost     5400 s  /     3.8 %");
}

}  // namespace e2e
