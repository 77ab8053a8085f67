// A log's bytes as they are read: a plain file, or a gzip-compressed one (told apart by its
// first two bytes, whatever it is called; concatenated members too) inflated on the way,
// or on a thread of its own a few blocks ahead of its reader.
#pragma once

#include <zlib.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace logread {

// What is read at a time.
inline constexpr std::size_t kBlock = 1 << 20;

class Input {
 public:
  Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input();

  // False with the reason when the file cannot be opened.
  bool Open(const std::string& path, std::string& error);
  bool compressed() const { return compressed_; }
  // The plain file, for seeking.
  std::FILE* file() const { return f_; }
  const std::string& error() const { return error_; }
  // Up to `n` bytes of the log; 0 at its end or on an error (error() then says which).
  std::size_t Read(char* out, std::size_t n);

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

// A compressed file inflated on a thread of its own, a few blocks ahead of its reader.
class Inflater {
 public:
  explicit Inflater(Input& input);
  ~Inflater();
  // The next block; empty at the end.
  std::string Next();

 private:
  static constexpr std::size_t kAhead = 4;
  void Run(Input& input);
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::string> blocks_;
  bool done_ = false, stop_ = false;
  std::thread thread_;
};

// A whole small file (an audit trail), inflated when it is compressed; false with the
// reason when it cannot be read or is larger than `limit`.
bool ReadAll(const std::string& path, std::string& bytes, std::string& error,
             std::size_t limit = std::size_t{256} << 20);

}  // namespace logread
