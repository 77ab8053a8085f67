#include "monitor/ValueLog.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "files/Files.h"
#include "logformat/LogFormat.h"

namespace monitor {

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
  return log;
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
    if (std::exchange(reopened_, false)) {
      notice_ = kind_.name + " reopened: " + path_ + " had been moved or deleted";
    }
  }
  std::string out;
  if (broken_line_) out = "\r\n";  // whatever part of a row a failed write left stays apart
  if (std::fseek(file_, 0, SEEK_END) == 0 && std::ftell(file_) == 0) out = kind_.header;
  out += row;
  errno = 0;
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size()) {
    error_ = errno != 0 ? std::strerror(errno) : "write failed";
    std::clearerr(file_);
    broken_line_ = true;
    return false;
  }
  error_.clear();
  broken_line_ = false;
  return true;
}

}  // namespace monitor
