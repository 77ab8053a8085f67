// A set of value logs read back as one record, as a rotation leaves them: plain and
// gzip-compressed files named in any order, each read once, in the order of their first
// rows. A period reads only what it needs: a plain log is entered by bisecting on its
// time column, and a file wholly outside the period is not read. A compressed file is
// inflated on a thread of its own while its rows are read, so a compressed set costs
// little more than inflating it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logread/LogReader.h"
#include "record/Period.h"

namespace logread {

struct FileRead {
  std::string path;
  bool compressed = false;
  bool skipped = false;                       // wholly outside the period: not read
  std::optional<record::Moment> first, last;  // of its rows that were handed on
  std::uint64_t rows = 0;
  // Why the file could not be read, or not to its end; the rows before are kept.
  std::string error;
};

struct SetRead {
  std::vector<FileRead> files;  // in the order read
  std::array<DamageCount, static_cast<std::size_t>(Damage::kKinds)> damage;
  // Not empty when the rows come from more than one port or device variant: which.
  std::string mixed;
  std::uint64_t rows = 0;
  std::vector<ClockStep> steps;  // the clock's steps back, the first few
  std::uint64_t steps_seen = 0;  // of all of them
  std::uint32_t crc = 0;         // of the text read, every file's in the order read (Sink::crc)
  // Each file that could not be read (or not wholly), one line each.
  std::vector<std::string> Errors() const;
};

struct Sink {
  std::function<void(const Row&)> row;
  std::function<void()> next_file;  // before the rows of each file; may be empty
  // After each block read: in file `file` (from 1) of `files`, `rows` rows read in all (of
  // every row, the period's or not); may be empty.
  std::function<void(std::size_t file, std::size_t files, std::uint64_t rows)> progress;
  bool crc = false;  // SetRead::crc wanted
  // Checks the seals of the rows read, where given.
  seal::Follow* follow = nullptr;
};

// A set of logs opened: each file's first row read (and a plain log's last), the files put
// in time order, --last made into bounds.
class LogSet {
 public:
  LogSet(const std::vector<std::string>& paths, const record::Period& period);
  ~LogSet();
  // The period as it will be read: --last made into bounds ending at the newest row (a
  // period that holds nothing when no log has a row).
  const record::Period& period() const;
  // Hands on, file by file in time order, the rows within the period. Reads are to be
  // trusted only as far as the files' own order: a rotated set's files follow each other
  // in time.
  SetRead Read(const Sink& sink);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The damage of a set, one line per kind with its count and first place ("" for none).
std::string DamageReport(const SetRead& read);

}  // namespace logread
