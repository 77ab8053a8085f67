#include "monitor/ValueLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/Files.h"
#include "logformat/LogFormat.h"

namespace monitor {
namespace {

// Enough of a file's end to hold a link written and the rows after it (a value log's
// links come two minutes' rows apart, some 20 KB).
constexpr std::size_t kTailBytes = 1 << 20;

std::string ReadSome(std::FILE* f, std::uint64_t at, std::size_t n) {
  std::string out(n, '\0');
  if (!files::SeekTo(f, at)) return "";
  out.resize(std::fread(out.data(), 1, n, f));
  return out;
}

}  // namespace

std::FILE* ValueLog::OpenFile(const std::string& path, const std::string& noun, std::string& error,
                              bool& torn) {
  // Binary, so that the rows' CR LF reach the file as they are on every platform; "a+" to
  // see whether the last row was torn (a power cut, a full disk).
  std::string why;
  std::FILE* f = files::OpenAppend(path, why);
  if (f == nullptr) {
    error = "cannot open " + noun + " " + path + ": " + why;
    return nullptr;
  }
  // Unbuffered: each row goes out in one write, and a failed one leaves nothing behind
  // in a buffer to come out later.
  std::setvbuf(f, nullptr, _IONBF, 0);
  char end[2] = {};
  torn = std::fseek(f, -2, SEEK_END) == 0 && std::fread(end, 1, 2, f) == 2 &&
         !(end[0] == '\r' && end[1] == '\n');
  if (!torn && std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) == 1) torn = true;
  return f;
}

std::unique_ptr<ValueLog> ValueLog::Open(const std::string& path, std::string& error, Kind kind) {
  bool torn = false;
  std::FILE* f = OpenFile(path, kind.noun, error, torn);
  if (f == nullptr) return nullptr;
  std::unique_ptr<ValueLog> log(new ValueLog(f, path, std::move(kind)));
  log->broken_line_ = torn;  // a torn row stays alone on its line
  if (!log->TakeUpChain(error)) return nullptr;
  // A file begun anew at a start (a new log, or one rotated while climon was stopped)
  // cannot go on from the chain before it.
  if (log->sealed_ && log->head_.rows == 0 && log->chain_notice_.empty()) {
    log->chain_notice_ = "a new seal chain begins: " + path + " holds no rows to go on from";
  }
  return log;
}

std::string ValueLog::SealedHeader() const {
  const std::string& h = kind_.header;
  return h.substr(0, h.size() - 2) + "," + std::string(seal::ColumnName(hasher_.kind())) + "\r\n";
}

bool ValueLog::TakeUpChain(std::string& error) {
  from_due_ = true;
  const std::uint64_t size = files::SizeOf(file_);
  if (size == 0) {
    sealed_ = true;  // a new file goes on from the chain in hand
    return true;
  }
  const std::string base = kind_.header.substr(0, kind_.header.size() - 2);
  std::string first = ReadSome(file_, 0, base.size() + 64);
  first = first.substr(0, first.find('\n'));
  if (first.ends_with('\r')) first.pop_back();
  std::optional<seal::Kind> k = seal::HeaderKind(first, base);
  if (!k || *k == seal::Kind::kNone) {
    sealed_ = false;
    chain_notice_ = path_ + " has no seal column: its rows are not sealed until it is rotated";
    return true;
  }
  if (*k != hasher_.kind()) {
    error = path_ + (*k == seal::Kind::kKeyed
                         ? " is sealed with a key: give it (--seal-key), or start a new file"
                         : " is sealed without a key: start a new file for keyed seals");
    return false;
  }
  sealed_ = true;
  const std::uint64_t from = size > kTailBytes ? size - kTailBytes : 0;
  std::string tail = ReadSome(file_, from, kTailBytes);
  // From the first whole line: the header, or a line end in the middle.
  std::size_t start = tail.find('\n');
  tail.erase(0, start == std::string::npos ? tail.size() : start + 1);
  seal::Follow follow{seal::Hasher(kind_.key)};
  follow.File(path_, *k, true);
  const std::size_t fields =
      static_cast<std::size_t>(std::count(base.begin(), base.end(), ',')) + 2;
  seal::FollowText(follow, tail, 1, fields);
  if (std::optional<seal::Head> h = follow.head()) {
    head_ = *h;
  } else {
    head_ = {};
    chain_notice_ = "a new seal chain begins: no link could be read at the end of " + path_;
  }
  return true;
}

