#include "LogSet.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>

#include "files/Files.h"
#include "logformat/LogFormat.h"

namespace logread {
namespace {

constexpr std::size_t kBlock = 1 << 20;
// What is read of a file's start to learn its first row, and of a plain file's end to
// learn its last.
constexpr std::size_t kHeadBytes = 1 << 16;
// A range is entered this much early and left this much late: a clock set back by up to
// this much (an hour's mistake of a time zone, set right) cannot hide rows at its edges
// from the bisection, which then lands before the step. Two hours of rows cost about 1 ms.
constexpr std::int64_t kSeekSlackMs = 2 * 3600000;
// Bisection stops when the span left is this short; the rest is read forward.
constexpr std::int64_t kSeekSpan = 1 << 16;

// A log's bytes, plain or inflated as they are read.
class Input {
 public:
  ~Input() {
    if (compressed_) inflateEnd(&z_);
    if (f_ != nullptr) std::fclose(f_);
  }

  bool Open(const std::string& path, std::string& error) {
    path_ = path;
    f_ = std::fopen(path.c_str(), "rb");
    if (f_ == nullptr) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      return false;
    }
    // gzip's two magic bytes, whatever the file is called.
    unsigned char magic[2] = {0, 0};
    std::size_t n = std::fread(magic, 1, 2, f_);
    std::rewind(f_);
    compressed_ = n == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    if (compressed_) {
      in_.resize(kBlock / 16);
      // 15 + 16: a gzip stream, its header and trailer checked.
      if (inflateInit2(&z_, 15 + 16) != Z_OK) {
        error = "cannot read " + path + ": out of memory";
        return false;
      }
    }
    return true;
  }

  bool compressed() const { return compressed_; }
  std::FILE* file() const { return f_; }
  const std::string& error() const { return error_; }

  // Up to `n` bytes of the log; 0 at its end or on an error (error() then says which).
  std::size_t Read(char* out, std::size_t n) {
    if (!error_.empty()) return 0;
    if (!compressed_) {
      std::size_t got = std::fread(out, 1, n, f_);
      if (got == 0 && std::ferror(f_)) error_ = "cannot read " + path_ + ": read error";
      return got;
    }
    z_.next_out = reinterpret_cast<Bytef*>(out);
    z_.avail_out = static_cast<uInt>(n);
    while (z_.avail_out > 0) {
      if (z_.avail_in == 0) {
        std::size_t got = std::fread(in_.data(), 1, in_.size(), f_);
        if (got == 0) {
          if (std::ferror(f_)) {
            error_ = "cannot read " + path_ + ": read error";
          } else if (!member_done_) {
            error_ = path_ + " is cut short: its compressed data ends early";
          }
          break;
        }
        z_.next_in = in_.data();
        z_.avail_in = static_cast<uInt>(got);
      }
      if (member_done_) {
        // Another gzip member follows (cat a.gz b.gz makes such a file).
        inflateReset(&z_);
        member_done_ = false;
      }
      int r = inflate(&z_, Z_NO_FLUSH);
      if (r == Z_STREAM_END) {
        member_done_ = true;
      } else if (r != Z_OK && !(r == Z_BUF_ERROR && z_.avail_in == 0)) {
        error_ = path_ + " is damaged at byte " +
                 std::to_string(z_.total_in + consumed_before_member_) +
                 " of its compressed data: " + (z_.msg != nullptr ? z_.msg : "not gzip data");
        break;
      }
      if (member_done_) consumed_before_member_ += z_.total_in;
    }
    return n - z_.avail_out;
  }

 private:
  std::string path_;
  std::FILE* f_ = nullptr;
  bool compressed_ = false;
  z_stream z_{};
  std::vector<unsigned char> in_;
  bool member_done_ = false;
  std::uint64_t consumed_before_member_ = 0;
  std::string error_;
};

// The time of a line that starts with one, with its port and variant.
struct Stamp {
  std::int64_t ms = 0;
  std::int32_t port = 0, variant = 0;
};

std::optional<Stamp> LineStamp(std::string_view line) {
  std::size_t comma = line.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  Stamp s;
  int offset;
  if (!logformat::ParseIsoTime(line.substr(0, comma), s.ms, offset)) return std::nullopt;
  const char* end = line.data() + line.size();
  auto port = std::from_chars(line.data() + comma + 1, end, s.port);
  if (port.ptr < end && *port.ptr == ',') std::from_chars(port.ptr + 1, end, s.variant);
  return s;
}

// The first line at or after `at` with a time, in the block `text` read from there; the
// block's first line is whole only when `at` starts a line.
std::optional<std::pair<std::size_t, Stamp>> FirstStamp(std::string_view text, bool whole_first) {
  std::size_t start = 0;
  if (!whole_first) {
    std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return std::nullopt;
    start = nl + 1;
  }
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) return std::nullopt;  // not a whole line
    if (auto s = LineStamp(text.substr(start, nl - start))) return std::make_pair(start, *s);
    start = nl + 1;
  }
  return std::nullopt;
}

