// The metrics file and the headless service of the real climon against climon-sim.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <set>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "Harness.h"
#include "Scenarios.h"

namespace e2e {
namespace {

// "name{labels} value" lines by their name and labels.
std::map<std::string, std::string> Samples(const std::string& text) {
  std::map<std::string, std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t space = line.rfind(' ');
    out[line.substr(0, space)] = line.substr(space + 1);
  }
  return out;
}

bool HavePromtool() {
  return std::system("command -v promtool >/dev/null 2>&1") == 0;
}

TEST(Metrics, TheFileHoldsWhatTheScreenShowsInBaseUnitsAndPromtoolAcceptsIt) {
  struct Case {
    std::vector<std::string> sim;
    std::map<std::string, std::string> want;  // absent: ""
  } cases[] = {
      {{"--variant", "1"},
       {{"climon_temperature_celsius{room=\"Room 4\"}", "12.50"},
        {"climon_humidity_ratio{room=\"Room 4\"}", "0.8500"},
        {"climon_co2_ratio{room=\"Room 4\"}", "0.01600"},
        {"climon_co2_setpoint_ratio{room=\"Room 4\"}", "0.01500"},
        {"climon_evaporator_temperature_celsius{room=\"Room 4\"}", "-2.00"},
        {"climon_defrost_next_seconds{room=\"Room 4\"}", "11100"},
        {"climon_relay_on{room=\"Room 4\",relay=\"temp_mode\"}", "0"},
        {"climon_operating_seconds_total{room=\"Room 4\",counter=\"total\"}", "143415"},
        {"climon_operating_seconds_total{room=\"Room 4\",counter=\"defrost\"}", "5400"},
        {"climon_link_up{room=\"Room 4\"}", "1"},
        {"climon_info{room=\"Room 4\",port=\"1\",variant=\"1\",model=\"512\",version=\"1.0.0\"}",
         "1"}}},
      {{"--variant", "2", "--fault", "silence", "--fault-match", "RD DM993"},
       {{"climon_temperature_celsius{room=\"Room 4\"}", "12.50"},
        {"climon_humidity_ratio{room=\"Room 4\"}", ""},  // not read: absent, never 0
        {"climon_humidity_setpoint_ratio{room=\"Room 4\"}", "0.8500"},
        {"climon_evaporator_temperature_celsius{room=\"Room 4\"}", ""},
        {"climon_operating_seconds_total{room=\"Room 4\",counter=\"cool_eff\"}", "5400"},
        {"climon_link_up{room=\"Room 4\"}", "1"}}},
  };
  for (const auto& c : cases) {
    std::string dir = TempDir(), prom = dir + "/room.prom";
    Climon t(c.sim, "", "", Quote(ClimonBin()) + " --room 'Room 4' --metrics " + Quote(prom));
    t.Answer("1");
    ASSERT_TRUE(t.s.WaitForText("tTotal       143415 s", 20s)) << t.s.ScreenText();
    ASSERT_TRUE(t.s.WaitFor([&] {
      return Samples(ReadFile(prom))
                 .count(
                     "climon_operating_seconds_total{room=\"Room 4\","
                     "counter=\"total\"}") > 0;
    }));
    std::string text = ReadFile(prom);
    auto got = Samples(text);
    for (const auto& [key, value] : c.want) {
      if (value.empty()) {
        EXPECT_EQ(got.count(key), 0u) << key;
      } else {
        EXPECT_EQ(got[key], value) << key;
      }
    }
    EXPECT_TRUE(text.ends_with("\n"));
    if (HavePromtool()) {
      Ran r = RunProgram("promtool check metrics <" + Quote(prom));
      EXPECT_EQ(r.status, 0) << r.out << r.err;
      EXPECT_EQ(r.out + r.err, "");
    }
    t.s.Key("Escape");
    EXPECT_EQ(t.s.WaitExit(), 0);
    std::system(("rm -rf " + Quote(dir)).c_str());
  }
}

TEST(Metrics, AReaderNeverSeesAPartialFile) {
  std::string dir = TempDir(), prom = dir + "/room.prom";
  Climon t({"--live"}, "", "", Quote(ClimonBin()) + " --metrics " + Quote(prom));
  t.Answer("1");
  ASSERT_TRUE(t.s.WaitFor([&] { return !ReadFile(prom).empty(); }, 20s));
  // Read as fast as it goes until the file has been replaced by four passes.
  int reads = 0, partial = 0;
  std::set<std::string> passes;
  auto until = std::chrono::steady_clock::now() + 30s;
  while (passes.size() < 4 && std::chrono::steady_clock::now() < until) {
    std::ifstream f(prom, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    std::string text = ss.str();
    ++reads;
    if (!text.ends_with("\n") || text.find("climon_info{") == std::string::npos) {
      ++partial;
      continue;
    }
    passes.insert(Samples(text)["climon_last_pass_timestamp_seconds{room=\"COM1\"}"]);
  }
  EXPECT_EQ(partial, 0) << "of " << reads;
  EXPECT_EQ(passes.size(), 4u) << "passes seen in " << reads << " reads";
  t.s.Key("Escape");
  EXPECT_EQ(t.s.WaitExit(), 0);
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// climon --headless started as a service is: no terminal at all, a session of its own.
bool Poll(const std::function<bool()>& ok, std::chrono::milliseconds bound) {
  auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    if (ok()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return ok();
}

TEST(Headless, RunsWithoutATerminalAndEachStopSignalEndsItAsEscDoes) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::string dir = TempDir();
    Simulator sim(dir, {});
    Service svc(sim.link(), "--port 1 --room R1 --metrics " + Quote(dir + "/m.prom"));
    ASSERT_TRUE(Poll([&] { return !ReadFile(dir + "/m.prom").empty(); }, 20s)) << svc.Err();
    std::size_t sent = sim.Commands().size();
    auto at = std::chrono::steady_clock::now();
    ::kill(svc.pid, sig);
    std::optional<int> status = svc.Wait(1s);
    EXPECT_EQ(status, 0) << "signal " << sig;
    EXPECT_LT(std::chrono::steady_clock::now() - at, 1s);
    // As after ESC: at most what the pass had under way until its next key poll (the
    // transaction, an indicator's relay, the next word), then nothing, not even "CQ".
    EXPECT_LE(sim.Commands().size(), sent + 3) << "signal " << sig;
    EXPECT_EQ(sim.Commands().back() == "CQ", false);
    EXPECT_EQ(svc.Err(),
              "climon: started: port COM1, room \"R1\", variant 1, model 512\nclimon: ended\n");
    EXPECT_EQ(ReadFile(svc.dir + "/out"), "");  // no screen was drawn
    sim.Stop();
    std::system(("rm -rf " + Quote(dir)).c_str());
  }
}

TEST(Headless, TheJournalTellsOfALostLinkAndAPortThatCannotBeOpened) {
  std::string dir = TempDir();
  Simulator sim(dir, {});
  Service svc(sim.link(), "--port 1");
  ASSERT_TRUE(Poll([&] { return svc.Err().find("started") != std::string::npos; }, 20s));
  sim.Stop();
  EXPECT_TRUE(Poll(
      [&] { return svc.Err().find("No reply from the controller since ") != std::string::npos; },
      10s))
      << svc.Err();
  sim.Start();
  EXPECT_TRUE(Poll(
      [&] { return svc.Err().find("the controller replies again") != std::string::npos; }, 10s))
      << svc.Err();
  ::kill(svc.pid, SIGTERM);
  EXPECT_EQ(svc.Wait(2s), 0);
  // Nobody can answer the report of a port that cannot be opened: it ends the run, so
  // that the service manager sees the failure and starts it again later.
  Service missing(dir + "/nothing-here", "--port 1");
  EXPECT_EQ(missing.Wait(5s), 1);
  EXPECT_EQ(missing.Err(),
            "climon: Invalid Port Number: 1   E2 (headless: no operator to answer) (runtime "
            "error 1)\n");
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

TEST(Headless, RefusedWithoutAPortOrWithABadRoomNameOrMetricsPath) {
  struct Case {
    std::string args, err;
  } cases[] = {
      {"--headless", "climon: option --headless needs --port: no one is there to type it"},
      {"--room \"$(printf 'a\\tb')\"", "climon: option --room: the name holds a control character"},
      {"--room " + std::string(65, 'x'), "climon: option --room: the name is longer than 64 bytes"},
      {"--metrics /nonexistent/dir/m.prom",
       "climon: cannot write the metrics beside /nonexistent/dir/m.prom: No such file or "
       "directory"},
      // The textfile folder itself, a likely slip: it would take a ".tmp" and never the file.
      {"--port 1 --metrics /tmp",
       "climon: cannot write the metrics to /tmp: it is a folder; name a file in it, such as "
       "climon-room.prom"},
      // Latin-1 would make the exporter drop every series of the file, alerts included.
      {"--room \"$(printf 'K\\374hlraum')\"",
       "climon: option --room: the name is not UTF-8 text (byte 0xFC at 2): give it in UTF-8"},
  };
  for (const auto& c : cases) {
    Ran r = RunProgram(Quote(ClimonBin()) + " " + c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << c.args;
  }
}

}  // namespace
}  // namespace e2e
