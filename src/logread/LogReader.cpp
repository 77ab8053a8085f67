#include "logread/LogReader.h"

#include <zlib.h>

#include <charconv>
#include <cmath>

#include "logformat/LogFormat.h"
#include "record/Period.h"

namespace logread {
namespace {

// A climon row is about 120 bytes; a line far longer is not one, and is not kept whole.
constexpr std::size_t kMaxLine = 4096;
// Beyond this a value is no reading of a room: an unreadable field.
constexpr double kSaneLimit = 1e6;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A row further than this from both neighbours has a time that stands alone.
constexpr std::int64_t kLoneJumpMs = 2LL * 86400 * 1000;

bool Far(std::int64_t a, std::int64_t b) {
  return a - b > kLoneJumpMs || b - a > kLoneJumpMs;
}

// Two rows that do not follow each other as a pass follows the one before: further apart than
// a row's values hold, or at another UTC offset.
bool Apart(const Row& a, const Row& b) {
  return a.utc_ms - b.utc_ms > record::kHoldMs || b.utc_ms - a.utc_ms > record::kHoldMs ||
         a.utc_offset_minutes != b.utc_offset_minutes;
}

const std::string& Header() {
  static const std::string header = [] {
    std::string h = logformat::CsvHeader();
    return h.substr(0, h.size() - 2);
  }();
  return header;
}

// The fields of a line; false when there are more than `out` holds.
bool Split(std::string_view line, std::array<std::string_view, logformat::kColumnCount + 1>& out,
           std::size_t& count) {
  count = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = line.find(',', start);
    if (count == out.size()) return false;
    out[count++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

// A value of the log: a plain decimal, as climon writes it ("-12.48"), and nothing else:
// an exponent, an infinity or a NaN makes the row damaged, never a day's highest. Up to 15
// digits and 9 decimals it is read at once (the integer of the digits over a power of
// ten, each exact in a double, so the quotient is the correctly rounded value that
// from_chars gives too); a longer one goes to from_chars.
bool ParseValue(std::string_view text, double& v) {
  static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  std::int64_t digits = 0;
  int count = 0, decimals = -1;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + (c - '0');
      ++count;
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      break;
    }
  }
  if (i != text.size() || count == 0 || decimals == 0) return false;
  if (count <= 15 && decimals <= 9) {
    v = static_cast<double>(digits) / kPowers[decimals < 0 ? 0 : decimals];
    if (text[0] == '-') v = -v;
    return true;
  }
  auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
  return static_cast<std::uint32_t>(
      crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

std::string_view WithoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<seal::Kind> HeaderKind(std::string_view line) {
  // Some spreadsheets save a CSV with a byte-order mark first.
  if (line.starts_with(kBom)) line.remove_prefix(kBom.size());
  return seal::HeaderKind(line, Header());
}

bool IsHeader(std::string_view line) {
  return HeaderKind(line).has_value();
}

std::string NotALog(const std::string& name, std::optional<std::string_view> first_line) {
  if (!first_line) return name + " is empty: not a climon value log";
  if (!IsHeader(WithoutCr(*first_line)))
    return name + " is not a climon value log: its first line is not climon's header";
  return "";
}

const char* DamageName(Damage kind) {
  switch (kind) {
    case Damage::kFieldCount:
      return "with the wrong number of fields (a torn row)";
    case Damage::kRepeatedHeader:
      return "repeated headers";
    case Damage::kBadTime:
      return "with a time that cannot be read";
    case Damage::kBadValue:
      return "with a value that is not a sane number";
    case Damage::kTooLong:
      return "far too long to be a row";
    case Damage::kLoneTime:
      return "with a time far from the rows around it (a clock wrong for that row)";
    case Damage::kKinds:
      break;
  }
  return "";
}

LogReader::LogReader(std::string name, std::function<void(const Row&)> sink)
    : name_(std::move(name)), sink_(std::move(sink)) {}

void LogReader::ResumeAt(std::uint64_t at, seal::Kind kind) {
  resumed_ = header_seen_ = true;
  next_line_byte_ = at;
  kind_ = kind;
  if (follow_ != nullptr) {
    follow_->File(name_, kind_, false);
  }
}

void LogReader::EndLine() {
  ++line_;
  line_byte_ = next_line_byte_;
  next_line_byte_ += line_length_ + 1;
  line_length_ = 0;
}

std::string LogReader::Place(std::uint64_t here) const {
  return (resumed_ ? "the line at byte " : "line ") + std::to_string(here) + " of " + name_;
}

void LogReader::Count(Damage kind, std::uint64_t here) {
  DamageCount& d = damage_[static_cast<std::size_t>(kind)];
  if (d.rows++ == 0) {
    d.first_at = Place(here);
  }
}

void LogReader::Hold(const Row& next) {
  if (held_) {
    bool far_next = Far(held_->utc_ms, next.utc_ms);
    // The first row has no row before it: far from the next, it is the one that is out.
    bool far_previous = previous_ ? Far(held_->utc_ms, previous_->utc_ms) : far_next;
    // Between two rows that follow each other, a row apart from both is the one that is out
    // (an hour ahead, or at -12:00 for one pass); a stop or a step leaves no such pair.
    bool stray =
        previous_ && Apart(*held_, *previous_) && Apart(*held_, next) && !Apart(*previous_, next);
    Release((far_previous && far_next) || stray);
  }
  held_ = next;
  held_line_ = Here();
}

void LogReader::Release(bool lone) {
  if (lone) {
    Count(Damage::kLoneTime, held_line_);
  } else {
    if (previous_ && held_->utc_ms < previous_->utc_ms && steps_seen_++ < kMaxSteps) {
      steps_.push_back({Place(held_line_), held_->utc_ms, held_->utc_offset_minutes,
                        previous_->utc_ms - held_->utc_ms});
    }
    ++rows_;
    previous_ = held_;
    sink_(*held_);
  }
  held_.reset();
}

void LogReader::Feed(std::string_view bytes) {
  if (digest_) crc_ = Crc32(crc_, bytes);
  while (!bytes.empty() && refusal_.empty()) {
    std::size_t nl = bytes.find('\n');
    std::string_view part = bytes.substr(0, nl);
    line_length_ += part.size();
    if (!too_long_) {
      if (pending_.size() + part.size() > kMaxLine) {
        too_long_ = true;
        pending_.clear();
      } else if (nl != std::string_view::npos && pending_.empty()) {
        Line(part);  // the whole line is in this block: no copy
      } else {
        pending_.append(part);
      }
    }
    if (nl == std::string_view::npos) return;
    if (too_long_) {
      EndLine();
      Count(Damage::kTooLong, Here());
      too_long_ = false;
    } else if (!pending_.empty()) {
      Line(pending_);
      pending_.clear();
    }
    bytes.remove_prefix(nl + 1);
  }
}

void LogReader::Finish() {
  if (too_long_) {
    EndLine();
    Count(Damage::kTooLong, Here());
  } else if (!pending_.empty()) {
    Line(pending_);
  }
  pending_.clear();
  too_long_ = false;
  // The last row has no row after it: far from the one before, it is the one that is out.
  if (held_) Release(previous_ && Far(held_->utc_ms, previous_->utc_ms));
  if (refusal_.empty() && !header_seen_) refusal_ = NotALog(name_, std::nullopt);
}

void LogReader::Line(std::string_view line) {
  EndLine();
  line = WithoutCr(line);
  if (!header_seen_) {
    refusal_ = NotALog(name_, line);
    if (!refusal_.empty()) return;
    header_seen_ = true;
    kind_ = *HeaderKind(line);
    if (follow_ != nullptr) {
      follow_->File(name_, kind_, true);
    }
    return;
  }
  if (line.empty()) return;
  if (IsHeader(line)) return Count(Damage::kRepeatedHeader, Here());
  std::array<std::string_view, logformat::kColumnCount + 1> f;
  std::size_t n = 0;
  const std::size_t fields = logformat::kColumnCount + (kind_ == seal::Kind::kNone ? 0 : 1);
  if (!Split(line, f, n) || n != fields) return Count(Damage::kFieldCount, Here());
  Row row;
  const bool timed = logformat::ParseIsoTime(f[0], row.utc_ms, row.utc_offset_minutes);
  // Every row whole is in the chain, a damaged one too: climon never writes one.
  if (follow_ != nullptr)
    follow_->Row(line, Here(), timed ? row.utc_ms : 0, row.utc_offset_minutes);
  if (!timed) return Count(Damage::kBadTime, Here());
  std::from_chars(f[1].data(), f[1].data() + f[1].size(), row.port);
  std::from_chars(f[2].data(), f[2].data() + f[2].size(), row.variant);
  // Series s is value column s, after time, port and variant.
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    std::string_view text = f[3 + s];
    if (text.empty()) continue;
    double v = 0;
    if (!ParseValue(text, v) || !std::isfinite(v) || std::fabs(v) > kSaneLimit) {
      return Count(Damage::kBadValue, Here());
    }
    row.values[s] = v;
  }
  Hold(row);
}

}  // namespace logread
