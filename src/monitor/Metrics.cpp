#include "monitor/Metrics.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "files/Files.h"
#include "monitor/Monitor.h"

namespace monitor {
namespace {

std::string Escaped(const std::string& value) {
  std::string s;
  for (char c : value) {
    if (c == '\\' || c == '"') s += '\\';
    s += c;
  }
  return s;
}

// The gauges: the pass's field, scaled to the base unit by a shift of the decimal point
// of the screen's text (exact, where a division of the number would not always be).
struct Gauge {
  const char* name;
  const char* help;
  Col field;
  int shift;
};
constexpr Gauge kGauges[] = {
    {"climon_temperature_celsius", "Room temperature.", logformat::kTemp, 0},
    {"climon_temperature_setpoint_celsius", "Set point of the room temperature.",
     logformat::kTempSet, 0},
    {"climon_humidity_ratio", "Relative humidity, 0 to 1.", logformat::kHumidity, 2},
    {"climon_humidity_setpoint_ratio", "Set point of the relative humidity, 0 to 1.",
     logformat::kHumiditySet, 2},
    {"climon_co2_ratio", "CO2 share of the air, 0 to 1.", logformat::kCo2, 2},
    {"climon_co2_setpoint_ratio", "Set point of the CO2 share, 0 to 1.", logformat::kCo2Set, 2},
    {"climon_evaporator_temperature_celsius", "Evaporator temperature.", logformat::kEvap, 0},
    {"climon_evaporator_setpoint_celsius", "Set point of the evaporator temperature.",
     logformat::kEvapSet, 0},
};

struct Relay {
  const char* name;
  Col field;
};
constexpr Relay kRelays[] = {{"vent", logformat::kVent},
                             {"temp_ctl", logformat::kTempCtl},
                             {"floor_htr", logformat::kFloorHtr},
                             {"temp_mode", logformat::kTempMode}};

// The counters in the log's order; their names come from the variant's table.
constexpr Col kCounterColumns[] = {logformat::kTotal, logformat::kHeater, logformat::kCounter119,
                                   logformat::kCooler, logformat::kCounter121};

// A counter's name in the metrics, or null while the variant that names it is not known.
const char* CounterName(Col column, const Pass& pass) {
  if (column == kTotalCounter.column) return kTotalCounter.metric;
  auto name = [column](const VariantTable& v) -> const char* {
    for (const CounterWords& c : v.counters) {
      if (c.column == column) return c.metric;
    }
    return nullptr;
  };
  // Until the variant is known, only a counter that every variant names alike.
  const char* named = name(ForVariant(pass.variant));
  bool alike = std::string_view(name(ForVariant(1))) == name(ForVariant(3));
  return pass.variant_known || alike ? named : nullptr;
}

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", s);
  return buf;
}

}  // namespace

double UnixSeconds(const comLib3::WallTime& t) {
  std::int64_t days = logformat::DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                               static_cast<unsigned>(t.day));
  std::int64_t s = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second -
                   std::int64_t{t.utc_offset_minutes} * 60;
  return static_cast<double>(s) + t.millisecond / 1000.0;
}

std::string ShiftDecimal(const std::string& number, int places) {
  if (places == 0 || number.empty()) return number;
  bool negative = number[0] == '-';
  std::string digits = number.substr(negative ? 1 : 0);
  std::size_t dot = digits.find('.');
  std::size_t decimals = dot == std::string::npos ? 0 : digits.size() - dot - 1;
  if (dot != std::string::npos) digits.erase(dot, 1);
  decimals += static_cast<std::size_t>(places);
  if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
  digits.insert(digits.size() - decimals, ".");
  return (negative ? "-" : "") + digits;
}

