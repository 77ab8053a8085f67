// The alarm rule: the cases' minutes through the state machine, and its options.
#include <gtest/gtest.h>

#include <cstdlib>

#include "AlarmCases.h"
#include "alarm/Alarm.h"

namespace {

using alarms::Slot;

std::string Said(const std::vector<alarms::Event>& events, std::int64_t t0) {
  std::string out;
  for (const alarms::Event& e : events) {
    std::string what = alarms::EventName(e.what);
    out += (out.empty() ? "" : ", ") + std::to_string((e.at.ms - t0) / 60000) + " " +
           what.substr(what.find(' ') + 1) + " " + alarms::Name(e.slot);
  }
  return out;
}

TEST(Alarm, TheCasesMinuteByMinute) {
  for (const alarmcases::Case& c : alarmcases::kCases) {
    alarms::Machine m{alarms::Settings{}};
    std::vector<alarms::Event> events;
    bool running = false;
    for (const alarmcases::Span& s : c.spans) {
      for (int minute = s.from; minute < s.to; ++minute) {
        const record::Moment at{minute * 60000LL, 60};
        for (int ack : c.acks) {
          if (ack != minute) continue;
          if (auto e = m.Acknowledge(at, Slot::kTemp, "op", "door", "shut")) events.push_back(*e);
        }
        const std::string temp = s.temp;
        if (temp == "off") {
          running = false;
          continue;
        }
        alarms::Sample x;
        x.at = at;
        x.started = !running;
        running = true;
        x.link = temp != "down";
        if (x.link) x.set_point[Slot::kTemp] = std::atof(s.set);
        if (!temp.empty() && x.link) x.value[Slot::kTemp] = std::atof(s.temp);
        if (*s.defrost != '\0') x.defrost_minutes = std::atof(s.defrost);
        for (const alarms::Event& e : m.Step(x)) events.push_back(e);
      }
    }
    EXPECT_EQ(Said(events, 0), c.events) << c.name;
  }
}

// The numbers the metrics give, the alarm that most needs attention and what an event
// says of itself.
TEST(Alarm, StatesForemostAndText) {
  alarms::Settings s;
  s.delay_ms = 0;
  s.settle_ms = 0;
  alarms::Machine m(s);
  alarms::Sample x;
  x.at = {0, 0};
  x.started = true;
  x.value = {14.2, 85.0, std::nullopt};
  x.set_point = {12.5, 85.0, 0.3};
  std::vector<alarms::Event> e = m.Step(x);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(alarms::Text(e[0]), "temperature: 14.20 above the limit 13.50 since 00:00:00");
  EXPECT_EQ(static_cast<int>(m[Slot::kTemp].state), 2);
  x.at = {60000, 0};
  x.started = false;
  x.record = false;
  x.value[Slot::kTemp] = 12.5;
  ASSERT_EQ(m.Step(x).size(), 2u);  // cleared, and the record's alarm raised at once
  EXPECT_EQ(static_cast<int>(m[Slot::kTemp].state), 4);
  EXPECT_EQ(m.Foremost(), Slot::kRecord);  // raised and unacknowledged before cleared
  ASSERT_TRUE(m.Acknowledge(x.at, std::nullopt, "op", "disk full", "emptied"));
  EXPECT_EQ(static_cast<int>(m[Slot::kRecord].state), 3);
  EXPECT_EQ(m.Foremost(), Slot::kTemp);
  ASSERT_TRUE(m.Acknowledge(x.at, std::nullopt, "op", "", ""));
  EXPECT_EQ(static_cast<int>(m[Slot::kTemp].state), 0);
  EXPECT_FALSE(m.Acknowledge(x.at, Slot::kTemp, "op", "", ""));  // nothing left to take
}

TEST(Alarm, Options) {
  struct Row {
    std::vector<std::string> args;
    std::string error;
  };
  const Row rows[] = {
      {{"--delay", "0.5", "--realarm", "120", "--co2-above", "0.8"}, ""},
      {{"--settle", "-1"},
       "option --settle: '-1' is not a number of minutes from 0 to 1440 such as 15 or 0.5"},
      {{"--after-defrost", "1e9"},
       "option --after-defrost: '1e9' is not a number of minutes from 0 to 1440 such as 15 or "
       "0.5"},
      {{"--temp-band", "nan"},
       "option --temp-band: 'nan' is not a number from 0 to 100 such as 1.5"},
  };
  for (const Row& r : rows) {
    alarms::Settings s;
    cli::Program p{"t", "1", "", "", "", nullptr};
    EXPECT_EQ(cli::Read(p, r.args, alarms::Options(s)).error, r.error) << r.args[0];
    if (!r.error.empty()) continue;
    EXPECT_EQ(s.delay_ms, 30000);
    EXPECT_EQ(s.realarm_ms, 120 * 60000);
    EXPECT_EQ(s.bands[Slot::kCo2].above, 0.8);
  }
}

}  // namespace
