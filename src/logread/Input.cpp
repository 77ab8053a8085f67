#include "logread/Input.h"

#include <cerrno>
#include <cstring>

namespace logread {

Input::~Input() {
  if (compressed_) inflateEnd(&z_);
  if (f_ != nullptr) std::fclose(f_);
}

bool Input::Open(const std::string& path, std::string& error) {
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

std::size_t Input::Read(char* out, std::size_t n) {
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

Inflater::Inflater(Input& input) : thread_([this, &input] { Run(input); }) {}

Inflater::~Inflater() {
  {
    std::lock_guard<std::mutex> lock(m_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

std::string Inflater::Next() {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [this] { return !blocks_.empty() || done_; });
  if (blocks_.empty()) return "";
  std::string b = std::move(blocks_.front());
  blocks_.pop_front();
  cv_.notify_all();
  return b;
}

void Inflater::Run(Input& input) {
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

}  // namespace logread
