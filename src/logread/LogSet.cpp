#include "logread/LogSet.h"

#include <algorithm>
#include <limits>

#include "files/Files.h"
#include "logread/Input.h"
#include "logread/Seek.h"

namespace logread {
namespace {

// What a named file's start (and a plain one's end) tells before it is read. The file is
// closed again: a year of rotated files is 365 of them.
struct Entry {
  FileRead read;
  bool ok = false;                   // a climon log that can be read
  std::uint64_t rows_start = 0;      // the byte after its header
  std::optional<Stamp> first, last;  // last: a plain log's, from its end
  std::uint64_t size = 0;            // a plain log's
  seal::Kind kind = seal::Kind::kNone;
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
  e.read.error = NotALog(
      path, head.empty() ? std::nullopt
                         : std::optional<std::string_view>(std::string_view(head).substr(0, nl)));
  if (!e.read.error.empty()) return e;
  e.ok = true;
  e.kind = *HeaderKind(WithoutCr(std::string_view(head).substr(0, nl)));
  e.rows_start = nl == std::string::npos ? head.size() : nl + 1;
  if (auto s = FirstStamp(std::string_view(head).substr(e.rows_start), true)) e.first = s->second;
  if (!e.read.compressed) {
    e.size = files::SizeOf(input.file());
    std::uint64_t from = e.size > kHeadBytes ? e.size - kHeadBytes : 0;
    e.last = LastStamp(ReadAt(input.file(), from, kHeadBytes));
  }
  return e;
}

// Rows of one room only: compared on each file's first row, then on every row read. Two
// rows are of one room when they have the same port, and the same variant where both are
// known.
class RoomCheck {
 public:
  explicit RoomCheck(std::string& mixed) : mixed_(mixed) {}
  void See(const Stamp& s, const std::string& path) {
    if (!room_) {
      room_.emplace(s, path);
    } else if (mixed_.empty() && !Same(room_->first, s)) {
      mixed_ = "rows of " + Who(room_->first, room_->second) + " and of " + Who(s, path);
    }
    if (room_->first.variant == 0) room_->first.variant = s.variant;
  }

 private:
  static bool Same(const Stamp& a, const Stamp& b) {
    return a.port == b.port && (a.variant == 0 || b.variant == 0 || a.variant == b.variant);
  }
  static std::string Who(const Stamp& s, const std::string& path) {
    return "port " + std::to_string(s.port) + ", variant " + std::to_string(s.variant) + " in " +
           path;
  }
  std::string& mixed_;
  std::optional<std::pair<Stamp, std::string>> room_;
};

// After each block: where the read stands.
using Fed = std::function<void()>;

// The rows of a compressed file, inflated ahead on a thread of their own.
void FeedCompressed(Input& input, LogReader& reader, const Fed& fed) {
  Inflater inflater(input);
  for (std::string b; reader.refusal().empty() && !(b = inflater.Next()).empty();) {
    reader.Feed(b);
    fed();
  }
}

// The rows of a plain file from the byte where the period may begin to where it surely
// ends; false when that is before the file's end.
bool FeedPlain(Input& input, const Entry& e, const record::Period& p, LogReader& reader,
               const Fed& fed) {
  std::FILE* file = input.file();
  std::uint64_t from = 0, to = e.size;
  if (auto a = p.EarliestUtc(); e.first && a) {
    from = SeekFrom(file, e.rows_start, e.first->ms, e.size, *a - kSeekSlackMs);
  }
  if (auto b = p.LatestUtc(); e.first && b) {
    to = SeekTo(file, e.rows_start, e.first->ms, e.size, *b + kSeekSlackMs);
  }
  if (from > 0) reader.ResumeAt(from, e.kind);
  files::SeekTo(file, from);
  std::vector<char> block(kBlock);
  for (std::uint64_t at = from; at < to && reader.refusal().empty();) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), to - at));
    std::size_t n = input.Read(block.data(), want);
    if (n == 0) break;
    reader.Feed(std::string_view(block.data(), n));
    fed();
    at += n;
  }
  return to >= e.size;
}

}  // namespace

