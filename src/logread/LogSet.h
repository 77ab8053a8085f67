// A set of value logs read back as one record, as a rotation leaves them: plain and
// gzip-compressed files (told apart by their first bytes) named in any order, each read
// once, in the order of their first rows. A time range reads only what it needs: a plain
// log is entered by bisecting on its time column, and a file wholly outside the range is
// not read. A compressed file is inflated on a thread of its own while its rows are read,
// so a compressed set costs little more than inflating it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LogReader.h"

namespace logread {

// Milliseconds since 1970 (UTC), both bounds kept; unset: open. `last`, when set, makes
// the range that long back from the newest row of the logs.
struct Range {
  std::optional<std::int64_t> from, to, last;
  bool Holds(std::int64_t t) const { return (!from || t >= *from) && (!to || t <= *to); }
};

struct FileRead {
  std::string path;
  bool compressed = false;
  bool skipped = false;                           // wholly outside the range: not read
  std::optional<std::int64_t> first_ms, last_ms;  // of its rows that were handed on
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
  Range range;  // as read: `last` made into bounds (none when no log has a row)
  // Each file that could not be read (or not wholly), one line each.
  std::vector<std::string> Errors() const;
};

struct Sink {
  std::function<void(const Row&)> row;
  std::function<void()> next_file;  // before the rows of each file; may be empty
};

// A set of logs opened: each file's first row read (and a plain log's last), the files put
// in time order, `last` made into bounds.
class LogSet {
 public:
  LogSet(const std::vector<std::string>& paths, const Range& range);
  ~LogSet();
  // The range as it will be read: `last` made into bounds (none when no log has a row).
  const Range& range() const;
  // Hands on, file by file in time order, the rows within the range.
  SetRead Read(const Sink& sink);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads the logs at `paths` and hands on, file by file in time order, the rows within
// `range`. Reads are to be trusted only as far as the files' own order: a rotated set's
// files follow each other in time.
SetRead ReadLogs(const std::vector<std::string>& paths, const Range& range, const Sink& sink);

// A whole small file (an audit trail), inflated when it is compressed; false with the
// reason when it cannot be read or is larger than `limit`.
bool ReadAll(const std::string& path, std::string& bytes, std::string& error,
             std::size_t limit = std::size_t{256} << 20);
// Writes a whole file (a chart, a report); false with the reason.
bool WriteAll(const std::string& path, const std::string& bytes, std::string& error);

// The damage of a set, one line per kind with its count and first place ("" for none).
std::string DamageReport(const SetRead& read);

}  // namespace logread
