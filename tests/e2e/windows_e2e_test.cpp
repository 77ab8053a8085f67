// climon.exe under Wine in tmux against climon-sim on a pseudo-terminal that Wine maps as
// COM5. scripts/test-windows.sh prepares Wine and names the programs in the environment:
// CLIMON_WIN_EXE (climon.exe), CLIMON_WIN_MODES (console_modes.exe) and CLIMON_WINE_COM5
// (the path that COM5 is mapped to; each test's simulator links itself there). The tests
// run one at a time: there is one COM5.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Harness.h"
#include "RoomDay.h"
#include "Scenarios.h"

namespace e2e {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? "" : v;
}

// The Windows name of a file here, as Wine's Z: drive shows it.
std::string WinPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

struct Wine : testing::Test {
  std::string exe = Env("CLIMON_WIN_EXE"), modes = Env("CLIMON_WIN_MODES"),
              com5 = Env("CLIMON_WINE_COM5");
  void SetUp() override {
    if (exe.empty() || com5.empty()) GTEST_SKIP() << "run by scripts/test-windows.sh";
  }
  std::string Command(const std::string& args = "") const { return "wine " + Quote(exe) + args; }
};

// climon.exe at the monitor on COM5.
struct WinClimon : Climon {
  WinClimon(const Wine& w, std::vector<std::string> options, const std::string& env = "")
      : Climon(std::move(options), env, w.com5, w.Command()) {}
};

TEST_F(Wine, AMissingPort) {
  WinClimon t(*this, {});
  auto& s = t.s;
  t.Answer("7");  // Wine maps no COM7
  ASSERT_TRUE(s.WaitForText("Invalid Port Number: 7   E2")) << s.ScreenText();
  // The report waits for a key: nothing has gone on past it.
  EXPECT_EQ(s.ScreenText().find("System"), std::string::npos);
  s.Type("x");
  ASSERT_TRUE(s.WaitForText("t_HeatEff.  ", 30s)) << s.ScreenText();  // variant 3
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(30s), 0);
  EXPECT_TRUE(t.sim.Commands().empty());
}

TEST_F(Wine, ASecondClimonOnAPortInUseIsRefused) {
  WinClimon first(*this, {});
  first.Answer("5");
  ASSERT_TRUE(first.Shows(3, kTempRow)) << first.s.ScreenText();
  Session second(com5, "", Command());
  ASSERT_TRUE(second.WaitForText("Enter Comport"));
  second.Type("5");
  second.Key("Enter");
  EXPECT_TRUE(second.WaitForText("Invalid Port Number: 5   E5")) << second.ScreenText();
  // The first goes on undisturbed.
  std::size_t seen = first.sim.Commands().size();
  EXPECT_TRUE(first.s.WaitFor([&] { return first.sim.Commands().size() > seen + 10; }));
  EXPECT_EQ(first.s.Row(3), kTempRow);
  second.Type("x");
  second.Key("Escape");
  EXPECT_EQ(second.WaitExit(30s), 0);
  first.s.Key("Escape");
  EXPECT_EQ(first.s.WaitExit(), 0);
}