std::optional<std::string> RoomNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name.size() > 64) return "is longer than 64 bytes";
  for (unsigned char c : name) {
    if (c < 32 || c == 127) return "holds a control character";
  }
  // The exposition format is UTF-8: one bad byte makes the exporter drop the whole file,
  // and with it every alert of the room. The locale's charset is not guessed at.
  if (std::size_t at = Utf8Error(name); at != std::string::npos) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(name[at]));
    return std::string("is not UTF-8 text (byte ") + hex + " at " + std::to_string(at + 1) +
           "): give it in UTF-8";
  }
  return std::nullopt;
}

std::size_t Utf8Error(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80                 ? 0
                    : c >= 0xC2 && c <= 0xDF ? 1
                    : c >= 0xE0 && c <= 0xEF ? 2
                    : c >= 0xF0 && c <= 0xF4 ? 3
                                             : 9;
    if (n == 9 || n >= s.size() - i) return i;
    // The second byte's range rules out overlong forms, surrogates and code points past
    // U+10FFFF; the rest are plain continuation bytes.
    for (std::size_t k = 1; k <= n; ++k) {
      auto d = static_cast<unsigned char>(s[i + k]);
      unsigned lo = 0x80, hi = 0xBF;
      if (k == 1 && c == 0xE0) lo = 0xA0;
      if (k == 1 && c == 0xED) hi = 0x9F;
      if (k == 1 && c == 0xF0) lo = 0x90;
      if (k == 1 && c == 0xF4) hi = 0x8F;
      if (d < lo || d > hi) return i;
    }
    i += n + 1;
  }
  return std::string_view::npos;
}

std::unique_ptr<MetricsFile> MetricsFile::Open(const std::string& path, std::string version,
                                               std::string& error) {
  // A folder (the textfile folder itself, a likely slip) would take a file named ".tmp"
  // and then never the metrics.
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::path(path), ec)) {
    error = "cannot write the metrics to " + path +
            ": it is a folder; name a file in it, such as climon-room.prom";
    return nullptr;
  }
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    error = "cannot write the metrics beside " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::fclose(f);
  std::remove(tmp.c_str());
  return std::unique_ptr<MetricsFile>(new MetricsFile(path, std::move(version)));
}

// The counters come on the passes that refresh them; in between, the last values stand.
MetricsFile::Counters MetricsFile::CountersOf(const Pass& values) const {
  bool refreshed = false;
  for (Col c : kCounterColumns) refreshed = refreshed || values[c].read();
  if (!refreshed) return counters_;
  Counters now;
  for (std::size_t i = 0; i < std::size(kCounterColumns); ++i) now[i] = values[kCounterColumns[i]];
  return now;
}

