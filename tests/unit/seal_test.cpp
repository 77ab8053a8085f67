// The seals: the platform's hashes against their standards' vectors, and a rotated set of
// logs written by climon checked after each way of changing it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "TempFiles.h"
#include "TextLines.h"
#include "logread/LogSet.h"
#include "monitor/ValueLog.h"
#include "seal/Chain.h"
#include "seal/Digest.h"

namespace {

// FIPS 180-4's examples (as NIST's example values give them) and RFC 4231's test cases
// 1, 2 and 6, on the build's own library (libcrypto, or CNG under Wine).
TEST(Seal, TheHashesGiveTheStandardsVectors) {
  struct Case {
    std::string key;  // none: SHA-256
    std::string data;
    const char* digest;
  } cases[] = {
      {"", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(20, '\x0b'), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const auto& c : cases) {
    seal::Digest d = c.key.empty() ? seal::Sha256(c.data) : seal::HmacSha256(c.key, c.data);
    EXPECT_EQ(seal::Hex(d), c.digest) << c.data;
  }
}

// A row of climon's value log, a second apart from 08:00:00.
std::string PassRow(int second, const char* temp = "12.50") {
  logformat::LocalTime t{2026, 12, 9, 8 + second / 3600, second / 60 % 60, second % 60, 60, 0};
  logformat::LogRow v;
  v.port = 1;
  v.variant = 1;
  v.fields[logformat::kTemp] = temp;
  return logformat::CsvRow(t, v);
}

std::string Text(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A text from its lines.
std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l;
  return out;
}

// Three files of a rotated log as climon leaves them (the first two compressed, as
// logrotate leaves them), each changed as a case says, then read back as climon-report
// reads them: what the check found.
TEST(Seal, EachChangeToARotatedSetIsFoundAndACrashIsNot) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::vector<std::string>>&)> change;  // lines per file
    bool changed;
    const char* found;  // in the first finding; "" for none
    std::string key = "", check_key = "";
    std::function<void(const std::string&)> between = nullptr;  // the runs: at the log's path
  } cases[] = {
      {"as written", nullptr, false, "the last 58 rows, from line 94 of a to line 151 of a"},
      {"a digit changed", [](auto& f) { f[0][30].replace(f[0][30].find(",12.5"), 5, ",13.5"); },
       true, "a row changed between line 3 of a.2.gz and line 123 of a.2.gz"},
      {"a row deleted", [](auto& f) { f[1].erase(f[1].begin() + 20); }, true, "1 row deleted"},
      {"a row inserted",
       [](auto& f) {
         const std::string row = PassRow(3600 + 19, "9.00");
         f[1].insert(f[1].begin() + 20, row.substr(0, row.size() - 2) + ",\r\n");
       },
       true, "1 row inserted"},
      {"two rows swapped", [](auto& f) { std::swap(f[2][10], f[2][11]); }, true, "rows reordered"},
      {"the middle file gone", [](auto& f) { f.erase(f.begin() + 1); }, true,
       "300 rows deleted between line 123 of a.2.gz and line 2 of a (or a file missing "
       "before a)"},
      {"the end cut", [](auto& f) { f[2].resize(f[2].size() - 10); }, false,
       "the last 48 rows, from line 94 of a to line 141 of a, no link covers yet"},
      {"a row torn by a power cut, then a restart", nullptr, false, "the last 58 rows", "", "",
       [](const std::string& path) {
         std::filesystem::resize_file(path, std::filesystem::file_size(path) - 30);
       }},
      {"a failed write's part before the row written again",
       [](auto& f) {
         std::string part = f[2][50];
         part = part.substr(0, part.rfind(',') + 1) + "\r\n";
         f[2].insert(f[2].begin() + 50, part);
       },
       false, "the last 58 rows"},
      {"keyed, the seals made again without the key",
       [](auto& f) {
         f[0][30].replace(f[0][30].find(",12.5"), 5, ",13.5");
         // Someone who knows the format but not the key makes every link again.
         seal::Hasher guess("not the site's key at all");
         seal::Head h;
         for (auto& file : f) {
           for (std::size_t i = 1; i < file.size(); ++i) {
             std::string& l = file[i];
             const std::string row = l.substr(0, l.size() - 2);
             std::string_view content, field;
             seal::SplitSeal(row, content, field);
             seal::Field s = seal::ParseField(field);
             std::string c(content);
             if (s.what == seal::Field::kFrom) {
               l = c + "," + seal::FromField(h) + "\r\n";
             }
             h = guess.Next(h, c);
             if (s.what == seal::Field::kSeal) l = c + "," + seal::SealField(h) + "\r\n";
           }
         }
       },
       true, "a row changed", "the site's own key, 32 bytes long",
       "the site's own key, 32 bytes long"},
      {"keyed, checked without the key", nullptr, false, "", "a key of 16 bytes", ""},
  };
  for (const auto& c : cases) {
    Folder d;
    const std::string path = d.dir + "/a";
    std::string error;
    // Two runs of five minutes, each with the log rotated halfway.
    for (int run = 0; run < 2; ++run) {
      auto log = monitor::ValueLog::Open(path, error, monitor::ValueLog::ValueLogKind(c.key));
      ASSERT_TRUE(log) << error;
      for (int s = run * 3600; s < run * 3600 + 300; ++s) {
        ASSERT_TRUE(log->Append(PassRow(s)));
        if (s == run * 3600 + 149) {
          std::filesystem::rename(path, path + "." + std::to_string(2 - run));
        }
      }
      if (c.between && run == 0) c.between(path);
    }
    std::vector<std::vector<std::string>> files = {
        TextLines(Text(path + ".2")), TextLines(Text(path + ".1")), TextLines(Text(path))};
    if (c.change) c.change(files);
    std::vector<std::string> names = {"a.2.gz", "a.1.gz", "a"};
    if (files.size() == 2) names.erase(names.begin() + 1);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < files.size(); ++i) {
      paths.push_back(d.Write(names[i], Join(files[i]), i + 1 < files.size()));
    }
    seal::Follow follow{seal::Hasher(c.check_key)};
    logread::LogSet set(paths, {});
    logread::Sink sink{[](const logread::Row&) {}, {}, {}, false, &follow};
    set.Read(sink);
    follow.End();
    EXPECT_EQ(follow.changed(), c.changed) << c.what;
    std::string found = follow.findings().empty() ? "" : follow.findings()[0].text;
    for (std::size_t at; (at = found.find(d.dir + "/")) != std::string::npos;) {
      found.erase(at, d.dir.size() + 1);
    }
    if (!c.key.empty() && c.check_key.empty()) {
      ASSERT_EQ(follow.unsealed().size(), 3u) << c.what;
      found = follow.unsealed()[0];
      EXPECT_NE(found.find("is sealed with a key: not checked without it"), std::string::npos);
    } else {
      EXPECT_NE(found.find(c.found), std::string::npos) << c.what << ": " << found;
    }
  }
}

}  // namespace
