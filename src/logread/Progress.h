// A sign of life while a long read goes on: the files and rows read so far, on one line of
// stderr updated a few times a second and cleared at the end, so that a year of logs is not
// ten silent seconds. Only on a terminal: a pipe or a log gets nothing of it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace logread {

class Progress {
 public:
  // `shown`: whether stderr is a terminal.
  Progress(std::string program, bool shown) : program_(std::move(program)), shown_(shown) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { Clear(); }
  // Where the read stands: in file `file` (from 1) of `files`, `rows` rows read. Cheap
  // when nothing is due.
  void Show(std::size_t file, std::size_t files, std::uint64_t rows);
  // Takes the line away, before the program says anything else.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::string program_;
  bool shown_;
  // The first block read is shown at once (a short read's line is gone again before the
  // eye sees it), then the line is updated this often.
  Clock::time_point next_{};
  std::size_t width_ = 0;  // of the line on screen; 0 for none
  static constexpr std::chrono::milliseconds kEvery{250};
};

}  // namespace logread
