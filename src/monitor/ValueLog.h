// A record file of CSV rows (RFC 4180), appended to, with a header row when the file is
// new or empty: the value log (a row per monitor pass) and the audit trail (a row per
// operator action and event). Each row is written whole and unbuffered, so a crash loses
// at most the row in progress; a torn row, a rotation and a full disk are survived.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "logformat/LogFormat.h"

namespace monitor {

class ValueLog {
 public:
  // Opens `path` for appending; null with the reason in `error` when it cannot be. The
  // record's name is said in messages: "Value log reopened", "cannot open the log".
  struct Kind {
    std::string header, name, noun;
  };
  static std::unique_ptr<ValueLog> Open(const std::string& path, std::string& error,
                                        Kind kind = {logformat::CsvHeader(), "Value log",
                                                     "the log"});
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
  ValueLog(std::FILE* f, std::string path, Kind kind)
      : file_(f), path_(std::move(path)), kind_(std::move(kind)) {}
  static std::FILE* OpenFile(const std::string& path, const std::string& noun, std::string& error,
                             bool& torn);
  std::FILE* file_;  // null after the file was moved away and could not be opened anew
  std::string path_;
  Kind kind_;
  std::string error_, notice_;
  bool broken_line_ = false;  // the file may end in part of a row
  bool reopened_ = false;     // moved away: the next open says so
};

}  // namespace monitor