// The last line of a block with a time.
std::optional<Stamp> LastStamp(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = text.rfind('\n', end - 1);
    start = start == std::string_view::npos ? 0 : start + 1;
    if (auto s = LineStamp(text.substr(start, end - start))) return s;
    if (start == 0) break;
    end = start - 1;
  }
  return std::nullopt;
}

std::string ReadAt(std::FILE* f, std::uint64_t at, std::size_t n) {
  std::string block(n, '\0');
  if (!files::SeekTo(f, at)) return "";
  block.resize(std::fread(block.data(), 1, n, f));
  return block;
}

// Bisects a plain log's rows from byte `lo` (a line whose time is `lo_ms`) for where they
// reach `target` (pass it, with `past`): the last line start found before, and the first
// found at or past it. A probe that finds the rows out of order within the span left (a
// clock step, a row from another time) ends it: not `ordered`.
struct Bracket {
  std::uint64_t lo, hi;
  bool ordered;
};
Bracket Bisect(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
               std::int64_t target, bool past) {
  auto before = [&](std::int64_t t) { return past ? t <= target : t < target; };
  if (!before(lo_ms)) return {lo, lo, true};
  std::uint64_t hi = size;
  std::optional<std::int64_t> hi_ms;
  while (hi - lo > static_cast<std::uint64_t>(kSeekSpan)) {
    std::uint64_t mid = lo + (hi - lo) / 2;
    auto probe = FirstStamp(ReadAt(f, mid, kHeadBytes), false);
    if (!probe || mid + probe->first >= hi) {
      // No row within reach of the middle: look lower, or, for an end, trust nothing.
      if (past) return {lo, hi, false};
      hi = mid;
      continue;
    }
    std::int64_t t = probe->second.ms;
    if (t < lo_ms || (hi_ms && t > *hi_ms)) return {lo, hi, false};
    if (before(t)) {
      lo = mid + probe->first;
      lo_ms = t;
    } else {
      hi = mid + probe->first;
      hi_ms = t;
    }
  }
  return {lo, hi, true};
}

// Where to read from so that no row at or after `target` is missed: out of order, the
// span left is read forward.
std::uint64_t SeekFrom(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                       std::int64_t target) {
  return Bisect(f, lo, lo_ms, size, target, false).lo;
}

// Where the rows up to `target` end: the file's end where the order cannot be trusted.
std::uint64_t SeekTo(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                     std::int64_t target) {
  if (lo_ms > target) return size;  // the first row is past it already
  Bracket b = Bisect(f, lo, lo_ms, size, target, true);
  return b.ordered ? b.hi : size;
}

// What a named file's start (and a plain one's end) tells before it is read. The file is
// closed again: a year of rotated files is 365 of them.
struct Entry {
  FileRead read;
  bool ok = false;                   // a climon log that can be read
  std::uint64_t rows_start = 0;      // the byte after its header
  std::optional<Stamp> first, last;  // last: a plain log's, from its end
  std::uint64_t size = 0;            // a plain log's
};

Entry ReadHead(const std::string& path) {
  Entry e;
  e.read.path = path;
  Input input;
  if (!input.Open(path, e.read.error)) return e;
  e.read.compressed = input.compressed();
  // The header and a row or two: a plain log's first block, a little of a compressed one.
  std::string head(e.read.compressed ? kHeadBytes / 16 : kHeadBytes, '\0');
  head.resize(input.Read(head.data(), head.size()));
  if (!input.error().empty() && head.empty()) {
    e.read.error = input.error();
    return e;
  }
  std::size_t nl = head.find('\n');
  std::string_view first_line = std::string_view(head).substr(0, nl);
  if (!first_line.empty() && first_line.back() == '\r') first_line.remove_suffix(1);
  if (head.empty()) {
    e.read.error = path + " is empty: not a climon value log";
    return e;
  }
  if (!IsHeader(first_line)) {
    e.read.error = path + " is not a climon value log: its first line is not climon's header";
    return e;
  }
  e.ok = true;
  e.rows_start = nl == std::string::npos ? head.size() : nl + 1;
  if (auto s = FirstStamp(std::string_view(head).substr(e.rows_start), true)) e.first = s->second;
  if (!e.read.compressed) {
    e.size = files::SizeOf(input.file());
    std::uint64_t from = e.size > kHeadBytes ? e.size - kHeadBytes : 0;
    e.last = LastStamp(ReadAt(input.file(), from, kHeadBytes));
  }
  return e;
}