TEST_F(Wine, MetricsAreReplacedEachPassAndHeadlessEndsOnCtrlC) {
  std::string dir = TempDir(), prom = dir + "/room.prom";
  Simulator sim(dir, {}, com5);
  Session s(com5, "", Command(" --headless --port 5 --room Win --metrics " + Quote(WinPath(prom))));
  ASSERT_TRUE(s.WaitFor([&] { return !ReadFile(prom).empty(); }, 30s)) << s.ScreenText();
  std::string first = ReadFile(prom);
  ASSERT_TRUE(s.WaitFor([&] { return ReadFile(prom) != first; }, 10s));  // a new file a pass
  std::string text = ReadFile(prom);
  EXPECT_NE(text.find("climon_temperature_celsius{room=\"Win\"} 12.50\n"), std::string::npos)
      << text;
  if (std::system("command -v promtool >/dev/null 2>&1") == 0) {
    Ran r = RunProgram("promtool check metrics <" + Quote(prom));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
  }
  std::size_t sent = sim.Commands().size();
  s.Key("C-c");
  EXPECT_EQ(s.WaitExit(10s), 0) << s.ScreenText();
  EXPECT_LE(sim.Commands().size(), sent + 3);
  EXPECT_NE(sim.Commands().back(), "CQ");
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// Ctrl-C at the monitor ends the run as ESC does, with its end in the audit trail, and
// then the program as Ctrl-C ends it.
TEST_F(Wine, CtrlCAtTheMonitorWritesTheEndRow) {
  std::string dir = TempDir(), audit = dir + "/audit.csv";
  Simulator sim(dir, {}, com5);
  Session s(com5, "", Command(" --port 5 --audit " + Quote(WinPath(audit))));
  ASSERT_TRUE(s.WaitForText("tTotal", 30s)) << s.ScreenText();
  s.Key("C-c");
  EXPECT_TRUE(s.WaitExit(10s).has_value()) << s.ScreenText();
  EXPECT_NE(sim.Commands().back(), "CQ");
  const std::string text = ReadFile(audit);
  // The last row, sealed.
  const std::size_t end = text.rfind(",end,Ctrl-C,,");
  EXPECT_TRUE(end != std::string::npos && text.find("\r\n", end) == text.size() - 2) << text;
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// An alarm at climon.exe's console: row 21, then the key A and the two answers typed in
// the console's line editor, into the audit trail.
TEST_F(Wine, AnAlarmAcknowledgedAtTheConsole) {
  std::string dir = TempDir(), audit = dir + "/audit.csv";
  Simulator sim(dir, {"--set", "DM992=600"}, com5);
  Session s(com5, "",
            Command(" --port 5 --alarms --delay 0 --settle 0 --audit " + Quote(WinPath(audit))));
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(21).starts_with("ALARM temperature: 15.00"); }, 30s))
      << s.ScreenText();
  s.Type("a");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(20) == "Cause:"; }));
  s.Type("fan stopped");
  s.Key("Enter");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(20) == "Corrective action:"; }));
  s.Type("restarted it");
  s.Key("Enter");
  EXPECT_TRUE(s.WaitFor([&] { return s.Row(21).starts_with("Acknowledged: temperature"); }))
      << s.ScreenText();
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(10s), 0);
  EXPECT_NE(ReadFile(audit).find("\ncause: fan stopped\naction: restarted it\""), std::string::npos)
      << ReadFile(audit);
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// A log rotation while climon.exe runs: the value log and the audit trail renamed, then
// deleted; each time the next pass opens a new file at the path, header first. (Wine
// gives a file deleted while open up at once, as Windows 10's POSIX semantics do; a
// Windows that keeps it pending until the handle closes is served by the same close and
// open.)
TEST_F(Wine, ALogRenamedThenDeletedGoesOnInANewFile) {
  std::string dir = TempDir(), log = dir + "/values.csv", audit = dir + "/audit.csv";
  Simulator sim(dir, {}, com5);
  Session s(com5, "",
            Command(" --headless --port 5 --log " + Quote(WinPath(log)) + " --audit " +
                    Quote(WinPath(audit))));
  auto rows = [&log] {
    std::string text = ReadFile(log);
    return std::count(text.begin(), text.end(), '\n');
  };
  // The header with its seal column.
  const std::string header =
      logformat::CsvHeader().substr(0, logformat::CsvHeader().size() - 2) + ",seal\r\n";
  ASSERT_TRUE(s.WaitFor([&] { return rows() >= 2; }, 30s));
  for (const char* how : {"mv", "rm"}) {
    std::string cmd = std::string(how) == "mv" ? "mv " + Quote(log) + " " + Quote(log + ".1")
                                               : "rm " + Quote(log);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << how;
    ASSERT_TRUE(s.WaitFor([&] { return rows() >= 3; }, 20s)) << how;
    std::string text = ReadFile(log);
    EXPECT_TRUE(text.starts_with(header)) << how << ": " << text.substr(0, 80);
  }
  EXPECT_TRUE(ReadFile(log + ".1").starts_with(header));
  ASSERT_EQ(std::system(("mv " + Quote(audit) + " " + Quote(audit + ".1")).c_str()), 0);
  s.Key("C-c");
  EXPECT_EQ(s.WaitExit(10s), 0) << s.ScreenText();
  // The end of the run went to a new audit trail at the path.
  const std::string audit_header = logformat::AuditHeader();
  EXPECT_TRUE(
      ReadFile(audit).starts_with(audit_header.substr(0, audit_header.size() - 2) + ",seal\r\n"));
  EXPECT_NE(ReadFile(audit).find(",end,"), std::string::npos) << ReadFile(audit);
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// Both output paths: the cells (Wine's default) ended by ESC, and the virtual terminal
// ended by a bad port number; the console's modes and code page are as before.
TEST_F(Wine, EveryEndGivesTheConsoleModesBack) {
  struct Case {
    const char* path;
    const char* typed;
    bool esc;
  } cases[] = {{"cells", "5", true}, {"vt", "3a", false}};
  for (const auto& c : cases) {
    std::string dir = TempDir();
    std::string record = dir + "/modes.txt";
    // A batch file runs the three in one console.
    std::string note = WinPath(modes) + " " + WinPath(record);
    std::ofstream(dir + "/run.bat")
        << "@" << note << "\r\n@" << WinPath(exe) << "\r\n@" << note << "\r\n";
    Simulator sim(dir, {}, com5);
    Session s(com5, std::string("CLIMON_CONSOLE=") + c.path,
              "wine cmd /c " + Quote(WinPath(dir + "/run.bat")));
    ASSERT_TRUE(s.WaitForText("Enter Comport", 20s)) << c.path << "\n" << s.ScreenText();
    s.Type(c.typed);
    s.Key("Enter");
    if (c.esc) {
      ASSERT_TRUE(s.WaitForText("System", 20s)) << s.ScreenText();
      s.Key("Escape");
    }
    ASSERT_TRUE(s.WaitExit(30s).has_value()) << c.path;
    std::string recorded = ReadFile(record);
    std::size_t nl = recorded.find('\n');
    ASSERT_NE(nl, std::string::npos) << c.path << ": " << recorded << "\n" << s.ScreenText();
    EXPECT_EQ(recorded.substr(nl + 1), recorded.substr(0, nl + 1)) << c.path;
    EXPECT_TRUE(s.TerminalRestored()) << c.path;
    std::system(("rm -rf " + Quote(dir)).c_str());
  }
}

// climon.exe's record across a rotation and a restart checks out in climon-report.exe and
// in the POSIX build's, and climon's in climon-report.exe; a change is found by both.
TEST_F(Wine, TheSealsOfEachBuildCheckOutInTheOther) {
  std::string dir = TempDir(), log = dir + "/values.csv", audit = dir + "/audit.csv";
  const std::string report_exe =
      "wine " + Quote(exe.substr(0, exe.rfind('/') + 1) + "climon-report.exe");
  auto rows = [&log] {
    std::string text = ReadFile(log);
    return std::count(text.begin(), text.end(), '\n');
  };
  {
    Simulator sim(dir, {}, com5);
    for (int run = 0; run < 2; ++run) {
      Session s(com5, "",
                Command(" --headless --port 5 --log " + Quote(WinPath(log)) + " --audit " +
                        Quote(WinPath(audit))));
      ASSERT_TRUE(s.WaitFor([&] { return rows() >= 3 + 2 * run; }, 30s));
      if (run == 0) {
        ASSERT_EQ(std::rename(log.c_str(), (log + ".1").c_str()), 0);
        ASSERT_TRUE(s.WaitFor([&] { return rows() >= 3; }, 20s));
      }
      s.Key("C-c");
      ASSERT_EQ(s.WaitExit(10s), 0) << s.ScreenText();
    }
    sim.Stop();
  }
  // The POSIX build's record beside it.
  {
    Simulator sim(dir, {}, dir + "/COM1");
    Ran posix = RunProgram("cd " + Quote(dir) + " && CLIMON_COM1=" + Quote(dir + "/COM1") +
                           " timeout --preserve-status -s INT 5 " + Quote(ClimonBin()) +
                           " --headless --port 1 --log posix.csv");
    ASSERT_EQ(posix.status, 0) << posix.err;  // a service ends well on a signal
    sim.Stop();
  }
  const std::string set = " values.csv.1 values.csv --audit audit.csv";
  for (const std::string& report : {Quote(ReportBin()), report_exe}) {
    for (const std::string& files : {set, std::string(" posix.csv")}) {
      Ran r = RunProgram("cd " + Quote(dir) + " && " + report + " --verify" + files);
      EXPECT_EQ(r.status, 0) << report << files << ": " << r.out << r.err;
      EXPECT_NE(r.out.find("The files are as climon wrote them."), std::string::npos) << r.out;
    }
  }
  std::string text = ReadFile(dir + "/values.csv.1");
  text[text.find(",5,1,") + 5] = '9';  // the first row's temperature
  std::ofstream(dir + "/values.csv.1", std::ios::binary | std::ios::trunc) << text;
  for (const std::string& report : {Quote(ReportBin()), report_exe}) {
    Ran r = RunProgram("cd " + Quote(dir) + " && " + report + " --verify" + set);
    EXPECT_EQ(r.status, 1) << report << ": " << r.out << r.err;
    EXPECT_NE(r.out.find("CHANGED: the value logs: a row changed"), std::string::npos) << r.out;
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// climon.exe on a serial device server: COM5 named by CLIMON_COM5 as ser2net's address,
// in RFC 2217 and raw TCP mode; the server killed and started again.
TEST_F(Wine, APortOnASerialDeviceServer) {
  if (std::system("command -v ser2net >/dev/null") != 0) {
    std::printf("skipped: Wine.APortOnASerialDeviceServer: ser2net is not installed\n");
    GTEST_SKIP();
  }
  const std::string dir = TempDir();
  Simulator sim(dir, {}, dir + "/COM1");
  Ser2net server(dir, sim.link());
  for (bool rfc2217 : {true, false}) {
    Session s(com5, "CLIMON_COM5=" + Quote(server.Address(rfc2217)), Command(" --port 5"));
    auto values = [&] { return s.Row(3) == kTempRow && s.Row(22).empty(); };
    ASSERT_TRUE(s.WaitFor([&] { return values() && s.Row(14) == kTotalRow; }, 30s))
        << rfc2217 << ": " << s.ScreenText();
    server.Signal(SIGKILL);
    ASSERT_TRUE(s.WaitFor(
        [&] { return s.Row(22).starts_with("No reply from the controller since "); }, 20s))
        << rfc2217 << ": " << s.ScreenText();
    server.Start();
    EXPECT_TRUE(s.WaitFor(values, 20s)) << rfc2217 << ": " << s.ScreenText();
    s.Key("Escape");
    EXPECT_EQ(s.WaitExit(20s), 0);
  }
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// climon-report.exe and climon-plot.exe read a rotated set (one file compressed, one
// named twice) and a range of it as the POSIX builds do: the same bytes out.
TEST_F(Wine, ReportAndChartOfACompressedSetAsOnPosix) {
  std::string dir = TempDir(), bin = exe.substr(0, exe.rfind('/') + 1);
  std::string header = logformat::CsvHeader();
  std::ofstream(dir + "/morning.csv", std::ios::binary) << header << roomday::Rows(0, 720);
  std::ofstream(dir + "/room.csv", std::ios::binary) << header << roomday::Rows(720, 1440);
  ASSERT_EQ(std::system(("gzip " + Quote(dir + "/morning.csv")).c_str()), 0);
  const std::string files = " room.csv morning.csv.gz room.csv";
  const std::string report = files + " --from 2026-12-09T06:00+01:00 --to 2026-12-09T21:00+01:00";
  const std::string plot = files + " --last 10h";
  Ran posix = RunProgram("cd " + Quote(dir) + " && " + Quote(ReportBin()) + report +
                         " --csv posix.csv && " + Quote(PlotBin()) + plot + " -o posix.svg");
  ASSERT_EQ(posix.status, 0) << posix.err;
  Ran win =
      RunProgram("cd " + Quote(dir) + " && wine " + Quote(bin + "climon-report.exe") + report +
                 " --csv win.csv && wine " + Quote(bin + "climon-plot.exe") + plot + " -o win.svg");
  ASSERT_EQ(win.status, 0) << win.err;
  EXPECT_EQ(ReadFile(dir + "/win.csv"), ReadFile(dir + "/posix.csv"));
  EXPECT_EQ(ReadFile(dir + "/win.svg"), ReadFile(dir + "/posix.svg"));
  EXPECT_NE(ReadFile(dir + "/win.csv").find("2026-12-09,Temperature,"), std::string::npos);
}

// A room as a Windows service: --install-service against climon-sim, sc start, the
// metrics file replaced pass after pass, sc stop (stopped, exit code 0), the journal in
// the event log, --remove-service. Wine's event log writes each reported event to its
// debug channel: the prefix is started again here with that channel on and the service
// manager's stderr (which the service inherits) in a file. What Wine does not do, and
// only a real Windows shows: the delayed automatic start at boot, the recovery's restart
// after a failure, LOCAL SERVICE's rights, Event Viewer's text from the message table.
TEST_F(Wine, ARoomAsAServiceStartsReportsAndStops) {
  std::string dir = TempDir(), prom = dir + "/room.prom", events = dir + "/events.txt";
  auto sc = [](const std::string& args) { return RunProgram("wine sc " + args + " 2>/dev/null"); };
  // The service manager's stderr is this file from here on.
  ASSERT_EQ(std::system(("wineserver -k; wineserver -p >/dev/null 2>&1; WINEDEBUG=trace+eventlog "
                         "wine cmd /c exit 2>" +
                         Quote(events))
                            .c_str()),
            0);
  const std::string control = dir + "/control";
  std::ofstream(control) << "DM992=500\n";
  Simulator sim(dir, {"--control", control}, com5);
  // With a keyed log: a key that cannot be read is not installed.
  const std::string log = dir + "/room.csv", key = dir + "/seal.key";
  const std::string keyed = " --log " + Quote(WinPath(log)) + " --seal-key " + Quote(WinPath(key));
  Ran no_key = RunProgram(Command(" --install-service t1 --port 5 --room T1 --metrics " +
                                  Quote(WinPath(prom)) + keyed));
  EXPECT_EQ(no_key.status, 2);
  EXPECT_NE(no_key.err.find("cannot read the seal key"), std::string::npos) << no_key.err;
  std::ofstream(key) << "0123456789abcdef0123456789abcdef";
  // The port's name from the installer's environment goes with the service.
  // With its alarms, and their acknowledgements' folder.
  Ran installed =
      RunProgram("CLIMON_COM5='\\\\.\\COM5' " +
                 Command(" --install-service t1 --port 5 --room T1 --metrics " +
                         Quote(WinPath(prom)) + keyed + " --alarms --delay 0.05 --settle 0"));
  ASSERT_EQ(installed.status, 0) << installed.err;
  Ran environment = RunProgram(
      "wine reg query 'HKLM\\System\\CurrentControlSet\\Services\\climon-t1' /v Environment "
      "2>/dev/null");
  EXPECT_NE(environment.out.find("CLIMON_COM5=\\\\.\\COM5"), std::string::npos) << environment.out;
  EXPECT_EQ(installed.out,
            "installed climon-t1: it starts with Windows; start it now with sc "
            "start climon-t1\r\n");
  Ran again = RunProgram(
      Command(" --install-service t1 --port 5 --room T1 --metrics " + Quote(WinPath(prom))));
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("a service named climon-t1 exists already"), std::string::npos)
      << again.err;
  struct Removed {
    const Wine& w;
    ~Removed() { RunProgram(w.Command(" --remove-service t1")); }  // whatever happens
  } removed{*this};
  EXPECT_EQ(sc("start climon-t1").status, 0);
  ASSERT_TRUE(Poll([&] { return !ReadFile(prom).empty(); }, 60s));
  std::string first = ReadFile(prom);
  ASSERT_TRUE(Poll([&] { return ReadFile(prom) != first; }, 20s));  // a new file a pass
  EXPECT_NE(sc("query climon-t1").out.find("RUNNING"), std::string::npos);
  // Out of its band: the alarm raised, in the metrics and the event log; acknowledged by
  // climon.exe --acknowledge through the service's folder.
  std::ofstream(control) << "DM992=600\n";
  const std::string raised = "climon_alarm_state{room=\"T1\",alarm=\"temperature\"} 2";
  ASSERT_TRUE(Poll([&] { return ReadFile(prom).find(raised) != std::string::npos; }, 30s))
      << ReadFile(prom);
  Ran ack = RunProgram(Command(" --acknowledge t1 --cause door --action shut"));
  EXPECT_EQ(ack.status, 0) << ack.err;
  EXPECT_NE(ack.out.find("t1: acknowledged: temperature: 15.00 above the limit 13.50"),
            std::string::npos)
      << ack.out;
  EXPECT_TRUE(Poll(
      [&] {
        return ReadFile(prom).find("climon_alarm_state{room=\"T1\",alarm=\"temperature\"} 3") !=
               std::string::npos;
      },
      20s));
  std::size_t sent = sim.Commands().size();
  EXPECT_EQ(sc("stop climon-t1").status, 0);
  ASSERT_TRUE(
      Poll([&] { return sc("query climon-t1").out.find("STOPPED") != std::string::npos; }, 20s));
  std::string query = sc("query climon-t1").out;
  EXPECT_NE(query.find("WIN32_EXIT_CODE    : 0"), std::string::npos) << query;
  EXPECT_NE(query.find("SERVICE_EXIT_CODE  : 0"), std::string::npos) << query;
  EXPECT_NE(ReadFile(log).find(",keyed_seal\r\n"), std::string::npos) << ReadFile(log);
  // It ended as ESC ends the monitor, within a few transactions of sc's own start.
  EXPECT_LE(sim.Commands().size(), sent + 8);
  EXPECT_NE(sim.Commands().back(), "CQ");
  std::string said = ReadFile(events);
  EXPECT_NE(said.find("trace:eventlog:ReportEventW L\"started: port COM5, room \\\"T1\\\""),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("trace:eventlog:ReportEventW L\"ended\""), std::string::npos) << said;
  // The raised alarm as a warning (Wine traces the text of information events only).
  EXPECT_NE(said.find(",0x0002,0x0000,0x00000001,"), std::string::npos) << said;
  EXPECT_NE(said.find("L\"alarm acknowledged by "), std::string::npos) << said;
  const std::string acks = Env("WINEPREFIX") + "/drive_c/ProgramData/climon/t1";
  EXPECT_TRUE(std::filesystem::is_directory(acks)) << acks;
  Ran gone = RunProgram(Command(" --remove-service t1"));
  EXPECT_EQ(gone.out, "removed climon-t1\r\n");  // a console's line end
  EXPECT_FALSE(std::filesystem::exists(acks));   // its acknowledgements' folder with it
  EXPECT_EQ(sc("query climon-t1").out.find("climon-t1"), std::string::npos);
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// The installer under Wine's msiexec: the programs, the manuals and README as text, the
// rules and the dashboard in the program folder, which goes on the system PATH, and the
// event log's source; uninstalled, all of it is gone, a room's service with it.
TEST_F(Wine, TheInstallerPutsItAllInPlaceAndTakesItAllAway) {
  std::string msi = Env("CLIMON_WIN_MSI");
  if (msi.empty()) GTEST_SKIP() << "make test-windows builds the installer and names it";
  const std::string folder = Env("WINEPREFIX") + "/drive_c/Program Files/climon";
  auto query = [](const std::string& key, const std::string& value) {
    return RunProgram("wine reg query " + Quote(key) + (value.empty() ? "" : " /v " + value)).out;
  };
  const std::string environment =
      "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment";
  const std::string source =
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\climon";
  ASSERT_EQ(RunProgram("wine msiexec /i " + Quote(WinPath(msi)) + " /qn").status, 0);
  for (const char* file : {"climon.exe", "climon-plot.exe", "climon-report.exe", "doc/README.txt",
                           "doc/climon.txt", "doc/climon-plot.txt", "doc/climon-report.txt",
                           "monitoring/climon.rules.yml", "monitoring/climon-dashboard.json"}) {
    EXPECT_FALSE(ReadFile(folder + "/" + file).empty()) << file;
  }
  EXPECT_NE(query(environment, "PATH").find("C:\\Program Files\\climon\\"), std::string::npos);
  EXPECT_NE(query(source, "EventMessageFile").find("C:\\Program Files\\climon\\climon.exe"),
            std::string::npos);
  EXPECT_EQ(RunProgram("wine " + Quote(folder + "/climon.exe") +
                       " --install-service u1 --port 5 --room U1 --metrics 'Z:\\tmp\\u1.prom'")
                .status,
            0);
  ASSERT_EQ(RunProgram("wine msiexec /x " + Quote(WinPath(msi)) + " /qn").status, 0);
  EXPECT_NE(std::system(("test -e " + Quote(folder)).c_str()), 0);
  EXPECT_EQ(query(environment, "PATH").find("climon"), std::string::npos);
  EXPECT_EQ(query(source, "").find("EventMessageFile"), std::string::npos);
  EXPECT_EQ(RunProgram("wine sc query climon-u1").out.find("climon-u1"), std::string::npos);
}

}  // namespace
}  // namespace e2e
