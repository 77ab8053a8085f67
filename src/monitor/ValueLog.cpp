#include "monitor/ValueLog.h"

#include <cerrno>
#include <cstring>
#include <iterator>

namespace monitor {
namespace {

constexpr const char* kColumns[] = {
    "time",        "port",         "variant",          "temp_c",
    "temp_set_c",  "humidity_pct", "humidity_set_pct", "co2_pct",
    "co2_set_pct", "evap_c",       "evap_set_c",       "defrost_min",
    "defrost_c",   "vent",         "temp_ctl",         "floor_htr",
    "temp_mode",   "total_s",      "heater_s",         "counter119_s",
    "cooler_s",    "counter121_s"};

std::string Two(int v) {
  return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

}  // namespace

std::string IsoTime(const comLib3::WallTime& t) {
  int off = t.utc_offset_minutes < 0 ? -t.utc_offset_minutes : t.utc_offset_minutes;
  return std::to_string(t.year) + "-" + Two(t.month) + "-" + Two(t.day) + "T" + Two(t.hour) + ":" +
         Two(t.minute) + ":" + Two(t.second) + (t.utc_offset_minutes < 0 ? "-" : "+") +
         Two(off / 60) + ":" + Two(off % 60);
}

const std::vector<std::string>& LogColumns() {
  static const std::vector<std::string> columns(std::begin(kColumns), std::end(kColumns));
  return columns;
}

std::string CsvHeader() {
  std::string s;
  for (const char* c : kColumns) s += (s.empty() ? "" : ",") + std::string(c);
  return s + "\r\n";
}

std::string CsvRow(const comLib3::WallTime& when, const PassValues& v) {
  // Numbers and times only: no field needs quoting.
  const std::string* fields[] = {&v.temp,        &v.temp_set,     &v.humidity,  &v.humidity_set,
                                 &v.co2,         &v.co2_set,      &v.evap,      &v.evap_set,
                                 &v.defrost_min, &v.defrost_temp, &v.vent,      &v.temp_ctl,
                                 &v.floor_htr,   &v.temp_mode,    &v.total,     &v.heater,
                                 &v.counter119,  &v.cooler,       &v.counter121};
  std::string s = IsoTime(when) + "," + std::to_string(v.port) + "," + std::to_string(v.variant);
  for (const std::string* f : fields) s += "," + *f;
  return s + "\r\n";
}

std::unique_ptr<ValueLog> ValueLog::Open(const std::string& path, std::string& error) {
  // Binary, so that the rows' CR LF reach the file as they are on every platform.
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) {
    error = "cannot open the log " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  // Unbuffered: each row goes out in one write, and a failed one leaves nothing behind
  // in a buffer to come out later.
  std::setvbuf(f, nullptr, _IONBF, 0);
  return std::unique_ptr<ValueLog>(new ValueLog(f));
}

ValueLog::~ValueLog() {
  std::fclose(file_);
}

bool ValueLog::Append(const std::string& row) {
  std::string out;
  if (broken_line_) out = "\r\n";  // whatever part of a row a failed write left stays apart
  if (std::fseek(file_, 0, SEEK_END) == 0 && std::ftell(file_) == 0) out = CsvHeader();
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
