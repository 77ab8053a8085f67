#include "seal/Chain.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

#include "logformat/LogFormat.h"

namespace seal {
namespace {

constexpr std::string_view kFrom = "from:";
constexpr char kDigits[] = "0123456789abcdef";

bool HexValue(char c, int& v) {
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  else
    return false;
  return true;
}

bool ParseHead(std::string_view text, Head& h) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || text.size() - colon - 1 != 64) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + colon, h.rows);
  if (ec != std::errc() || end != text.data() + colon) return false;
  for (std::size_t i = 0; i < 32; ++i) {
    int hi = 0, lo = 0;
    if (!HexValue(text[colon + 1 + 2 * i], hi) || !HexValue(text[colon + 2 + 2 * i], lo))
      return false;
    h.link[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return true;
}

std::string HeadText(const Head& h) {
  return std::to_string(h.rows) + ":" + Hex(h.link);
}

}  // namespace

std::string_view ColumnName(Kind kind) {
  switch (kind) {
    case Kind::kPlain:
      return logformat::kSealColumn;
    case Kind::kKeyed:
      return logformat::kKeyedSealColumn;
    case Kind::kNone:
      break;
  }
  return "";
}

std::optional<Kind> HeaderKind(std::string_view line, std::string_view base) {
  if (!line.starts_with(base)) return std::nullopt;
  line.remove_prefix(base.size());
  for (Kind k : {Kind::kNone, Kind::kPlain, Kind::kKeyed}) {
    std::string_view name = ColumnName(k);
    if (k == Kind::kNone
            ? line.empty()
            : line.size() == name.size() + 1 && line[0] == ',' && line.substr(1) == name)
      return k;
  }
  return std::nullopt;
}

std::string Hex(const Digest& d) {
  std::string out;
  out.reserve(64);
  for (std::uint8_t b : d) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string Short(const Digest& d) {
  std::string hex = Hex(d), out;
  for (std::size_t i = 0; i < 16; i += 4) {
    if (i > 0) out += ' ';
    for (std::size_t j = i; j < i + 4; ++j) out += static_cast<char>(std::toupper(hex[j]));
  }
  return out;
}

std::optional<std::string> ParseShort(std::string_view text) {
  std::string out;
  for (char c : text) {
    int v = 0;
    if (c == ' ' || c == '-') continue;
    if (!HexValue(c, v)) return std::nullopt;
    out += kDigits[v];
  }
  if (out.size() < 16 || out.size() > 64) return std::nullopt;
  return out;
}

Field ParseField(std::string_view text) {
  Field f;
  if (text.empty()) return f;
  bool from = text.starts_with(kFrom);
  if (from) text.remove_prefix(kFrom.size());
  f.what = !ParseHead(text, f.head) ? Field::kBad : from ? Field::kFrom : Field::kSeal;
  return f;
}

std::string SealField(const Head& h) {
  return HeadText(h);
}

std::string FromField(const Head& h) {
  return std::string(kFrom) + HeadText(h);
}

bool SplitSeal(std::string_view row, std::string_view& content, std::string_view& field) {
  std::size_t comma = row.rfind(',');
  if (comma == std::string_view::npos) return false;
  content = row.substr(0, comma);
  field = row.substr(comma + 1);
  return true;
}

Head Hasher::Next(const Head& h, std::string_view content) {
  buf_.assign(reinterpret_cast<const char*>(h.link.data()), h.link.size());
  buf_.append(content);
  return {h.rows + 1, keyed() ? HmacSha256(key_, buf_) : Sha256(buf_)};
}

namespace {

std::string Rows(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " row" : " rows");
}

}  // namespace

void Follow::Expect(const Head& head, std::string what, std::int64_t start_ms,
                    std::int64_t end_ms) {
  expected_.push_back({head, std::move(what), start_ms, end_ms});
}

bool Follow::changed() const {
  for (const Finding& f : findings_) {
    if (f.changed) return true;
  }
  return false;
}

void Follow::Tell(bool changed, std::string text) {
  findings_.push_back({changed, std::move(text)});
}

std::string Follow::Text(const Where& w) const {
  const auto& [name, by_line] = files_[w.file];
  return (by_line ? "line " : "the line at byte ") + std::to_string(w.here) + " of " + name;
}

void Follow::File(const std::string& name, Kind kind, bool from_start) {
  files_.emplace_back(name, from_start);
  following_ = kind != Kind::kNone && kind == hasher_.kind();
  if (kind == Kind::kNone) {
    unsealed_.push_back(name + " is not sealed");
  } else if (!following_) {
    unsealed_.push_back(kind == Kind::kKeyed
                            ? name + " is sealed with a key: not checked without it (--seal-key)"
                            : name + " is sealed without a key: not checked against a key");
  }
  if (!following_ || !from_start) anchored_ = false;
  last_plain_ = false;  // a write is never taken up again in another file
}

void Follow::Row(std::string_view line, std::uint64_t here, std::int64_t utc_ms, int offset) {
  if (!following_) return;
  std::string_view content, text;
  if (!SplitSeal(line, content, text)) return;
  Field field = ParseField(text);
  if (field.what == Field::kBad) return;  // torn in its seal: climon never chained it
  // A failed write leaves part of a row, which climon writes again whole; a part that
  // reached its seal's comma reads as a row of its own, the same as the next.
  if (last_plain_ && content == last_content_) {
    head_ = head_before_;
    pending_ = pending_before_;
  }
  head_before_ = head_;
  pending_before_ = pending_;
  last_plain_ = field.what == Field::kNone;
  last_content_.assign(content);
  if (utc_ms != 0) {
    if (utc_ms < last_row_ms_) disorder_ = true;
    last_row_ms_ = utc_ms;
    if (!first_row_ms_) first_row_ms_ = utc_ms;
  }
  if (field.what == Field::kFrom) From(field.head, here);
  if (!anchored_) {
    if (field.what != Field::kSeal) return;
    // The first link met: the rows after it are checked against it.
    anchored_ = true;
    head_ = field.head;
    pending_ = 0;
    last_good_ = At(here);
    if (on_seal) on_seal(utc_ms, offset, head_);
    return;
  }
  Head made = hasher_.Next(head_, content);
  if (field.what == Field::kSeal) return Seal(field.head, made, here, utc_ms, offset);
  head_ = made;
  if (pending_++ == 0) {
    pending_first_ = At(here);
    pending_first_ms_ = utc_ms;
    pending_first_offset_ = offset;
  }
  pending_last_ = At(here);
  Chained(here);
}