// A compressed file inflated on a thread of its own, a few blocks ahead of its reader.
class Inflater {
 public:
  explicit Inflater(Input& input) : thread_([this, &input] { Run(input); }) {}
  ~Inflater() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  // The next block; empty at the end.
  std::string Next() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return !blocks_.empty() || done_; });
    if (blocks_.empty()) return "";
    std::string b = std::move(blocks_.front());
    blocks_.pop_front();
    cv_.notify_all();
    return b;
  }

 private:
  static constexpr std::size_t kAhead = 4;
  void Run(Input& input) {
    for (;;) {
      std::string b(kBlock, '\0');
      b.resize(input.Read(b.data(), b.size()));
      std::unique_lock<std::mutex> lock(m_);
      if (b.empty() || stop_) break;
      cv_.wait(lock, [this] { return blocks_.size() < kAhead || stop_; });
      blocks_.push_back(std::move(b));
      cv_.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_);
    done_ = true;
    cv_.notify_all();
  }
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::string> blocks_;
  bool done_ = false, stop_ = false;
  std::thread thread_;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

std::string Who(const Stamp& s, const std::string& path) {
  return "port " + std::to_string(s.port) + ", variant " + std::to_string(s.variant) + " in " +
         path;
}

// Two rows of one room: the same port, and the same variant where both are known.
bool SameRoom(const Stamp& a, const Stamp& b) {
  return a.port == b.port && (a.variant == 0 || b.variant == 0 || a.variant == b.variant);
}

// The newest row of a compressed file: all of it is inflated.
std::optional<Stamp> InflatedLast(const std::string& path) {
  Input input;
  std::string error;
  if (!input.Open(path, error)) return std::nullopt;
  std::optional<Stamp> last;
  std::string tail, block(kBlock, '\0');
  for (std::size_t n; (n = input.Read(block.data(), block.size())) > 0;) {
    tail.append(block.data(), n);
    std::size_t cut = tail.rfind('\n');
    if (cut == std::string::npos) continue;
    if (auto s = LastStamp(std::string_view(tail).substr(0, cut))) last = s;
    tail.erase(0, cut + 1);
  }
  if (auto s = LastStamp(tail)) last = s;
  return last;
}

}  // namespace

std::vector<std::string> SetRead::Errors() const {
  std::vector<std::string> out;
  for (const FileRead& f : files) {
    if (!f.error.empty()) out.push_back(f.error);
  }
  return out;
}

bool ReadAll(const std::string& path, std::string& bytes, std::string& error, std::size_t limit) {
  Input input;
  if (!input.Open(path, error)) return false;
  bytes.clear();
  std::vector<char> block(kBlock);
  for (std::size_t n; (n = input.Read(block.data(), block.size())) > 0;) {
    if (bytes.size() + n > limit) {
      error = "cannot read " + path + ": larger than " + std::to_string(limit >> 20) + " MB";
      return false;
    }
    bytes.append(block.data(), n);
  }
  error = input.error();
  return error.empty();
}

bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int saved = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) error = "cannot write " + path + ": " + std::strerror(saved);
  return ok;
}

std::string DamageReport(const SetRead& read) {
  std::string kinds;
  for (std::size_t k = 0; k < read.damage.size(); ++k) {
    const DamageCount& d = read.damage[k];
    if (d.rows == 0) continue;
    kinds += "\n  " + std::to_string(d.rows) + " " + DamageName(static_cast<Damage>(k)) +
             ", the first on " + d.first_at;
  }
  return kinds;
}

struct LogSet::State {
  std::vector<Entry> entries;
  std::vector<std::optional<std::int64_t>> upper;  // each file's newest row, where known
  Range range;
};

