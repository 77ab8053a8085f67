#include "logread/Progress.h"

#include <cstdio>

namespace logread {

void Progress::Show(std::size_t file, std::size_t files, std::uint64_t rows) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + kEvery;
  std::string line = program_ + ": reading file " + std::to_string(file) + " of " +
                     std::to_string(files) + ", " + std::to_string(rows) + " rows";
  // Padded over a longer line before it.
  std::string pad(line.size() < width_ ? width_ - line.size() : 0, ' ');
  std::fprintf(stderr, "\r%s%s", line.c_str(), pad.c_str());
  std::fflush(stderr);
  width_ = line.size();
}

void Progress::Clear() {
  if (width_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(width_, ' ').c_str());
  std::fflush(stderr);
  width_ = 0;
}

}  // namespace logread
