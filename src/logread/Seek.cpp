#include "logread/Seek.h"

#include <charconv>

#include "files/Files.h"
#include "logformat/LogFormat.h"
#include "logread/Input.h"

namespace logread {
namespace {

// Bisection stops when the span left is this short; the rest is read forward.
constexpr std::int64_t kSeekSpan = 1 << 16;

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

}  // namespace

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

std::uint64_t SeekFrom(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                       std::int64_t target) {
  return Bisect(f, lo, lo_ms, size, target, false).lo;
}

std::uint64_t SeekTo(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                     std::int64_t target) {
  if (lo_ms > target) return size;  // the first row is past it already
  Bracket b = Bisect(f, lo, lo_ms, size, target, true);
  return b.ordered ? b.hi : size;
}

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

}  // namespace logread
