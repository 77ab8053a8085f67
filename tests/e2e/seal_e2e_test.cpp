// The seals end to end: climon's record against climon-sim across rotations and a restart,
// checked by climon-report, then copies of it changed in each way and checked again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "Harness.h"
#include "TextLines.h"

namespace e2e {
namespace {

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  for (const std::string& l : lines) f << l;
}

std::size_t LineCount(const std::string& path) {
  return TextLines(ReadFile(path)).size();
}

// Runs climon on the simulated controller until the log has `rows` more rows, rotating it
// (renamed, then compressed, as logrotate does) once for each name in `rotate`; ends with
// ESC.
void RunClimon(const std::string& dir, const std::string& options,
               const std::vector<std::string>& rotate) {
  const std::string log = dir + "/values.csv";
  Simulator sim(dir, {});
  Session s(sim.link(), "", Quote(ClimonBin()) + " --port 1 --log " + Quote(log) + options);
  auto more = [&](std::size_t n) {
    const std::size_t start = LineCount(log);
    return s.WaitFor([&] { return LineCount(log) >= std::max<std::size_t>(start, 1) + n; }, 20s);
  };
  ASSERT_TRUE(more(3)) << s.ScreenText();
  for (const std::string& name : rotate) {
    ASSERT_EQ(std::rename(log.c_str(), (dir + "/" + name).c_str()), 0);
    ASSERT_TRUE(more(3)) << s.ScreenText();  // the rows go on in a new file
    ASSERT_EQ(std::system(("gzip " + Quote(dir + "/" + name)).c_str()), 0);
  }
  s.Key("Escape");
  ASSERT_EQ(s.WaitExit(20s), 0) << s.ScreenText();
  sim.Stop();
}

Ran Verify(const std::string& dir, const std::string& args) {
  return RunProgram("cd " + Quote(dir) + " && " + Quote(ReportBin()) + " --verify " + args);
}

TEST(Seal, ARotatedAndRestartedRecordChecksOutAndEachChangeIsFound) {
  const std::string dir = TempDir();
  const std::string audit = " --audit " + Quote(dir + "/audit.csv");
  RunClimon(dir, audit, {"values.csv.2", "values.csv.1"});
  RunClimon(dir, audit, {});  // a restart: the chain goes on
  const std::string set = " values.csv.2.gz values.csv.1.gz values.csv --audit audit.csv";
  Ran ok = Verify(dir, set);
  ASSERT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("The files are as climon wrote them."), std::string::npos) << ok.out;
  EXPECT_EQ(ok.out.find("CHANGED"), std::string::npos) << ok.out;

  // The signed page's seal leads back to these files, and a seal of other files does not.
  Ran report =
      RunProgram("cd " + Quote(dir) + " && " + Quote(ReportBin()) + set + " --last 24h -o r.html");
  ASSERT_EQ(report.status, 0) << report.err;
  std::smatch m;
  const std::string html = ReadFile(dir + "/r.html");
  ASSERT_TRUE(std::regex_search(html, m, std::regex("--verify --seal ([0-9a-f]{16})"))) << html;
  EXPECT_NE(html.find("Closing seal of the day: "), std::string::npos);
  EXPECT_EQ(Verify(dir, "--seal " + m[1].str() + set).status, 0);
  std::string other = m[1].str();
  other[0] = other[0] == '0' ? '1' : '0';
  Ran wrong = Verify(dir, "--seal " + other + set);
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.out.find("is no link of the value logs' chain"), std::string::npos) << wrong.out;

  // Copies changed (each way to change a set is in the unit tests): a digit of the newest
  // file's first run (line 3, covered by the second run's first row), and its end cut, which
  // only the audit trail's record of the run's end tells from a crash.
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>&)> change;
    const char* files;
    int status;
    const char* said;
  } cases[] = {
      {"a digit changed", [](auto& l) { l[3].replace(l[3].find(",1,1,") + 5, 1, "9"); },
       set.c_str(), 1, "CHANGED: the value logs: a row changed between"},
      {"the end cut", [](auto& l) { l.resize(l.size() - 2); }, set.c_str(), 1,
       "is not in the rows: the end of that run was cut or changed"},
      {"the end cut, no audit trail", [](auto& l) { l.resize(l.size() - 2); },
       " values.csv.2.gz values.csv.1.gz values.csv", 0, "no link covers yet"},
  };
  for (const auto& c : cases) {
    const std::string copy = dir + "/copy";
    std::filesystem::remove_all(copy);
    std::filesystem::create_directory(copy);
    for (const char* f : {"values.csv.2.gz", "values.csv.1.gz", "values.csv", "audit.csv"}) {
      std::filesystem::copy_file(dir + "/" + f, copy + "/" + f);
    }
    std::vector<std::string> lines = TextLines(ReadFile(copy + "/values.csv"));
    c.change(lines);
    WriteLines(copy + "/values.csv", lines);
    Ran r = Verify(copy, c.files);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.out << r.err;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << c.what << ": " << r.out;
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// With a key: the seals check out with the key and cannot be checked without it.
TEST(Seal, AKeyedRecordAndItsKey) {
  const std::string dir = TempDir();
  std::ofstream(dir + "/seal.key") << "0123456789abcdef0123456789abcdef\n";
  RunClimon(dir, " --seal-key " + Quote(dir + "/seal.key"), {});
  EXPECT_EQ(Verify(dir, "--seal-key seal.key values.csv").status, 0);
  Ran without = Verify(dir, "values.csv");
  EXPECT_EQ(without.status, 3);
  EXPECT_NE(without.out.find("is sealed with a key: not checked without it"), std::string::npos)
      << without.out;
  std::system(("rm -rf " + Quote(dir)).c_str());
}

}  // namespace
}  // namespace e2e
