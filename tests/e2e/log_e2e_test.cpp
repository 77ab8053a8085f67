// The command line and the value log of the real climon against climon-sim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "Harness.h"
#include "RoomDay.h"
#include "Scenarios.h"
#include "TextLines.h"
#include "logformat/LogFormat.h"
#include "seal/Chain.h"

namespace e2e {
namespace {

std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) rows.push_back(logformat::SplitRow(line));
  return rows;
}

// The screen's number in a row, as the log writes it: "Temp.   12.50 C  /   12.50 C" -> 12.50.
std::string Shown(const std::string& row, int which) {
  std::istringstream in(row.substr(13));
  std::string word, found;
  for (int n = 0; in >> word;) {
    if (word.find_first_of("0123456789") != std::string::npos && n++ == which) found = word;
  }
  return found;
}

TEST(CommandLine, EachOptionAndEachBadOne) {
  std::string dir = TempDir();
  Simulator sim(dir, {});
  struct Case {
    std::string args;
    int status;
    std::string out_start, err;  // err: its first line
    bool hint;                   // the usage line follows it
  } cases[] = {
      {"--help", 0, "usage: climon [--port N] [--log FILE]", "", false},
      {"--version", 0, "climon 1.0.0", "", false},
      {"--bogus", 2, "", "climon: unknown option --bogus", true},
      {"--port", 2, "", "climon: option --port needs a port number", true},
      {"--port 0", 2, "", "climon: option --port: '0' is not a port number from 1 to 128", true},
      {"--log", 2, "", "climon: option --log needs a file name", true},
      {"--log " + dir, 2, "", "climon: cannot open the log " + dir + ": Is a directory", false},
      {"--audit=" + dir, 2, "", "climon: cannot open the audit trail " + dir + ": Is a directory",
       false},
      // A key that cannot be used: nothing is written, least of all unkeyed seals.
      {"--log " + dir + "/v.csv --seal-key " + dir + "/missing.key", 2, "",
       "climon: cannot read the seal key " + dir + "/missing.key: No such file or directory",
       false},
      {"--log " + dir + "/v.csv --seal-key " + dir + "/empty.key", 2, "",
       "climon: the seal key " + dir + "/empty.key is empty", false},
      {"--seal-key " + dir + "/empty.key", 2, "",
       "climon: option --seal-key needs --log or --audit: the rows it seals", true},
  };
  std::ofstream(dir + "/empty.key").close();
  for (const auto& c : cases) {
    Ran r =
        RunProgram("CLIMON_COM1=" + Quote(sim.link()) + " " + Quote(ClimonBin()) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_TRUE(r.out.starts_with(c.out_start)) << c.args << ": " << r.out;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << c.args;
    if (c.status == 2) {
      EXPECT_EQ(r.out, "") << c.args;  // nothing reached the terminal
    }
    EXPECT_EQ(r.err.find("\nusage: climon") != std::string::npos, c.hint) << c.args;
  }
  EXPECT_TRUE(sim.Commands().empty());  // no port was opened
  EXPECT_FALSE(std::ifstream(dir + "/v.csv").good());
  sim.Stop();
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// Every program's help fits an 80-column terminal.
TEST(CommandLine, EachProgramsHelpFitsEightyColumns) {
  for (const std::string& program : {ClimonBin(), SimBin(), PlotBin(), ReportBin()}) {
    Ran r = RunProgram(Quote(program) + " --help");
    EXPECT_EQ(r.status, 0) << program;
    std::istringstream lines(r.out);
    int n = 0;
    for (std::string line; std::getline(lines, line); ++n) {
      EXPECT_LE(line.size(), 80u) << program << ": " << line;
    }
    EXPECT_GT(n, 3) << program;
  }
}

// climon with --log at the monitor, until the log holds `rows` rows.
struct Logged : Climon {
  std::string log;
  Logged(std::vector<std::string> options, const std::string& log_path, std::size_t rows,
         const std::string& port_typed = "1")
      : Climon(std::move(options), "", "", Quote(ClimonBin()) + " --log " + Quote(log_path)),
        log(log_path) {
    Answer(port_typed);
    s.WaitFor([&] { return CsvRows(log).size() >= rows + 1; }, 20s);
  }
};

TEST(ValueLog, RowsForVariants1And2AsTheScreenShowsThem) {
  for (const char* variant : {"1", "2"}) {
    std::string dir = TempDir(), path = dir + "/values.csv";
    Logged t({"--variant", variant}, path, 4);
    std::vector<std::string> screen = t.s.Screen();
    t.s.Key("Escape");
    ASSERT_EQ(t.s.WaitExit(), 0);
    auto rows = CsvRows(path);
    ASSERT_GE(rows.size(), 5u) << variant;
    EXPECT_EQ(rows[0][0], "time");
    const bool evap = std::string(variant) == "1";
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const auto& r = rows[i];
      ASSERT_EQ(r.size(), 23u) << variant << " row " << i;  // the last the seal
      EXPECT_NE(r[0], "time") << "a second header";
      EXPECT_EQ(r[1], "1");
      EXPECT_EQ(r[2], variant);
      EXPECT_EQ(r[3], Shown(screen[2], 0));  // the temperature and its set point
      EXPECT_EQ(r[4], Shown(screen[2], 1));
      EXPECT_EQ(r[5], Shown(screen[3], 0));
      EXPECT_EQ(r[7], Shown(screen[4], 0));
      EXPECT_EQ(r[9], evap ? Shown(screen[5], 0) : "") << variant;
      EXPECT_EQ(r[11], evap ? "185" : "") << variant;
      // The counters on the passes that refresh them: the first, and every second after.
      bool refresh = i % 2 == 1;
      EXPECT_EQ(r[17], refresh ? "143415" : "") << variant << " row " << i;
      EXPECT_EQ(r[18], refresh ? "95535" : "") << variant << " row " << i;
    }
    std::system(("rm -rf " + Quote(dir)).c_str());
  }
}

TEST(ValueLog, ASilencedWordIsAnEmptyFieldAndAnOldLogIsKept) {
  std::string dir = TempDir(), path = dir + "/values.csv";
  std::ofstream(path, std::ios::binary).close();  // an empty file gets its header too
  {
    Logged first({}, path, 1);
    first.s.Key("Escape");
    ASSERT_EQ(first.s.WaitExit(), 0);
  }
  const std::string earlier = ReadFile(path);
  Logged t({"--fault", "silence", "--fault-match", "RD DM993"}, path, CsvRows(path).size());
  EXPECT_TRUE(t.Shows(4, "Humidity       0.00 %  /   85.00 %")) << t.s.ScreenText();
  t.s.Key("Escape");
  ASSERT_EQ(t.s.WaitExit(20s), 0);
  EXPECT_TRUE(ReadFile(path).starts_with(earlier));  // appended, never truncated
  auto rows = CsvRows(path);
  int headers = 0;
  for (const auto& r : rows) headers += r[0] == "time";
  EXPECT_EQ(headers, 1);
  const auto& last = rows.back();
  ASSERT_EQ(last.size(), 23u);
  EXPECT_EQ(last[5], "");  // humidity: no reply, an empty field, not 0
  EXPECT_EQ(last[3], "12.50");
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// As logrotate does: the log is renamed away (or deleted) while climon runs. The rows go
// on at the path in a new file, header first, and row 23 says so.
TEST(ValueLog, ARotatedLogGoesOnAtItsPath) {
  std::string dir = TempDir(), path = dir + "/values.csv";
  Logged t({}, path, 2);
  ASSERT_EQ(std::rename(path.c_str(), (path + ".1").c_str()), 0);
  EXPECT_TRUE(t.s.WaitFor([&] { return CsvRows(path).size() >= 3; }, 20s)) << t.s.ScreenText();
  EXPECT_TRUE(t.Shows(23, "Value log reopened: " + path + " had been moved or deleted"));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_TRUE(t.s.WaitFor([&] { return CsvRows(path).size() >= 2; }, 20s)) << t.s.ScreenText();
  t.s.Key("Escape");
  ASSERT_EQ(t.s.WaitExit(), 0);
  auto rows = CsvRows(path);
  EXPECT_EQ(rows[0][0], "time");
  EXPECT_EQ(rows.back().size(), 23u);
  EXPECT_GE(CsvRows(path + ".1").size(), 3u);  // what was written before stays there
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// The audit trail of a real run: a line from the command terminal, R then N, R then Y, a
// controller that stops answering and comes back. The wire carries what it carries
// without --audit.
TEST(Audit, WhatTheOperatorDidAndWhatHappened) {
  std::string dir = TempDir(), path = dir + "/audit.csv";
  Climon t({}, "", "", Quote(ClimonBin()) + " --audit " + Quote(path));
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(s.WaitForText("tTotal", 20s)) << s.ScreenText();
  s.Type("k");
  ASSERT_TRUE(s.WaitForText(kTerminalHeader)) << s.ScreenText();
  ASSERT_TRUE(SendLine(s, "RD DM992", " RD DM992       : 0")) << s.ScreenText();
  s.Key("Escape");
  ASSERT_TRUE(s.WaitFor([&] { return s.ScreenText().find("TARVENA") == std::string::npos; }, 20s));
  for (const char* answer : {"n", "y"}) {
    // Past the flush that follows the terminal or the answer: a key typed before it would
    // be dropped.
    int reads = t.Count("RD DM992");
    ASSERT_TRUE(s.WaitFor([&] { return t.Count("RD DM992") > reads; }, 20s));
    s.Type("r");
    ASSERT_TRUE(s.WaitForText("Reset Timers [Y/N]", 20s)) << s.ScreenText();
    s.Type(answer);
    ASSERT_TRUE(t.Shows(20, ""));
  }
  ASSERT_TRUE(s.WaitFor([&] { return ReadFile(path).find(",reset,") != std::string::npos; }, 20s));
  t.sim.Stop();
  ASSERT_TRUE(s.WaitFor([&] { return !s.Row(22).empty(); }, 20s)) << s.ScreenText();
  t.sim.Start();
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(22).empty(); }, 20s)) << s.ScreenText();
  s.Key("Escape");
  ASSERT_EQ(s.WaitExit(20s), 0);
  std::string events;
  for (const auto& row : CsvRows(path)) events += row.size() > 4 ? row[4] + ";" : "?;";
  // A new trail: its seal chain begins after the start.
  EXPECT_EQ(events, "event;start;seal;terminal;reset declined;reset;link lost;link back;end;");
  std::string text = ReadFile(path);
  EXPECT_NE(text.find(",terminal,RD DM992,0"), std::string::npos) << text;
  EXPECT_NE(text.find(",reset,\"counters before: total "), std::string::npos) << text;
  EXPECT_NE(text.find(",10 of 10 words written,"), std::string::npos) << text;
  std::system(("rm -rf " + Quote(dir)).c_str());
}

