// The alarm rule's cases, a room's temperature minute by minute with the events the rule
// must give: run on the state machine itself and, through logs written of them, by
// climon-report.
#pragma once

#include <string>
#include <vector>

namespace alarmcases {

// Minutes [from, to) of a case: the temperature's text ("" a failed read, "down" no
// value read at all, "off" climon not running), its set point, the defrost count-down
// ("" none).
struct Span {
  int from, to;
  const char* temp;
  const char* set = "12.50";
  const char* defrost = "";
};

struct Case {
  const char* name;
  std::vector<Span> spans;
  std::vector<int> acks;  // the minutes an acknowledgement is given
  const char* events;     // "minute event slot", in order
};

// With the default settings: band +-1.0, delay 15, settle 10, after a defrost 30, re-alarm
// 60, the link 5.
inline const std::vector<Case> kCases = {
    {"raised after the delay, latched until acknowledged",
     {{0, 60, "14.00"}, {60, 80, "12.50"}},
     {70},
     "25 raised temperature, 60 cleared temperature, 70 acknowledged temperature"},
    {"a departure shorter than the delay",
     {{0, 20, "12.50"}, {20, 30, "14.00"}, {30, 60, "12.50"}},
     {},
     ""},
    {"back inside, but not by the differential, counts on",
     {{0, 20, "12.50"},
      {20, 30, "13.60"},
      {30, 33, "13.40"},
      {33, 50, "13.60"},
      {50, 55, "13.35"},
      {55, 60, "13.20"}},
     {},
     "35 raised temperature, 55 cleared temperature"},
    {"a set point's step settles first",
     {{0, 20, "12.50"}, {20, 60, "12.50", "10.00"}},
     {},
     "45 raised temperature"},
    {"a defrost, then the time after it",
     {{0, 20, "12.50", "12.50", "20"},
      {20, 25, "14.00", "12.50", "0"},
      {25, 80, "14.00", "12.50", "480"}},
     {},
     "70 raised temperature"},
    {"the link lost and back, then settled",
     {{0, 20, "12.50"}, {20, 30, "down"}, {30, 60, "14.00"}},
     {},
     "25 raised link, 30 cleared link, 55 raised temperature"},
    {"a failed read in a departure",
     {{0, 20, "12.50"}, {20, 30, "14.00"}, {30, 32, ""}, {32, 40, "14.00"}},
     {},
     "35 raised temperature"},
    {"acknowledged, raised again while still outside",
     {{0, 20, "12.50"}, {20, 200, "11.00"}, {200, 210, "12.50"}},
     {40, 110},
     "35 raised temperature, 40 acknowledged temperature, 100 repeated temperature, "
     "110 acknowledged temperature, 170 repeated temperature, 200 cleared temperature"},
    {"cleared unacknowledged, then out again",
     {{0, 20, "12.50"}, {20, 40, "14.00"}, {40, 50, "12.50"}, {50, 75, "14.00"}},
     {70},
     "35 raised temperature, 40 cleared temperature, 65 repeated temperature, "
     "70 acknowledged temperature"},
    {"a run's alarms end with it",
     {{0, 20, "12.50"}, {20, 40, "14.00"}, {40, 60, "off"}, {60, 90, "14.00"}},
     {},
     "35 raised temperature, 85 raised temperature"},
};

}  // namespace alarmcases
