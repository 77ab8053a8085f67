// The value log: one CSV row (RFC 4180) per monitor pass, appended to a file, with a
// header row when the file is new or empty. Each row is written whole and unbuffered, so
// a crash loses at most the pass in progress.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace monitor {

class ValueLog {
 public:
  // Opens `path` for appending; null with the reason in `error` when it cannot be.
  static std::unique_ptr<ValueLog> Open(const std::string& path, std::string& error);
  ~ValueLog();
  ValueLog(const ValueLog&) = delete;
  ValueLog& operator=(const ValueLog&) = delete;

  // Appends the row (with the header first when the file is empty). When the path no
  // longer names the open file (rotated or deleted), the path is opened anew first.
  // False when the row could not be written; error() then tells why.
  bool Append(const std::string& row);
  const std::string& error() const { return error_; }
  // Once after the log was opened anew at its path: what happened; empty otherwise.
  std::string TakeNotice();

 private:
  ValueLog(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {}
  static std::FILE* OpenFile(const std::string& path, std::string& error, bool& torn);
  std::FILE* file_;
  std::string path_;
  std::string error_, notice_;
  bool broken_line_ = false;  // the file may end in part of a row
};

}  // namespace monitor
