// The seals end to end: climon's record against climon-sim across rotations and a restart,
// checked by climon-report, then copies of it changed in each way and checked again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "Harness.h"
#include "TextLines.h"
#include "seal/Chain.h"

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

  // Copies changed: the newest file's rows of the first run (line 1 the header, line 2 the
  // first after the rotation, line 3 the first link after it), which the second run's first
  // row covers.
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>&)> change;
    const char* files;
    int status;
    const char* said;
  } cases[] = {
      {"a digit changed", [](auto& l) { l[3].replace(l[3].find(",1,1,") + 5, 1, "9"); },
       set.c_str(), 1, "CHANGED: the value logs: a row changed between"},
      {"a row deleted", [](auto& l) { l.erase(l.begin() + 3); }, set.c_str(), 1, "1 row deleted"},
      {"a row inserted",
       [](auto& l) {
         std::string row = l[3];
         row.replace(row.find('+') - 1, 1, row[row.find('+') - 1] == '0' ? "1" : "0");
         l.insert(l.begin() + 3, row.substr(0, row.rfind(',') + 1) + "\r\n");
       },
       set.c_str(), 1, "1 row inserted"},
      {"two rows swapped", [](auto& l) { std::swap(l[2], l[3]); }, set.c_str(), 1,
       "rows reordered"},
      {"the middle file gone", nullptr, " values.csv.2.gz values.csv --audit audit.csv", 1,
       "of values.csv (or a file missing before values.csv)"},
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
    if (c.change) {
      std::vector<std::string> lines = TextLines(ReadFile(copy + "/values.csv"));
      c.change(lines);
      WriteLines(copy + "/values.csv", lines);
    }
    Ran r = Verify(copy, c.files);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.out << r.err;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << c.what << ": " << r.out;
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

// With a key: climon refuses a key it cannot use; the seals check out with the key, cannot
// be checked without it, and links made again by someone without it are found.
TEST(Seal, AKeyedRecordAndItsKey) {
  const std::string dir = TempDir(), key = dir + "/seal.key";
  std::ofstream(key) << "0123456789abcdef0123456789abcdef\n";
  std::ofstream(dir + "/empty.key").close();
  Simulator sim(dir, {});
  struct Refusal {
    std::string args, err;
  } refusals[] = {
      {" --log v.csv --seal-key missing.key",
       "climon: cannot read the seal key missing.key: No such file or directory"},
      {" --log v.csv --seal-key empty.key", "climon: the seal key empty.key is empty"},
      {" --seal-key seal.key",
       "climon: option --seal-key needs --log or --audit: the rows it seals"},
  };
  for (const auto& c : refusals) {
    Ran r = RunProgram("cd " + Quote(dir) + " && CLIMON_COM1=" + Quote(sim.link()) + " " +
                       Quote(ClimonBin()) + " --port 1" + c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir + "/v.csv")) << c.args;  // nothing unkeyed
  }
  sim.Stop();
  RunClimon(dir, " --seal-key " + Quote(key), {});
  EXPECT_EQ(Verify(dir, "--seal-key seal.key values.csv").status, 0);
  Ran without = Verify(dir, "values.csv");
  EXPECT_EQ(without.status, 3);
  EXPECT_NE(without.out.find("is sealed with a key: not checked without it"), std::string::npos)
      << without.out;
  // Someone without the key changes a value and makes every link again with a key of theirs.
  std::vector<std::string> lines = TextLines(ReadFile(dir + "/values.csv"));
  lines[3].replace(lines[3].find(",1,1,") + 5, 1, "9");
  seal::Hasher guess("a key that is not the site's");
  seal::Head head;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string line = lines[i].substr(0, lines[i].size() - 2);
    std::string_view content, field;
    ASSERT_TRUE(seal::SplitSeal(line, content, field));
    seal::Field f = seal::ParseField(field);
    std::string row(content);
    if (f.what == seal::Field::kFrom) lines[i] = row + "," + seal::FromField(head) + "\r\n";
    head = guess.Next(head, row);
    if (f.what == seal::Field::kSeal) lines[i] = row + "," + seal::SealField(head) + "\r\n";
  }
  WriteLines(dir + "/values.csv", lines);
  Ran forged = Verify(dir, "--seal-key seal.key values.csv");
  EXPECT_EQ(forged.status, 1) << forged.out;
  EXPECT_NE(forged.out.find("CHANGED"), std::string::npos) << forged.out;
  std::system(("rm -rf " + Quote(dir)).c_str());
}

}  // namespace
}  // namespace e2e
