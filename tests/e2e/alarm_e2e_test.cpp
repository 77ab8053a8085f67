// The alarms of the real climon against climon-sim driven out of its band while it runs:
// at the console, in a headless room acknowledged by another process, and through the
// site's program to a real mail server.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "Harness.h"
#include "logformat/LogFormat.h"

namespace e2e {
namespace {

// The simulator's temperature word: 500 is 12.50 C, on its set point; 600 is 15.00 C.
void Drive(const std::string& control, int word) {
  std::ofstream(control) << "DM992=" << word << "\n";
}

std::vector<logformat::AuditFields> AuditRows(const std::string& path) {
  std::vector<logformat::AuditFields> rows;
  logformat::ReadAuditRows(ReadFile(path), rows);
  return rows;
}

const logformat::AuditFields* Event(const std::vector<logformat::AuditFields>& rows,
                                    const std::string& event) {
  for (const auto& r : rows) {
    if (r[logformat::kAuditEvent] == event) return &r;
  }
  return nullptr;
}

constexpr const char* kShortTimes = " --alarms --delay 0.05 --settle 0";

TEST(Alarms, AtTheConsoleRowBellAndTheKeyA) {
  const std::string dir = TempDir(), control = dir + "/control", audit = dir + "/audit.csv";
  Drive(control, 500);
  Climon t({"--control", control}, "", "",
           Quote(ClimonBin()) + kShortTimes + " --audit " + Quote(audit));
  t.Answer("1");
  ASSERT_TRUE(t.s.WaitForText("Temp.         12.50 C"));
  EXPECT_EQ(t.s.Row(21), "");
  Drive(control, 600);
  ASSERT_TRUE(t.s.WaitFor([&] {
    return t.s.Row(21).starts_with("ALARM temperature: 15.00 above the limit 13.50");
  })) << t.s.Row(21);
  EXPECT_TRUE(t.s.Row(21).ends_with("  A: acknowledge"));
  EXPECT_NE(t.s.Output().find('\a'), std::string::npos);  // the bell
  t.s.Type("a");
  ASSERT_TRUE(t.s.WaitFor([&] { return t.s.Row(20) == "Cause:"; }));
  t.s.Type("door left open");
  t.s.Key("Enter");
  ASSERT_TRUE(t.s.WaitFor([&] { return t.s.Row(20) == "Corrective action:"; }));
  t.s.Type("closed it");
  t.s.Key("Enter");
  ASSERT_TRUE(t.s.WaitFor([&] { return t.s.Row(21).starts_with("Acknowledged: temperature"); }))
      << t.s.Row(21);
  EXPECT_EQ(t.s.Row(20), "");
  Drive(control, 500);
  ASSERT_TRUE(t.s.WaitFor([&] { return t.s.Row(21).empty(); }));
  t.s.Key("Escape");
  EXPECT_EQ(t.s.WaitExit(), 0);
  const auto rows = AuditRows(audit);
  const auto* start = Event(rows, "start");
  const auto* ack = Event(rows, "alarm acknowledged");
  ASSERT_TRUE(start && ack && Event(rows, "alarm raised") && Event(rows, "alarm cleared"))
      << ReadFile(audit);
  EXPECT_FALSE((*ack)[logformat::kAuditUser].empty());
  EXPECT_EQ((*ack)[logformat::kAuditUser], (*start)[logformat::kAuditUser]);  // the login
  EXPECT_TRUE(
      (*ack)[logformat::kAuditDetail].ends_with("\ncause: door left open\naction: closed it"))
      << (*ack)[logformat::kAuditDetail];
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// Without --alarms the program is as it was: no row 21 and no question for the key A.
TEST(Alarms, NotAskedForNothingChanges) {
  Climon t({"--set", "DM992=600"});
  t.Answer("1");
  ASSERT_TRUE(t.s.WaitForText("Temp.         15.00 C"));
  t.s.Type("a");
  ASSERT_TRUE(t.s.WaitForText("tTotal"));
  EXPECT_FALSE(t.s.WaitFor([&] { return !t.s.Row(20).empty() || !t.s.Row(21).empty(); }, 2s));
  EXPECT_EQ(t.s.Output().find('\a'), std::string::npos);
  t.s.Key("Escape");
  EXPECT_EQ(t.s.WaitExit(), 0);
}

// A headless room acknowledged by `climon --acknowledge`, with each bad request said and
// nothing changed by it; the metrics follow the alarm's state.
TEST(Alarms, AHeadlessRoomAcknowledgedFromAnotherProcess) {
  const std::string dir = TempDir(), acks = dir + "/acks", audit = dir + "/audit.csv",
                    prom = dir + "/m.prom";
  std::system(("mkdir " + Quote(acks)).c_str());
  Simulator sim(dir, {"--set", "DM992=600"});
  Service svc(sim.link(), std::string("--port 1 --room R1") + kShortTimes + " --ack-folder " +
                              Quote(acks) + " --audit " + Quote(audit) + " --metrics " +
                              Quote(prom));
  ASSERT_TRUE(
      Poll([&] { return svc.Err().find("alarm raised: temperature") != std::string::npos; }, 20s))
      << svc.Err();
  EXPECT_TRUE(Poll(
      [&] {
        return ReadFile(prom).find("climon_alarm_state{room=\"R1\",alarm=\"temperature\"} 2") !=
               std::string::npos;
      },
      5s));
  const std::string ack = Quote(ClimonBin()) + " --acknowledge r1 --ack-folder " + Quote(acks);
  // A cause of 10,000 characters with control bytes: one line, cut, nothing else lost.
  std::string cause(10000, 'x');
  cause[3] = '\x1b';
  cause[5] = '\n';
  struct Case {
    std::string args;
    int status;
    std::string said;  // the start of its one line
  } cases[] = {
      {ack, 2, "climon: option --acknowledge needs --cause and --action"},
      {Quote(ClimonBin()) + " --acknowledge ../r1 --cause c --action a", 2,
       "climon: option --acknowledge: '../r1' is not a service name"},
      {Quote(ClimonBin()) + " --acknowledge nowhere --ack-folder " + Quote(dir + "/none") +
           " --cause c --action a",
       1, "climon: no climon service of room nowhere runs on this machine"},
      // A user who may not write in the room's folder (the site's group decides).
      {"setpriv --reuid=65534 --regid=65534 --clear-groups " + ack + " --cause c --action a", 1,
       ::geteuid() == 0 ? "climon: you may not acknowledge the alarms of room r1" : ""},
      {ack + " --cause " + Quote(cause) + " --action 'closed it'", 0,
       "climon: r1: acknowledged: temperature: 15.00 above the limit 13.50 since "},
      {ack + " --cause again --action again", 1,
       "climon: r1: no alarm of R1 to acknowledge: nothing changed"},
  };
  for (const Case& c : cases) {
    Ran r = RunProgram(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.substr(0, 200);
    const std::string& said = c.status == 0 ? r.out : r.err;
    EXPECT_EQ(said.substr(0, c.said.size()), c.said) << said;
  }
  EXPECT_TRUE(Poll(
      [&] {
        return ReadFile(prom).find("climon_alarm_state{room=\"R1\",alarm=\"temperature\"} 3") !=
               std::string::npos;
      },
      5s));
  ::kill(svc.pid, SIGTERM);
  EXPECT_EQ(svc.Wait(5s), 0);
  const auto rows = AuditRows(audit);
  const auto* row = Event(rows, "alarm acknowledged");
  ASSERT_NE(row, nullptr) << ReadFile(audit);
  const std::string& detail = (*row)[logformat::kAuditDetail];
  EXPECT_NE(detail.find("\ncause: xxx x " + std::string(494, 'x') + "\naction: closed it"),
            std::string::npos)
      << detail.substr(0, 200);
  EXPECT_EQ(std::count_if(
                rows.begin(), rows.end(),
                [](const auto& r) { return r[logformat::kAuditEvent] == "alarm acknowledged"; }),
            1);
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// The mail example, run by --notify on each event, delivered to a real SMTP server
// (Debian's aiosmtpd) on 127.0.0.1 through msmtp as the local sendmail.
TEST(Alarms, TheMailExampleReachesAMailServer) {
  if (std::system("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null && command -v msmtp "
                  ">/dev/null") != 0) {
    std::printf("skipped: e2e.Alarms: python3-aiosmtpd or msmtp is not installed\n");
    GTEST_SKIP();
  }
  const std::string dir = TempDir();
  const int port = FreePort();
  const std::string box = dir + "/box";
  std::system(("/usr/bin/python3 -m aiosmtpd -n -l 127.0.0.1:" + std::to_string(port) +
               " -c aiosmtpd.handlers.Mailbox " + Quote(box) + " >/dev/null 2>&1 & echo $! > " +
               Quote(dir + "/smtp.pid"))
                  .c_str());
  ASSERT_TRUE(Poll([&] { return Listens(port); }, 10s));
  Simulator sim(dir, {"--set", "DM992=600"});
  const std::string env = "CLIMON_MAIL_TO=qa@example.com CLIMON_SENDMAIL=" +
                          Quote("msmtp --host=127.0.0.1 --port=" + std::to_string(port) +
                                " --from=climon@localhost --auth=off --tls=off");
  Service svc(sim.link(),
              std::string("--port 1 --room 'Room 1'") + kShortTimes + " --notify " +
                  Quote(std::string(CLIMON_SOURCE_DIR) + "/monitoring/notify-mail"),
              env);
  std::string mail;
  EXPECT_TRUE(Poll(
      [&] {
        mail = RunProgram("cat " + Quote(box) + "/new/* 2>/dev/null").out;
        return !mail.empty();
      },
      20s))
      << svc.Err();
  for (const char* text : {"To: qa@example.com",
                           "Subject: [climon] ALARM Room 1: temperature: "
                           "15.00 above the limit 13.50 since ",
                           "Reading:  15.00 (limit 13.50)", "Event:    temperature raised"}) {
    EXPECT_NE(mail.find(text), std::string::npos) << text << "\n" << mail;
  }
  ::kill(svc.pid, SIGTERM);
  EXPECT_EQ(svc.Wait(5s), 0);
  EXPECT_EQ(svc.Err().find("notify program"), std::string::npos) << svc.Err();
  std::system(("kill $(cat " + Quote(dir + "/smtp.pid") + ")").c_str());
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

}  // namespace
}  // namespace e2e