LogSet::LogSet(const std::vector<std::string>& paths, const Range& range)
    : state_(std::make_unique<State>()) {
  std::vector<Entry>& entries = state_->entries;
  entries.reserve(paths.size());
  for (const std::string& path : paths) {
    bool again = std::any_of(entries.begin(), entries.end(), [&path](const Entry& e) {
      return e.read.path == path || SameFile(e.read.path, path);
    });
    if (!again) entries.push_back(ReadHead(path));  // named twice: read once
  }
  // In the order of their first rows: a rotated set in time order, whatever the names.
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (!a.first || !b.first) return a.first.has_value() && !b.first.has_value();
    return a.first->ms < b.first->ms;
  });
  // Each file's newest row: a plain log's from its end; a compressed one's no later than
  // the next file's first row, and the newest file's by inflating it when it is needed.
  std::vector<std::optional<std::int64_t>>& upper = state_->upper;
  upper.resize(entries.size());
  std::optional<std::int64_t> newest;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (!e.ok) continue;
    if (!e.read.compressed) {
      if (e.last) upper[i] = e.last->ms;
    } else if (i + 1 < entries.size() && entries[i + 1].first) {
      upper[i] = entries[i + 1].first->ms;
    } else if (e.first && range.last) {
      if (auto s = InflatedLast(e.read.path)) upper[i] = s->ms;
    }
    if (upper[i] && (!newest || *upper[i] > *newest)) newest = upper[i];
  }
  state_->range = range;
  if (range.last) {
    // With no row anywhere, a range that holds nothing.
    std::int64_t to = newest.value_or(std::numeric_limits<std::int64_t>::min() + *range.last);
    state_->range = Range{to - *range.last, to, std::nullopt};
  }
}

LogSet::~LogSet() = default;

const Range& LogSet::range() const {
  return state_->range;
}

SetRead LogSet::Read(const Sink& sink) {
  SetRead out;
  out.range = state_->range;
  const Range& r = out.range;
  // Rows of another room: compared on each file's first row, then on every row read.
  std::optional<std::pair<Stamp, std::string>> room;
  auto same_room = [&out, &room](const Stamp& s, const std::string& path) {
    if (!room) {
      room.emplace(s, path);
    } else if (out.mixed.empty() && !SameRoom(room->first, s)) {
      out.mixed = "rows of " + Who(room->first, room->second) + " and of " + Who(s, path);
    }
    if (room->first.variant == 0) room->first.variant = s.variant;
  };
  for (const Entry& e : state_->entries) {
    if (e.first) same_room(*e.first, e.read.path);
  }
  std::vector<char> block(kBlock);
  for (std::size_t i = 0; i < state_->entries.size(); ++i) {
    const Entry& e = state_->entries[i];
    const std::optional<std::int64_t>& upper = state_->upper[i];
    FileRead f = e.read;
    if (e.ok && e.first) {
      f.skipped = (r.to && e.first->ms > *r.to + kSeekSlackMs) ||
                  (r.from && upper && *upper < *r.from - kSeekSlackMs);
    }
    Input input;
    if (!e.ok || f.skipped || !input.Open(f.path, f.error)) {
      out.files.push_back(std::move(f));
      continue;
    }
    if (sink.next_file) sink.next_file();
    LogReader reader(f.path, [&](const Row& row) {
      if (!r.Holds(row.utc_ms)) return;
      same_room(Stamp{row.utc_ms, row.port, row.variant}, f.path);
      if (!f.first_ms) f.first_ms = row.utc_ms;
      f.last_ms = row.utc_ms;
      ++f.rows;
      sink.row(row);
    });
    if (input.compressed()) {
      Inflater inflater(input);
      for (std::string b; reader.refusal().empty() && !(b = inflater.Next()).empty();) {
        reader.Feed(b);
      }
    } else {
      std::FILE* file = input.file();
      std::uint64_t from = 0, to = e.size;
      if (e.first && r.from) {
        from = SeekFrom(file, e.rows_start, e.first->ms, e.size, *r.from - kSeekSlackMs);
      }
      if (e.first && r.to) {
        to = SeekTo(file, e.rows_start, e.first->ms, e.size, *r.to + kSeekSlackMs);
      }
      if (from > 0) reader.ResumeAt(from);
      files::SeekTo(file, from);
      for (std::uint64_t at = from; at < to && reader.refusal().empty();) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), to - at));
        std::size_t n = input.Read(block.data(), want);
        if (n == 0) break;
        reader.Feed(std::string_view(block.data(), n));
        at += n;
      }
    }
    reader.Finish();
    if (!input.error().empty()) {
      f.error = input.error() + (f.rows > 0 ? "; the rows before it are read" : "");
    } else if (!reader.refusal().empty()) {
      f.error = reader.refusal();
    }
    for (std::size_t k = 0; k < out.damage.size(); ++k) {
      const DamageCount& d = reader.damage()[k];
      if (d.rows > 0 && out.damage[k].rows == 0) out.damage[k].first_at = d.first_at;
      out.damage[k].rows += d.rows;
    }
    out.rows += f.rows;
    out.files.push_back(std::move(f));
  }
  return out;
}

SetRead ReadLogs(const std::vector<std::string>& paths, const Range& range, const Sink& sink) {
  return LogSet(paths, range).Read(sink);
}

}  // namespace logread