void Follow::Chained(std::uint64_t here) {
  for (Expected& e : expected_) {
    if (e.met || !(e.head == head_)) continue;
    e.met = true;
    verified_ += pending_;
    pending_ = 0;
    last_good_ = At(here);
  }
}

void Follow::Seal(const Head& written, const Head& made, std::uint64_t here, std::int64_t utc_ms,
                  int offset) {
  if (written == made) {
    verified_ += pending_ + 1;
    if (!first_ms && utc_ms != 0) {
      // The rows checked begin with the first of those this link covers.
      first_ms = pending_ > 0 && pending_first_ms_ != 0 ? pending_first_ms_ : utc_ms;
      first_offset = pending_ > 0 && pending_first_ms_ != 0 ? pending_first_offset_ : offset;
    }
    if (utc_ms != 0) {
      last_ms = utc_ms;
      last_offset = offset;
    }
    if (on_seal) on_seal(utc_ms, offset, made);
    if (!look_.empty() && Hex(made.link).starts_with(look_)) look_found_ = true;
  } else {
    Mismatch(written, made, here);
  }
  head_ = written;
  pending_ = 0;
  last_good_ = At(here);
  disorder_ = false;
  Chained(here);
}

void Follow::Mismatch(const Head& written, const Head& made, std::uint64_t here) {
  std::string span = "between " + Text(last_good_) + " and " + Text(At(here));
  if (written.rows > made.rows) {
    // At a file's first row, the rows missing may be a whole file of a rotated set.
    Tell(true, Rows(written.rows - made.rows) + " deleted " + span +
                   (here <= 2 ? " (or a file missing before " + files_.back().first + ")" : ""));
  } else if (written.rows < made.rows) {
    Tell(true, Rows(made.rows - written.rows) + " inserted " + span);
  } else {
    Tell(true, (disorder_ ? "rows reordered " : "a row changed ") + span);
  }
}

void Follow::From(const Head& from, std::uint64_t here) {
  const std::string at = Text(At(here));
  if (anchored_ && from == head_) {
    verified_ += pending_;  // the run before ended at the link this run goes on from
  } else if (anchored_ && from == Head{}) {
    if (pending_ > 0) {
      Tell(false, Rows(pending_) + " before " + at + ", from " + Text(pending_first_) +
                      ", that no link covers: a run that ended without one");
    }
    Tell(false, "a new chain begins at " + at + " (climon had no link to go on from)");
  } else if (anchored_) {
    Mismatch(from, head_, here);
  }
  anchored_ = true;
  head_ = from;
  pending_ = 0;
  last_good_ = At(here);
  disorder_ = false;
}

void Follow::End() {
  if (anchored_ && pending_ > 0) {
    Tell(false, "the last " + Rows(pending_) + ", from " + Text(pending_first_) + " to " +
                    Text(pending_last_) +
                    ", no link covers yet: the end of a run that stopped without one (a crash "
                    "or a power cut), of a run still going, or the end was cut");
  }
  for (const Expected& e : expected_) {
    // A run whose rows are not among those read is no concern of theirs.
    if (e.met || !first_row_ms_ || e.start_ms > last_row_ms_ || e.end_ms < *first_row_ms_) continue;
    Tell(true, e.what + " (row " + std::to_string(e.head.rows) +
                   ") is not in the rows: the end of that run was cut or changed");
  }
}

bool ReadKey(const std::string& path, std::string& key, std::string& error) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    error = "cannot read the seal key " + path + ": " + std::strerror(errno);
    return false;
  }
  key.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  if (f.bad()) {
    error = "cannot read the seal key " + path;
    return false;
  }
  if (key.ends_with('\n')) key.pop_back();
  if (key.ends_with('\r')) key.pop_back();
  if (key.size() < 16) {
    error = "the seal key " + path + (key.empty() ? " is empty" : " is shorter than 16 bytes");
    key.clear();
    return false;
  }
  return true;
}

namespace {
constexpr std::string_view kLogSealPrefix = "value log ";
}

std::string LogSealDetail(const Head& head, const std::string& path) {
  return std::string(kLogSealPrefix) + SealField(head) + " " + path;
}

std::optional<Head> LogSealOf(std::string_view detail) {
  if (!detail.starts_with(kLogSealPrefix)) return std::nullopt;
  detail.remove_prefix(kLogSealPrefix.size());
  Field f = ParseField(detail.substr(0, detail.find(' ')));
  if (f.what != Field::kSeal) return std::nullopt;
  return f.head;
}

void FollowText(Follow& follow, std::string_view text, std::uint64_t first_line,
                std::size_t fields) {
  for (const logformat::CsvRecord& r : logformat::ParseCsv(text)) {
    if (r.torn || r.fields.size() != fields) continue;
    std::int64_t ms = 0;
    int offset = 0;
    logformat::ParseIsoTime(r.fields[0], ms, offset);
    follow.Row(text.substr(r.begin, r.end - r.begin), first_line + r.line - 1, ms, offset);
  }
}

}  // namespace seal
