// A monitor on the in-memory screen, the scripted line and the virtual clock, with the
// simulated controller's command set behind the line.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "Controller.h"
#include "Fakes.h"
#include "monitor/Monitor.h"

namespace fakes {

struct MonitorFixture : testing::Test {
  VirtualClock clock;
  FakeConsole con{80, 25, &clock};
  sim::Controller plc{1, true};
  std::map<std::string, std::vector<std::string>> overrides;  // command -> replies, in turn
  FakePorts ports{clock, [this](const std::string& c) { return Answer(c); }};
  comLib3::ComLib3 com{con, clock, ports};
  monitor::Monitor m{com};
  ScriptedLine* line = nullptr;

  // A new monitor in the place of the old, as a new run has it: nothing of its state is set
  // by hand.
  void Renew() {
    std::destroy_at(&m);
    std::construct_at(&m, com);
  }

  bool silent = false;  // the controller answers nothing
  std::string Answer(const std::string& c) {
    if (silent) return "";
    auto it = overrides.find(c);
    if (it != overrides.end() && !it->second.empty()) {
      std::string r = it->second.front();
      if (it->second.size() > 1) it->second.erase(it->second.begin());
      return r;
    }
    return plc.Handle(c) + "\r\n";
  }
  // Port 1 opened as the start-up leaves it, with the controller of that device variant
  // detected on the line.
  void Open(int variant = 1) { Detect(m, variant); }
  void Detect(monitor::Monitor& monitor, int variant) {
    monitor.ComPort = 1;
    PLC_Lib3::OpenPlcPort(com, 1);
    line = ports.last;
    Set(std::string("R3000=") + (variant == 1 || variant == 9 ? "1" : "0"));
    Set(std::string("R3003=") + (variant == 9 ? "1" : "0"));
    Set(std::string("R3001=") + (variant == 2 ? "1" : "0"));
    monitor.DetectDeviceVariant(1);
    monitor.SelectCounterLabels();
    line->Forget();
  }
  void Set(const std::string& assignment) { ASSERT_TRUE(plc.Fix(assignment)) << assignment; }
  std::string Row(int y) const {
    std::string r = con.Row(y);
    while (!r.empty() && r.back() == ' ') r.pop_back();
    return r;
  }
  std::vector<std::string> Commands() const { return line->Commands(); }
  // Runs `passes` monitor passes: the numbers (from 1) of those that sent `command`.
  std::vector<int> PassesThatSend(const std::string& command, int passes) {
    std::vector<int> sent;
    for (int pass = 1; pass <= passes; ++pass) {
      line->Forget();
      m.MonitorPass();
      if (CountOf(command) > 0) sent.push_back(pass);
    }
    return sent;
  }
  int CountOf(const std::string& cmd) const {
    int n = 0;
    for (const auto& c : Commands()) n += c == cmd;
    return n;
  }
};

}  // namespace fakes
