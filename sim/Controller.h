// The simulated controller's memory and command set: relays, data-memory words and
// timers, a live scenario that moves them, and values a test can fix.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace sim {

struct Timer {
  bool contact = false;
  std::uint16_t value = 0;
  std::uint16_t preset = 0;
};

class Controller {
 public:
  // variant: 1, 2, 3 or 9; relay7000: the model that has relay 7000.
  Controller(int variant, bool relay7000);

  // The reply to one command (without the line end).
  std::string Handle(std::string_view command);
  // The live scenario: advances the state by whole seconds.
  void Advance(int seconds);

  // Fixes a value for a test: "DM992=8000", "R512=1", "T106=40". False when malformed.
  bool Fix(std::string_view assignment);

  std::uint16_t Dm(int n) const;
  bool Relay(int n) const;

 private:
  void SetDm(int n, std::uint16_t v) {
    if (!fixed_dm_.count(n)) dm_[n] = v;
  }
  void SetRelay(int n, bool v) {
    if (!fixed_relay_.count(n)) relay_[n] = v;
  }
  void Count(int low_dm);
  void Drift(int dm, int lo, int hi, int step);

  bool relay7000_;
  std::map<int, std::uint16_t> dm_;
  std::map<int, bool> relay_;
  std::map<int, Timer> timers_;
  std::set<int> fixed_dm_, fixed_relay_, fixed_timer_;
  std::uint64_t seconds_ = 0;
  std::uint32_t rng_ = 12345;
};

}  // namespace sim
