// A record file of CSV rows (RFC 4180), appended to, with a header row when the file is
// new or empty: the value log (a row per monitor pass) and the audit trail (a row per
// operator action and event). Each row is written whole and unbuffered, so a crash loses
// at most the row in progress; a torn row, a rotation and a full disk are survived: a row
// that cannot be written is kept, with its own time, and written in order once the file
// takes it again. Every row is sealed into a chain (seal/Chain.h) that goes on across a
// rotation and a restart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "logformat/LogFormat.h"
#include "seal/Chain.h"

namespace monitor {

class ValueLog {
 public:
  // Opens `path` for appending; null with the reason in `error` when it cannot be. The
  // record's name is said in messages: "Value log reopened", "cannot open the log".
  // `keep`: how many rows are kept while the file cannot be written. `seal_every_ms`: how
  // far apart the links written are (0: on every row). `key`: the seals' key, if any.
  struct Kind {
    std::string header, name, noun;
    std::size_t keep;
    std::int64_t seal_every_ms;
    std::string key;
  };
  // The value log keeps over two hours of passes (a pass takes a second or more), about
  // 1 MB; the audit trail, whose rows are the operator's actions, as many. A link is 70
  // bytes that do not compress (32 bytes of digest): every two minutes it costs a
  // compressed day of the value log 4.3 %, every minute 7.9 %, on every row more than the
  // row itself (make bench); the audit trail's rows are few, and each gets its link.
  static constexpr std::size_t kKeptRows = 8192;
  static constexpr std::int64_t kSealEveryMs = 120000;
  static Kind ValueLogKind(std::string key = {}) {
    return {logformat::CsvHeader(), "Value log",   "the log", kKeptRows,
            kSealEveryMs,           std::move(key)};
  }
  static Kind AuditKind(std::string key = {}) {
    return {
        logformat::AuditHeader(), "Audit trail", "the audit trail", kKeptRows, 0, std::move(key)};
  }
  static std::unique_ptr<ValueLog> Open(const std::string& path, std::string& error,
                                        Kind kind = ValueLogKind());
  ~ValueLog();
  ValueLog(const ValueLog&) = delete;
  ValueLog& operator=(const ValueLog&) = delete;

  // Appends the row (with the header first when the file is empty), after the rows kept
  // before it. When the path no longer names the open file (rotated or deleted), the path
  // is opened anew first. False when a row could not be written; error() then tells why,
  // and the row is kept for the next Append or Flush (past `keep` rows the newest are
  // lost, and counted).
  bool Append(const std::string& row);
  // Writes the rows kept; true when none is left.
  bool Flush();
  std::size_t kept() const { return kept_.size(); }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }
  // What row 23 says while rows are kept: "Value log not written: REASON", and how many
  // were lost past the bound.
  std::string Problem() const;
  // Once all that was kept is written: how many rows were lost past the bound, and the
  // time of the first and the last of them; empty otherwise.
  std::string TakeLost();
  // Once after the log was opened anew at its path: what happened; empty otherwise.
  std::string TakeNotice();
  // Once: how the seal chain was taken up when a file was opened, where that is worth
  // recording (a new chain, a file without a seal column); empty otherwise.
  std::string TakeChainNotice() { return std::exchange(chain_notice_, std::string()); }
  // The chain after the last row written, and after the last link written.
  const seal::Head& head() const { return head_; }
  const seal::Head& last_seal() const { return last_seal_; }

 private:
  ValueLog(std::FILE* f, std::string path, Kind kind)
      : file_(f), path_(std::move(path)), kind_(std::move(kind)), hasher_(kind_.key) {}
  static std::FILE* OpenFile(const std::string& path, const std::string& noun, std::string& error,
                             bool& torn);
  // How the open file's rows are sealed, and the chain's head from its end; false (with
  // the reason) for a file sealed another way than this run's.
  bool TakeUpChain(std::string& error);
  std::string SealedHeader() const;
  std::FILE* file_;  // null after the file was moved away and could not be opened anew
  std::string path_;
  Kind kind_;
  std::string error_, notice_;
  bool broken_line_ = false;  // the file may end in part of a row
  bool reopened_ = false;     // moved away: the next open says so
  std::deque<std::string> kept_;
  std::size_t lost_ = 0;
  std::string first_lost_, last_lost_;  // their times
  bool WriteRow(const std::string& row);
  // The chain.
  seal::Hasher hasher_;
  seal::Head head_, last_seal_;
  bool sealed_ = true;    // the file has a seal column
  bool from_due_ = true;  // the next row says where the chain goes on from
  std::int64_t last_seal_ms_ = 0;
  std::string chain_notice_;
};

}  // namespace monitor