std::string MetricsFile::Exposition(const PassState& pass) const {
  const Pass& values = pass.pass;
  const std::string room = "room=\"" + Escaped(pass.room) + "\"";
  std::string s;
  auto family = [&s](const char* name, const char* type, const char* help) {
    s += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  };
  auto sample = [&s, &room](const char* name, const std::string& labels, const std::string& v) {
    s += std::string(name) + "{" + room + labels + "} " + v + "\n";
  };
  // A value whose read had no usable reply is left out, never written as 0.
  for (const Gauge& g : kGauges) {
    if (!values[g.field].read()) continue;
    family(g.name, "gauge", g.help);
    sample(g.name, "", ShiftDecimal(Text(values[g.field]), g.shift));
  }
  if (const Value& minutes = values[logformat::kDefrostMin]; minutes.read()) {
    family("climon_defrost_next_seconds", "gauge", "Time to the next defrost.");
    sample("climon_defrost_next_seconds", "",
           std::to_string(static_cast<std::int64_t>(minutes.number) * 60));
  }
  bool relays = false;
  for (const Relay& r : kRelays) {
    if (!values[r.field].read()) continue;
    if (!relays) family("climon_relay_on", "gauge", "Whether the relay is on (1) or off (0).");
    relays = true;
    sample("climon_relay_on", std::string(",relay=\"") + r.name + "\"", Text(values[r.field]));
  }
  const Counters shown = CountersOf(values);
  bool counters = false;
  for (std::size_t i = 0; i < std::size(kCounterColumns); ++i) {
    const char* name = CounterName(kCounterColumns[i], values);
    if (!shown[i].read() || name == nullptr) continue;
    if (!counters) {
      family("climon_operating_seconds_total", "counter",
             "Operating time counted by the controller; the operator's reset zeroes it.");
    }
    counters = true;
    sample("climon_operating_seconds_total", std::string(",counter=\"") + name + "\"",
           Text(shown[i]));
  }
  family("climon_link_up", "gauge",
         "1 while the controller's replies come, 0 while none has come for 2 s.");
  sample("climon_link_up", "", pass.link_up ? "1" : "0");
  if (pass.alarms != nullptr) {
    family("climon_alarm_state", "gauge",
           "Each alarm: 0 none, 1 pending, 2 raised, 3 acknowledged, 4 back but not "
           "acknowledged.");
    for (int i = 0; i < alarms::kSlotCount; ++i) {
      const auto slot = static_cast<alarms::Slot>(i);
      sample("climon_alarm_state", std::string(",alarm=\"") + alarms::Name(slot) + "\"",
             std::to_string(static_cast<int>((*pass.alarms)[slot].state)));
    }
  }
  if (pass.last_reply) {
    family("climon_last_reply_timestamp_seconds", "gauge",
           "When the controller last gave a usable reply.");
    sample("climon_last_reply_timestamp_seconds", "", Seconds(UnixSeconds(*pass.last_reply)));
  }
  // A copy of the seals kept on another machine, as numbers: a label would make a series
  // of every link. The head: the link's first 12 hexadecimal digits, exact in a double.
  const std::pair<const char*, std::optional<seal::Head>> seals[] = {{"log", pass.log_seal},
                                                                     {"audit", pass.audit_seal}};
  struct Family {
    const char *name, *help;
    std::uint64_t (*value)(const seal::Head&);
  };
  static constexpr Family kSealFamilies[] = {
      {"climon_seal_rows", "The seal chain's row at its last link written, per record.",
       [](const seal::Head& h) { return h.rows; }},
      {"climon_seal_head", "The first 12 hexadecimal digits of the last link written, as a number.",
       [](const seal::Head& h) {
         std::uint64_t digits = 0;
         for (std::size_t i = 0; i < 6; ++i) digits = digits << 8 | h.link[i];
         return digits;
       }},
  };
  for (const Family& f : kSealFamilies) {
    bool any = false;
    for (const auto& [record, head] : seals) {
      if (!head || head->rows == 0) continue;
      if (!std::exchange(any, true)) family(f.name, "gauge", f.help);
      sample(f.name, std::string(",record=\"") + record + "\"", std::to_string(f.value(*head)));
    }
  }
  family("climon_last_pass_timestamp_seconds", "gauge", "When the last monitor pass ended.");
  sample("climon_last_pass_timestamp_seconds", "", Seconds(UnixSeconds(pass.now)));
  family("climon_info", "gauge", "The port, device variant, controller model and version.");
  sample("climon_info",
         ",port=\"" + std::to_string(values.port) + "\",variant=\"" +
             (values.variant_known ? std::to_string(values.variant) : std::string()) +
             "\",model=\"" + (pass.model != 0 ? std::to_string(pass.model) : std::string()) +
             "\",version=\"" + Escaped(version_) + "\"",
         "1");
  return s;
}

bool MetricsFile::Write(const PassState& pass) {
  counters_ = CountersOf(pass.pass);
  std::string tmp = path_ + ".tmp";
  if (!files::WriteAll(tmp, Exposition(pass), error_)) {
    std::remove(tmp.c_str());
    return false;
  }
  if (!files::RenameOver(tmp, path_, error_)) {
    std::remove(tmp.c_str());
    return false;
  }
  error_.clear();
  return true;
}

}  // namespace monitor
