#include "Controller.h"

#include <charconv>
#include <cstdio>

namespace sim {
namespace {

constexpr int kMaxRelay = 9999;
constexpr int kMaxDm = 9999;
constexpr int kMaxTimer = 511;

// A whole decimal number, or -1.
long Number(std::string_view s) {
  // Leading zeros are no part of the number's size.
  while (s.size() > 1 && s[0] == '0') s.remove_prefix(1);
  if (s.empty() || s.size() > 9) return -1;
  long v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < 0) return -1;
  return v;
}

std::string Word(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%05u", v);
  return buf;
}

}  // namespace

Controller::Controller(int variant, bool relay7000) : relay7000_(relay7000) {
  relay_[3000] = variant == 1 || variant == 9;
  relay_[3003] = variant == 9;
  relay_[3001] = variant == 2;
  // Set points and readings of a ripening room at rest.
  dm_[890] = 125;   // 12.5 C
  dm_[893] = 850;   // 85.0 %
  dm_[894] = 150;   // 1.500 %
  dm_[39] = 1000;   // 0.00 C
  dm_[895] = 310;   // 12.00 C at the end of a defrost
  dm_[109] = 1203;  // the system's number
  dm_[992] = 500;   // 12.50 C
  dm_[993] = 3400;  // 85.00 %
  dm_[984] = 160;   // 1.600 %
  dm_[995] = 960;   // -2.00 C
  dm_[87] = 185;    // minutes to the next defrost
  // Operating-time counters in seconds, (low, high) with the controller's multiplier 65535.
  dm_[117] = 12345;
  dm_[118] = 2;
  dm_[119] = 40000;
  dm_[120] = 0;
  dm_[121] = 5400;
  dm_[122] = 0;
  dm_[125] = 30000;
  dm_[126] = 1;
  dm_[127] = 20000;
  dm_[128] = 0;
  timers_[106] = {false, 540, 600};
  timers_[107] = {false, 250, 300};
  for (int r : {512, 513, 514, 604, 605, 606}) relay_[r] = true;
}

std::uint16_t Controller::Dm(int n) const {
  auto it = dm_.find(n);
  return it == dm_.end() ? 0 : it->second;
}

bool Controller::Relay(int n) const {
  auto it = relay_.find(n);
  return it != relay_.end() && it->second;
}

std::string Controller::Handle(std::string_view c) {
  if (c == "CR") return "CC";
  if (c == "CQ") return "CF";
  if (c.starts_with("RD DM")) {
    long n = Number(c.substr(5));
    if (n < 0 || n > kMaxDm) return "E0";
    return Word(Dm(static_cast<int>(n)));
  }
  if (c.starts_with("RD T")) {
    long n = Number(c.substr(4));
    if (n < 0 || n > kMaxTimer) return "E0";
    Timer t = timers_[static_cast<int>(n)];
    char buf[24];
    std::snprintf(buf, sizeof buf, "%d,%05u,%05u", t.contact ? 1 : 0, t.value, t.preset);
    return buf;
  }
  if (c.starts_with("RD ")) {
    long n = Number(c.substr(3));
    if (n < 0 || n > kMaxRelay || (n >= 7000 && !relay7000_)) return "E0";
    return Relay(static_cast<int>(n)) ? "1" : "0";
  }
  if (c.starts_with("WR DM")) {
    std::string_view rest = c.substr(5);
    std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return "E0";
    long n = Number(rest.substr(0, blank));
    long v = Number(rest.substr(blank + 1));
    if (n < 0 || n > kMaxDm || v < 0 || v > 65535) return "E0";
    dm_[static_cast<int>(n)] =
        static_cast<std::uint16_t>(v);  // a fixed word keeps the written value
    return "OK";
  }
  return "E1";
}

bool Controller::Fix(std::string_view a) {
  std::size_t eq = a.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view name = a.substr(0, eq);
  long v = Number(a.substr(eq + 1));
  if (v < 0 || v > 65535) return false;
  if (name.starts_with("DM")) {
    long n = Number(name.substr(2));
    if (n < 0 || n > kMaxDm) return false;
    dm_[static_cast<int>(n)] = static_cast<std::uint16_t>(v);
    fixed_dm_.insert(static_cast<int>(n));
  } else if (name.starts_with("R")) {
    long n = Number(name.substr(1));
    if (n < 0 || n > kMaxRelay) return false;
    relay_[static_cast<int>(n)] = v != 0;
    fixed_relay_.insert(static_cast<int>(n));
  } else if (name.starts_with("T")) {
    long n = Number(name.substr(1));
    if (n < 0 || n > kMaxTimer) return false;
    timers_[static_cast<int>(n)].value = static_cast<std::uint16_t>(v);
    fixed_timer_.insert(static_cast<int>(n));
  } else {
    return false;
  }
  return true;
}

void Controller::Count(int low_dm) {
  if (fixed_dm_.count(low_dm) || fixed_dm_.count(low_dm + 1)) return;
  std::uint16_t lo = Dm(low_dm), hi = Dm(low_dm + 1);
  if (++lo >= 65535) {  // the controller carries at 65535
    lo = 0;
    ++hi;
  }
  dm_[low_dm] = lo;
  dm_[low_dm + 1] = hi;
}

void Controller::Drift(int dm, int lo, int hi, int step) {
  rng_ = rng_ * 1103515245u + 12345u;
  int delta = static_cast<int>((rng_ >> 16) % static_cast<unsigned>(2 * step + 1)) - step;
  int v = Dm(dm) + delta;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  SetDm(dm, static_cast<std::uint16_t>(v));
}

void Controller::Advance(int seconds) {
  for (int s = 0; s < seconds; ++s) {
    ++seconds_;
    Drift(992, 470, 530, 2);
    Drift(993, 3300, 3500, 6);
    Drift(984, 120, 220, 2);
    Drift(995, 940, 990, 1);
    if (seconds_ % 60 == 0) {
      std::uint16_t m = Dm(87);
      SetDm(87, m == 0 ? 185 : static_cast<std::uint16_t>(m - 1));
    }
    // Relays switch on their own rhythms.
    const int base = relay7000_ ? 512 : 604;
    SetRelay(base, (seconds_ / 7) % 3 != 2);
    SetRelay(base + 1, (seconds_ / 11) % 2 == 0);
    SetRelay(base + 2, (seconds_ / 13) % 2 == 0);
    SetRelay(base + 3, (seconds_ / 17) % 2 == 0);
    Count(117);
    if (Relay(base)) Count(119);
    if (Relay(base + 3)) Count(121);
    if (Relay(base + 2)) Count(125);
    if (Relay(base + 1)) Count(127);
    for (auto& [n, t] : timers_) {
      if (fixed_timer_.count(n) || t.preset == 0) continue;
      t.value = t.value == 0 ? t.preset : static_cast<std::uint16_t>(t.value - 1);
      t.contact = t.value == 0;
    }
  }
}

}  // namespace sim
