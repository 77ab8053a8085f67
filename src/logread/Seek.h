// Finding rows in a log without reading all of it: the time stamp at a line's start, the
// first and last stamped line of a block, and a plain log entered by bisecting on its
// time column. A compressed log cannot be entered; its newest row costs inflating it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace logread {

// What is read of a file's start to learn its first row, and of a plain file's end to
// learn its last.
inline constexpr std::size_t kHeadBytes = 1 << 16;
// A range is entered this much early and left this much late: a clock set back by up to
// this much (an hour's mistake of a time zone, set right) cannot hide rows at its edges
// from the bisection, which then lands before the step. Two hours of rows cost about 1 ms.
inline constexpr std::int64_t kSeekSlackMs = 2 * 3600000;

// The time of a line that starts with one, with its port and variant.
struct Stamp {
  std::int64_t ms = 0;
  std::int32_t port = 0, variant = 0;
};
std::optional<Stamp> LineStamp(std::string_view line);
// The first line with a time in `text`, and where it starts; the block's first line is
// taken only when `whole_first` (the block starts a line).
std::optional<std::pair<std::size_t, Stamp>> FirstStamp(std::string_view text, bool whole_first);
// The last line of a block with a time.
std::optional<Stamp> LastStamp(std::string_view text);

// Up to `n` bytes of `f` from byte `at`.
std::string ReadAt(std::FILE* f, std::uint64_t at, std::size_t n);

// In a plain log whose rows start at byte `lo` with a row at `lo_ms`, of `size` bytes:
// where to read from so that no row at or after `target` is missed (out of order, the
// span left is read forward), and where the rows up to `target` end (the file's end where
// the order cannot be trusted).
std::uint64_t SeekFrom(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                       std::int64_t target);
std::uint64_t SeekTo(std::FILE* f, std::uint64_t lo, std::int64_t lo_ms, std::uint64_t size,
                     std::int64_t target);

// The newest row of a compressed file: all of it is inflated.
std::optional<Stamp> InflatedLast(const std::string& path);

}  // namespace logread