TEST(ValueLog, AFullDiskIsShownAndTheMonitorGoesOn) {
  Climon t({}, "", "", Quote(ClimonBin()) + " --log /dev/full");
  t.Answer("1");
  EXPECT_TRUE(t.Shows(23, "Value log not written: No space left on device")) << t.s.ScreenText();
  EXPECT_TRUE(t.Shows(14, kTotalRow)) << t.s.ScreenText();
  std::size_t seen = t.sim.Commands().size();
  EXPECT_TRUE(t.s.WaitFor([&] { return t.sim.Commands().size() > seen + 10; }));  // goes on
  t.s.Key("Escape");
  EXPECT_EQ(t.s.WaitExit(), 0);
}

// A full disk (a small tmpfs) that has space again: every row of
// the value log and the audit trail is on file in the end, in order, each with its own
// time; row 23 says what is not written, after the command terminal too, and clears.
TEST(Audit, AFullDiskLosesNoRowOnceSpaceIsBack) {
  std::string dir = TempDir(), disk = dir + "/disk";
  ASSERT_EQ(std::system(("mkdir " + Quote(disk)).c_str()), 0);
  if (std::system(("mount -t tmpfs -o size=128k tmpfs " + Quote(disk) + " 2>/dev/null").c_str()) !=
      0) {
    std::system(("rm -rf " + Quote(dir)).c_str());
    std::puts("skipped: a full disk needs a tmpfs, which only root may mount here");
    GTEST_SKIP();
  }
  const std::string log = disk + "/values.csv", audit = disk + "/audit.csv";
  // Full from the start: not even the start row or a header goes in.
  std::system(("head -c 1M /dev/zero >" + Quote(disk + "/filler") + " 2>/dev/null").c_str());
  {
    Climon t({}, "", "", Quote(ClimonBin()) + " --log " + Quote(log) + " --audit " + Quote(audit));
    auto& s = t.s;
    t.Answer("1");
    ASSERT_TRUE(t.Shows(14, kTotalRow)) << s.ScreenText();
    ASSERT_TRUE(
        s.WaitFor([&] { return s.Row(23).starts_with("Value log not written: No space"); }, 20s))
        << s.ScreenText();
    s.Type("k");
    ASSERT_TRUE(s.WaitForText(kTerminalHeader)) << s.ScreenText();
    ASSERT_TRUE(SendLine(s, "WR DM890 130", " WR DM890 130   : OK")) << s.ScreenText();
    s.Key("Escape");
    ASSERT_TRUE(
        s.WaitFor([&] { return s.ScreenText().find("TARVENA") == std::string::npos; }, 20s));
    EXPECT_TRUE(s.WaitFor([&] { return s.Row(23).starts_with("Value log not written"); }, 5s))
        << s.ScreenText();
    int reads = t.Count("RD DM992");
    ASSERT_TRUE(s.WaitFor([&] { return t.Count("RD DM992") > reads; }, 20s));
    s.Type("r");
    ASSERT_TRUE(s.WaitForText("Reset Timers [Y/N]", 20s)) << s.ScreenText();
    s.Type("y");
    ASSERT_TRUE(s.WaitFor([&] { return t.Count("WR DM128 0") > 0; }, 20s));
    EXPECT_TRUE(s.WaitFor(
        [&] { return s.Row(23).find("Audit trail not written") != std::string::npos; }, 20s))
        << s.ScreenText();
    reads = t.Count("RD DM992");  // passes that are kept, not written
    ASSERT_TRUE(s.WaitFor([&] { return t.Count("RD DM992") > reads + 5; }, 20s));
    std::remove((disk + "/filler").c_str());
    EXPECT_TRUE(s.WaitFor([&] { return s.Row(23).empty(); }, 20s)) << s.ScreenText();
    s.Key("Escape");
    ASSERT_EQ(s.WaitExit(20s), 0);
  }
  std::string events;
  std::vector<std::string> times;
  for (const auto& row : CsvRows(audit)) {
    events += row.size() > 4 ? row[4] + ";" : "?;";
    times.push_back(row[0]);
  }
  // The new log's and trail's chains begin after the start; the value log's chain where the
  // run left it, before the end.
  EXPECT_EQ(events, "event;start;seal;seal;terminal;reset;seal;end;") << ReadFile(audit);
  EXPECT_TRUE(std::is_sorted(times.begin() + 1, times.end())) << ReadFile(audit);
  EXPECT_NE(ReadFile(audit).find(",terminal,WR DM890 130,OK,"), std::string::npos);
  // A pass a second or so: no gap of more than a few seconds, none out of order, every row
  // whole.
  auto rows = CsvRows(log);
  ASSERT_GT(rows.size(), 5u);
  for (std::size_t i = 2; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 23u) << i;
    std::int64_t a = 0, b = 0;
    int offset = 0;
    ASSERT_TRUE(logformat::ParseIsoTime(rows[i - 1][0], a, offset) &&
                logformat::ParseIsoTime(rows[i][0], b, offset));
    const std::int64_t gap = b - a;
    EXPECT_GT(gap, 0) << rows[i][0];
    EXPECT_LT(gap, 5000) << rows[i - 1][0] << " to " << rows[i][0];
  }
  std::system(("umount " + Quote(disk) + "; rm -rf " + Quote(dir)).c_str());
}

