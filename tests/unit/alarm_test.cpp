// The alarm rule: the cases' minutes through the state machine, and its options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "AlarmCases.h"
#include "MonitorFixture.h"
#include "TempFiles.h"
#include "alarm/Alarm.h"
#include "app/Acknowledge.h"
#include "app/Notify.h"

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

}  // namespace

namespace {

struct AlarmConsole : fakes::MonitorFixture {
  std::vector<std::string> journal;
  std::unique_ptr<monitor::Monitor> watched;
  void SetUp() override {
    monitor::Outputs out;
    out.journal = [this](const std::string& said, monitor::Severity) { journal.push_back(said); };
    out.alarms = alarms::Settings{};
    out.alarms->delay_ms = 0;
    out.alarms->settle_ms = 0;
    out.user = "op";
    watched = std::make_unique<monitor::Monitor>(com, out);
    Detect(*watched, 1);
    watched->MonitorPreparation();
  }
  // Passes until the virtual clock has gone on by `ms`.
  void PassFor(fakes::Ms ms) {
    const fakes::Ms until = clock.NowMs() + ms;
    while (clock.NowMs() < until) watched->MonitorPass();
  }
};

// Row 21, the bell each minute until the operator acknowledges at the console, ESC
// leaving the questions without acknowledging, and the row cleared once it is over.
TEST_F(AlarmConsole, RowBellAndTheKeyA) {
  PassFor(fakes::Ms(2000));
  EXPECT_EQ(Row(21), "");
  Set("DM992=600");  // 15.00 against 12.50 +- 1.0
  watched->MonitorPass();
  EXPECT_TRUE(Row(21).starts_with("ALARM temperature: 15.00 above the limit 13.50 since 08:00:0"))
      << Row(21);
  EXPECT_TRUE(Row(21).ends_with("  A: acknowledge"));
  EXPECT_EQ(con.bells, 1);
  PassFor(fakes::Ms(61000));
  EXPECT_EQ(con.bells, 2);  // again a minute on
  const fakes::Ms t = clock.NowMs();
  con.Type("a", t);
  con.TypeCode(27, t + fakes::Ms(300));  // ESC at the cause: nothing acknowledged
  PassFor(fakes::Ms(2000));
  EXPECT_FALSE(watched->Stopping());
  EXPECT_TRUE(Row(21).starts_with("ALARM temperature"));
  const fakes::Ms u = clock.NowMs();
  con.Type("a", u);
  con.Type("door\x01 open\r", u + fakes::Ms(300));
  con.Type("shut it\r", u + fakes::Ms(600));
  PassFor(fakes::Ms(3000));
  EXPECT_TRUE(Row(21).starts_with("Acknowledged: temperature: 15.00")) << Row(21);
  EXPECT_EQ(Row(20), "");  // the questions' row cleared
  EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::string& j) {
    return j.starts_with("alarm acknowledged by op: temperature") &&
           j.ends_with("; cause: door open; action: shut it");  // a control byte not kept
  }));
  const int bells = con.bells;
  PassFor(fakes::Ms(61000));
  EXPECT_EQ(con.bells, bells);  // acknowledged: no more bells
  Set("DM992=500");
  PassFor(fakes::Ms(1500));
  EXPECT_EQ(Row(21), "");
  EXPECT_TRUE(journal.back().starts_with("alarm cleared: temperature: back 12.50, peak 15.00"));
}

}  // namespace

#ifndef _WIN32
namespace {

// The site's program for each kind of outcome: what the journal is told, and the
// variables a program is given.
TEST(Notify, EachOutcomeAndTheVariables) {
  Folder d;
  const std::string env = d.dir + "/env.txt";
  struct Case {
    std::string program;  // a script's body, or a path
    fakes::Ms advance;    // virtual time let pass while it runs
    std::string said;     // the start of the one line told; empty: none
  } cases[] = {
      {"#!/bin/sh\nenv | grep ^CLIMON_ | sort > " + env + "\n", fakes::Ms(0), ""},
      {"#!/bin/sh\nexit 3\n", fakes::Ms(0),
       "the notify program P failed for the raised "
       "temperature: exit status 3"},
      {"#!/bin/sh\nyes flood | head -c 10000000\n", fakes::Ms(0), ""},
      {"#!/bin/sh\nsleep 100\n", fakes::Ms(31000),
       "the notify program P failed for the raised temperature: ended after 30 s"},
      {d.dir + "/missing", fakes::Ms(0),
       "the notify program P could not be started for the raised temperature: No such file"},
  };
  alarms::Event e;
  e.slot = alarms::kTemp;
  e.reading = 14.2;
  e.limit = 13.5;
  e.set_point = 12.5;
  e.at = e.since = {1796803200000, 60};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::string program = c.program;
    if (program.starts_with("#!")) {
      program = d.Write("p" + std::to_string(i), c.program);
      std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    }
    fakes::VirtualClock clock;
    std::vector<std::string> said;
    {
      app::Notifier n(program, clock, false);
      n.Event(e, "Room 1");
      for (int tries = 0; tries < 500 && !n.Idle(); ++tries) {
        clock.Advance(c.advance / 40);
        std::vector<std::string> got = n.Poll();
        said.insert(said.end(), got.begin(), got.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    std::string want = c.said;
    if (auto p = want.find(" P "); p != std::string::npos) want.replace(p + 1, 1, program);
    EXPECT_EQ(said.empty() ? "" : said[0].substr(0, want.size()), want) << c.program;
  }
  std::stringstream text;
  text << std::ifstream(env).rdbuf();
  EXPECT_EQ(text.str(),
            "CLIMON_ALARM=temperature\nCLIMON_EVENT=raised\nCLIMON_LIMIT=13.50\n"
            "CLIMON_READING=14.20\nCLIMON_ROOM=Room 1\nCLIMON_SINCE=2026-12-09T09:00:00.000+01:00\n"
            "CLIMON_TEXT=temperature: 14.20 above the limit 13.50 since 09:00:00\n"
            "CLIMON_TIME=2026-12-09T09:00:00.000+01:00\n");
}

}  // namespace
#endif

#ifndef _WIN32
namespace {

// The acknowledgements' folder is written by a group: a link left there is neither taken
// for a request (its target's owner would lend the name) nor written through.
TEST(AckBox, ALinkIsNeitherTakenNorFollowed) {
  Folder d;
  const std::string target = d.Write("audit.csv", "the record\n");
  std::filesystem::create_symlink(target, d.dir + "/1-a.request");
  std::filesystem::create_symlink(target, d.dir + "/2-b.answer.tmp");
  d.Write("2-b.request", "climon acknowledgement 1\ndoor\nshut\n");
  app::AckBox box(d.dir);
  std::vector<monitor::AckRequest> got = box.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].cause, "door");
  EXPECT_EQ(got[0].action, "shut");
  got[0].answer("acknowledged: it");
  std::stringstream text, answer;
  text << std::ifstream(target).rdbuf();
  answer << std::ifstream(d.dir + "/2-b.answer").rdbuf();
  EXPECT_EQ(text.str(), "the record\n");
  EXPECT_EQ(answer.str(), "acknowledged: it\n");
  EXPECT_TRUE(std::filesystem::is_symlink(d.dir + "/1-a.request"));  // left alone
}

}  // namespace
#endif