ValueLog::~ValueLog() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string ValueLog::TakeNotice() {
  return std::exchange(notice_, std::string());
}

bool ValueLog::Append(const std::string& row) {
  if (kept_.size() < kind_.keep) {
    kept_.push_back(row);
  } else {
    const std::string time = row.substr(0, row.find(','));
    if (lost_++ == 0) first_lost_ = time;
    last_lost_ = time;
  }
  return Flush();
}

bool ValueLog::Flush() {
  while (!kept_.empty()) {
    if (!WriteRow(kept_.front())) return false;
    kept_.pop_front();
  }
  return true;
}

std::string ValueLog::Problem() const {
  return kind_.name + " not written: " + error_ +
         (lost_ > 0 ? ", " + std::to_string(lost_) + " rows lost" : "");
}

std::string ValueLog::TakeLost() {
  if (lost_ == 0 || !kept_.empty()) return "";
  std::string said = kind_.name + ": " + std::to_string(lost_) + " rows from " + first_lost_ +
                     " to " + last_lost_ + " lost (more than " + std::to_string(kind_.keep) +
                     " could not be written)";
  lost_ = 0;
  return said;
}

bool ValueLog::WriteRow(const std::string& row) {
  if (file_ != nullptr && !files::StillNamed(file_, path_)) {
    // Closed first: on Windows a deleted file keeps its name until its last handle goes.
    std::fclose(file_);
    file_ = nullptr;
    reopened_ = true;
  }
  if (file_ == nullptr) {
    bool torn = false;
    file_ = OpenFile(path_, kind_.noun, error_, torn);
    if (file_ == nullptr) return false;
    broken_line_ = torn;
    if (!TakeUpChain(error_)) {
      std::fclose(file_);
      file_ = nullptr;
      return false;
    }
    if (std::exchange(reopened_, false)) {
      notice_ = kind_.name + " reopened: " + path_ + " had been moved or deleted";
    }
  }
  std::string out;
  if (broken_line_) out = "\r\n";  // whatever part of a row a failed write left stays apart
  if (std::fseek(file_, 0, SEEK_END) == 0 && std::ftell(file_) == 0) {
    out = sealed_ ? SealedHeader() : kind_.header;
  }
  const std::size_t row_at = out.size();
  seal::Head next = head_;
  bool link = false;
  std::int64_t ms = 0;
  if (!sealed_) {
    out += row;
  } else {
    // The row's bytes are its text before the seal's comma.
    std::string_view content = row;
    if (content.ends_with("\r\n")) content.remove_suffix(2);
    next = hasher_.Next(head_, content);
    int offset = 0;
    logformat::ParseIsoTime(content.substr(0, content.find(',')), ms, offset);
    link = !from_due_ && (kind_.seal_every_ms == 0 || ms - last_seal_ms_ >= kind_.seal_every_ms ||
                          ms < last_seal_ms_);
    out.append(content);
    out += ',';
    out += from_due_ ? seal::FromField(head_) : link ? seal::SealField(next) : "";
    out += "\r\n";
  }
  errno = 0;
  const std::size_t wrote = std::fwrite(out.data(), 1, out.size(), file_);
  // A row whole but for its line end is in the file, and read as written once the next
  // write puts a line end after it: it is not written again.
  const bool whole = wrote + 2 == out.size() && wrote > row_at;
  if (wrote != out.size()) {
    error_ = errno != 0 ? std::strerror(errno) : "write failed";
    std::clearerr(file_);
    broken_line_ = true;
    if (!whole) return false;
  } else {
    error_.clear();
    broken_line_ = false;
  }
  if (sealed_) {
    head_ = next;
    from_due_ = false;
    if (link) {
      last_seal_ = next;
      last_seal_ms_ = ms;
    }
  }
  return true;
}

}  // namespace monitor