std::vector<std::string> SetRead::Errors() const {
  std::vector<std::string> out;
  for (const FileRead& f : files) {
    if (!f.error.empty()) out.push_back(f.error);
  }
  return out;
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
  record::Period period;
};

LogSet::LogSet(const std::vector<std::string>& paths, const record::Period& period)
    : state_(std::make_unique<State>()) {
  std::vector<Entry>& entries = state_->entries;
  entries.reserve(paths.size());
  for (const std::string& path : paths) {
    bool again = std::any_of(entries.begin(), entries.end(), [&path](const Entry& e) {
      return e.read.path == path || files::SameFile(e.read.path, path);
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
    } else if (e.first && period.last) {
      if (auto s = InflatedLast(e.read.path)) upper[i] = s->ms;
    }
    if (upper[i] && (!newest || *upper[i] > *newest)) newest = upper[i];
  }
  // With no row anywhere, a period that holds nothing.
  state_->period = period.Resolved(
      newest.value_or(std::numeric_limits<std::int64_t>::min() + period.last.value_or(0)));
}

LogSet::~LogSet() = default;

const record::Period& LogSet::period() const {
  return state_->period;
}

SetRead LogSet::Read(const Sink& sink) {
  SetRead out;
  const record::Period& p = state_->period;
  RoomCheck room(out.mixed);
  for (const Entry& e : state_->entries) {
    if (e.first) room.See(*e.first, e.read.path);
  }
  const std::optional<std::int64_t> earliest = p.EarliestUtc(), latest = p.LatestUtc();
  std::uint64_t read_rows = 0;  // of the files before, the period's or not
  for (std::size_t i = 0; i < state_->entries.size(); ++i) {
    const Entry& e = state_->entries[i];
    const std::optional<std::int64_t>& upper = state_->upper[i];
    FileRead f = e.read;
    if (e.ok && e.first) {
      f.skipped = (latest && e.first->ms > *latest + kSeekSlackMs) ||
                  (earliest && upper && *upper < *earliest - kSeekSlackMs);
    }
    Input input;
    if (!e.ok || f.skipped || !input.Open(f.path, f.error)) {
      if (sink.follow != nullptr) sink.follow->Lose();
      out.files.push_back(std::move(f));
      continue;
    }
    if (sink.next_file) sink.next_file();
    LogReader reader(f.path, [&](const Row& row) {
      if (!p.Holds({row.utc_ms, row.utc_offset_minutes})) return;
      room.See(Stamp{row.utc_ms, row.port, row.variant}, f.path);
      if (!f.first) f.first = record::Moment{row.utc_ms, row.utc_offset_minutes};
      f.last = record::Moment{row.utc_ms, row.utc_offset_minutes};
      ++f.rows;
      sink.row(row);
    });
    if (sink.crc) reader.ContinueCrc(out.crc);
    reader.FollowSeals(sink.follow);
    bool whole = true;
    const Fed fed = [&] {
      if (sink.progress) sink.progress(i + 1, state_->entries.size(), read_rows + reader.rows());
    };
    if (input.compressed()) {
      FeedCompressed(input, reader, fed);
    } else {
      whole = FeedPlain(input, e, p, reader, fed);
    }
    read_rows += reader.rows();
    reader.Finish();
    if (sink.follow != nullptr && (!whole || !input.error().empty())) sink.follow->Lose();
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
    out.crc = reader.crc();
    out.steps_seen += reader.steps_seen();
    for (const ClockStep& s : reader.steps()) {
      if (out.steps.size() < LogReader::kMaxSteps) out.steps.push_back(s);
    }
    out.rows += f.rows;
    out.files.push_back(std::move(f));
  }
  return out;
}

}  // namespace logread