// climon-plot as a user runs it: several logs in any order, time ranges, damaged rows
// reported and skipped, and each exit status.
TEST(Chart, FilesRangesDamageAndExitStatuses) {
  std::string dir = TempDir();
  auto row = [](const std::string& time, const std::string& temp) {
    logformat::LogRow r;
    r.port = 1;
    r.variant = 1;
    r.fields[logformat::kTemp] = temp;
    r.fields[logformat::kTempSet] = "12.50";
    std::int64_t ms;
    int off;
    logformat::ParseIsoTime(time, ms, off);
    return logformat::CsvRow(logformat::FromUtcMs(ms, off), r);
  };
  std::string header = logformat::CsvHeader();
  // Yesterday's log (rotated away) and today's, and a torn row in today's.
  std::ofstream(dir + "/old.csv", std::ios::binary)
      << header << row("2026-12-08T23:59:58+01:00", "11.00")
      << row("2026-12-08T23:59:59+01:00", "11.50");
  std::ofstream(dir + "/new.csv", std::ios::binary)
      << header << row("2026-12-08T23:59:59+01:00", "11.50")  // overlaps the old one
      << row("2026-12-09T00:00:00+01:00", "12.00") << "2026-12-09T00:00:01.000+01:00,1,1,1"
      << "\r\n"
      << row("2026-12-09T00:00:02+01:00", "12.50");
  std::ofstream(dir + "/other.csv", std::ios::binary) << "a,b\r\n1,2\r\n";
  // The old log compressed by a rotation, and another room's log.
  std::system(("gzip -c " + Quote(dir + "/old.csv") + " >" + Quote(dir + "/old.csv.1.gz")).c_str());
  std::ofstream(dir + "/room2.csv", std::ios::binary)
      << header << "2026-12-09T00:00:05.000+01:00,2,1"
      << row("2026-12-09T00:00:05+01:00", "1").substr(33);
  struct Case {
    std::string args;
    int status;
    std::string err;    // its start
    std::string title;  // in the chart: from, to and the passes
  } cases[] = {
      {"new.csv old.csv", 0,
       "climon-plot: skipped 1 damaged rows:\n  1 with the wrong number of fields (a torn row), "
       "the first on line 4 of new.csv",
       "2026-12-08 23:59:58 to 2026-12-09 00:00:02, 5 passes"},
      // --to is the first moment after the range, as in climon-report.
      {"old.csv --from 2026-12-08T23:59:59+01:00 --to 2026-12-09T00:00:00+01:00", 0, "",
       "2026-12-08 23:59:59 to 2026-12-08 23:59:59, 1 passes"},
      {"old.csv new.csv --last 1h", 0, "climon-plot: skipped",
       "2026-12-08 23:59:58 to 2026-12-09 00:00:02"},
      {"old.csv --from 2026-12-10", 2,
       "climon-plot: no rows in the chosen time range: nothing to draw", ""},
      {"other.csv", 2,
       "climon-plot: other.csv is not a climon value log: its first line is not climon's header",
       ""},
      {"missing.csv", 2, "climon-plot: cannot read missing.csv: No such file or directory", ""},
      {"old.csv -o /nonexistent/t.svg", 2,
       "climon-plot: cannot write /nonexistent/t.svg: No such file or directory", ""},
      // A rotated set: compressed, named twice, one file missing (drawn, status 1).
      {"new.csv old.csv.1.gz new.csv", 0, "climon-plot: skipped",
       "2026-12-08 23:59:58 to 2026-12-09 00:00:02, 5 passes"},
      {"old.csv missing.csv", 1, "climon-plot: cannot read missing.csv: No such file or directory",
       "2026-12-08 23:59:58 to 2026-12-08 23:59:59, 2 passes"},
      {"new.csv room2.csv", 2, "climon-plot: the logs are of more than one room (rows of port 1",
       ""},
      {"old.csv --last 3w", 2,
       "climon-plot: option --last: '3w' is not a number of hours or days such as 24h or 7d", ""},
  };
  for (const auto& c : cases) {
    std::remove((dir + "/t.svg").c_str());
    std::string out = c.args.find(" -o ") == std::string::npos ? " -o t.svg" : "";
    Ran r = RunProgram("cd " + Quote(dir) + " && TZ=CET " + Quote(PlotBin()) + " " + c.args + out);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    EXPECT_TRUE(r.err.starts_with(c.err)) << c.args << ": " << r.err;
    if (c.status != 2) {
      EXPECT_NE(ReadFile(dir + "/t.svg").find(c.title), std::string::npos) << c.args;
    }
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// A long read says where it stands on a terminal, and clears the line when it is done;
// in a pipe it says nothing of it.
TEST(Chart, ProgressOnATerminalOnly) {
  std::string dir = TempDir();
  std::ofstream log(dir + "/day.csv", std::ios::binary);
  log << logformat::CsvHeader();
  logformat::LogRow row;
  row.port = 1;
  row.variant = 1;
  row.fields[logformat::kTemp] = "12.50";
  for (int i = 0; i < 20000; ++i) {
    log << logformat::CsvRow(logformat::FromUtcMs(1796770800000 + i * 1000LL, 60), row);
  }
  log.close();
  for (const std::string& program : {PlotBin(), ReportBin()}) {
    std::string args = Quote(dir + "/day.csv") + " -o " + Quote(dir + "/out") +
                       (program == ReportBin() ? " --day 2026-12-09" : "");
    // script(1) runs it on a pseudo-terminal and hands on what it wrote there.
    Ran tty = RunProgram("script -qfec " + Quote(Quote(program) + " " + args) + " /dev/null");
    EXPECT_EQ(tty.status, 0) << tty.out;
    EXPECT_NE(tty.out.find(": reading file 1 of 1, "), std::string::npos) << tty.out;
    EXPECT_TRUE(tty.out.ends_with("\r")) << tty.out;  // cleared: the cursor at its start
    Ran pipe = RunProgram(Quote(program) + " " + args);
    EXPECT_EQ(pipe.status, 0);
    EXPECT_EQ(pipe.err, "") << program;
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// A file's rows sealed as climon seals them, going on from `head`: its first row says so,
// and every 100th carries its link. A torn row (a power cut) stays as it is, unchained.
std::string Sealed(const std::string& rows, seal::Head& head) {
  std::string out;
  seal::Hasher hasher;
  std::vector<std::string> lines = TextLines(rows);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string content = lines[i].substr(0, lines[i].size() - 2);
    if (logformat::SplitRow(content).size() != logformat::kColumnCount) {
      out += lines[i];
      continue;
    }
    const seal::Head next = hasher.Next(head, content);
    out += content + "," +
           (i == 0         ? seal::FromField(head)
            : i % 100 == 0 ? seal::SealField(next)
                           : "") +
           "\r\n";
    head = next;
  }
  return out;
}

// climon-report as a site runs it: a rotated set (one file compressed) and an audit trail,
// two days of which one has no rows; the report printed to PDF by a real browser, a page
// for the summary and one a day, with the day's figures in its text and the seals that
// anchor the files.
TEST(Report, PrintedByABrowser) {
  for (const char* tool : {"chromium", "pdftotext"}) {
    if (std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) != 0) {
      std::printf(
          "skipped: e2e.Report: %s is not installed (apt-get install chromium "
          "poppler-utils)\n",
          tool);
      GTEST_SKIP();
    }
  }
  std::string dir = TempDir();
  std::string header = logformat::CsvHeader();
  header.insert(header.size() - 2, ",seal");
  seal::Head head;
  std::ofstream(dir + "/morning.csv", std::ios::binary)
      << header << Sealed(roomday::Rows(0, 720), head);
  std::ofstream(dir + "/room.csv", std::ios::binary)
      << header << Sealed(roomday::Rows(720, 1440), head);
  std::ofstream(dir + "/audit.csv", std::ios::binary)
      << logformat::AuditHeader()
      << "2026-12-09T09:01:00.000+01:00,1,Room 3,ana,reset,\"total 1, heater 2\",OK\r\n"
      // The answer to the afternoon's alarm (raised at 14:15, 15 minutes outside).
      << "2026-12-09T14:31:00.000+01:00,1,Room 3,ana,alarm acknowledged,\"temperature: 11.50 "
         "above the limit 11.00 since 14:00:00\ncause: door left open\naction: closed the "
         "door\",\r\n";
  Ran r = RunProgram("(cd " + Quote(dir) + " && gzip morning.csv && TZ=CET " + Quote(ReportBin()) +
                     " room.csv morning.csv.gz --audit audit.csv --from 2026-12-08 --to "
                     "2026-12-09 -o r.html --csv r.csv && chromium --headless --no-sandbox "
                     "--disable-gpu --no-pdf-header-footer --print-to-pdf=r.pdf r.html "
                     "2>/dev/null && pdfinfo r.pdf && pdftotext -layout r.pdf -)");
  ASSERT_EQ(r.status, 0) << r.err;
  std::size_t pages = r.out.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << r.out;
  EXPECT_EQ(std::stoi(r.out.substr(pages + 6)), 3) << r.out;
  for (const char* text :
       {"Room record: Room 3", "No rows for this day", "10.95", "0:40:00", "20:00:00",
        "total 1, heater 2", "Checked by", "certified", "door left open", "closed the door",
        "2026-12-09 14:15:00", "Every deviation has a corrective action on file."}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
  }
  // The period's seal on the summary is the day's closing seal on its page: the last link.
  std::smatch seal;
  ASSERT_TRUE(std::regex_search(r.out, seal,
                                std::regex("Seal of the period: ((?:[0-9A-F]{4} ){3}[0-9A-F]{4})")))
      << r.out;
  EXPECT_NE(r.out.find("Closing seal of the day: " + seal[1].str() + " (the value log's row "),
            std::string::npos)
      << r.out;
  // The rows' torn one (a power cut) is no change.
  EXPECT_NE(r.out.find("The value logs' seals check "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("CHANGED"), std::string::npos) << r.out;
  // Every page names the document and its place in it, so that a page filed alone can be
  // tied to the signed summary.
  std::size_t start = r.out.find("Room record");
  for (int page = 1; page <= 3; ++page) {
    std::size_t end = r.out.find('\f', start);
    std::string text = r.out.substr(start, end - start);
    EXPECT_NE(text.find("Page " + std::to_string(page) + " of 3"), std::string::npos) << text;
    EXPECT_NE(text.find("Room 3 \u00B7 from 2026-12-08 to 2026-12-09 \u00B7 files read CRC-32 "),
              std::string::npos)
        << text;
    // The day with rows has its chart; the day without has none.
    EXPECT_EQ(text.find("climon trend, COM1: 2026-12-09 00:00:00 to 2026-12-10 00:00:00") !=
                  std::string::npos,
              page == 3)
        << text;
    start = end + 1;
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

}  // namespace
}  // namespace e2e
