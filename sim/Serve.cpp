#include "Serve.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <iterator>
#include <random>
#include <string>
#include <thread>

namespace sim {
namespace {

using SteadyTime = std::chrono::steady_clock;

volatile sig_atomic_t g_stop = 0;
void OnStop(int) {
  g_stop = 1;
}

struct Pending {
  SteadyTime::time_point due;
  std::string bytes;
};

std::string Escape(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// What the fault makes of a reply's bytes (its time may move too).
std::string Apply(Fault f, const std::string& reply, std::string wire, SteadyTime::time_point& due,
                  SteadyTime::time_point received, const SimOptions& o, std::mt19937& rng) {
  switch (f) {
    case Fault::kSilence:
      return "";
    case Fault::kError:
      return "E1\r\n";
    case Fault::kGarbage: {
      std::string g;
      int len = std::uniform_int_distribution<int>(3, 20)(rng);
      for (int k = 0; k < len; ++k) {
        g += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
      }
      return g;
    }
    case Fault::kLate:
      due = received + std::chrono::milliseconds(o.late_ms);
      return wire;
    case Fault::kShort1:
      return reply.substr(0, 1);
    case Fault::kShort2:
      return "\r\n";
    case Fault::kLong:
      return reply + std::string(60, '#') + "\r\n";
    case Fault::kNone:
      break;
  }
  return wire;
}

}  // namespace

void Serve(const SimOptions& o, Controller& plc, const Pty& line, std::FILE* log) {
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, nullptr);

  std::mt19937 rng(o.seed);
  // A whole percentage takes one draw of 0 to 99 (so a seed gives the runs it always
  // gave); a fraction of a percent, one more draw for the fraction.
  auto chance = [&rng](double pct) {
    if (pct <= 0) return false;
    int whole = static_cast<int>(pct), d = std::uniform_int_distribution<int>(0, 99)(rng);
    if (d != whole) return d < whole;
    double fraction = pct - whole;
    return fraction > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < fraction;
  };
  const auto start = SteadyTime::now();
  // 11 bits a byte: start, 8 data, parity, stop.
  const auto char_time = std::chrono::microseconds(11'000'000 / (o.baud > 0 ? o.baud : 9600));
  const bool paced_replies = o.pace || o.baud > 0;
  long live_seconds = 0;
  std::string command_line;
  std::deque<Pending> pending;
  // With --baud the bytes are taken one a character time apart, as the line delivers
  // them, so that a command is in only once its last byte would have arrived.
  SteadyTime::time_point next_byte = start;

  while (!g_stop) {
    auto now = SteadyTime::now();
    if (o.live) {
      long elapsed =
          static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start).count());
      if (elapsed > live_seconds) {
        plc.Advance(static_cast<int>(elapsed - live_seconds));
        live_seconds = elapsed;
      }
    }
    while (!pending.empty() && pending.front().due <= now) {
      const std::string& b = pending.front().bytes;
      if (paced_replies) {
        for (char c : b) {
          (void)!::write(line.master, &c, 1);
          std::this_thread::sleep_for(char_time);
        }
      } else {
        (void)!::write(line.master, b.data(), b.size());
      }
      pending.pop_front();
    }
    auto wake = now + std::chrono::milliseconds(200);
    if (!pending.empty()) wake = std::min(wake, pending.front().due);
    if (o.baud > 0 && next_byte > now) wake = std::min(wake, next_byte);
    int timeout = static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(wake - SteadyTime::now()).count());
    if (o.baud > 0 && next_byte > now) {
      std::this_thread::sleep_until(wake);
      continue;
    }
    struct pollfd pfd {
      line.master, POLLIN, 0
    };
    if (::poll(&pfd, 1, timeout < 0 ? 0 : timeout) <= 0) continue;
    char buf[256];
    ssize_t got = ::read(line.master, buf, o.baud > 0 ? 1 : sizeof buf);
    if (got <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    if (o.baud > 0) next_byte = SteadyTime::now() + char_time;
    for (ssize_t i = 0; i < got; ++i) {
      if (buf[i] != '\r') {
        if (command_line.size() < 1024) command_line += buf[i];
        continue;
      }
      auto received = o.baud > 0 ? next_byte : SteadyTime::now();
      std::string command = command_line;
      command_line.clear();
      std::string reply = plc.Handle(command);
      std::string wire = reply + "\r\n";
      auto due = received + std::chrono::milliseconds(o.delay_ms);
      if (o.pace && o.baud == 0) due += char_time * static_cast<int>(command.size() + 1);
      std::string noted = reply;
      if (o.fault != Fault::kNone && command.starts_with(o.fault_match) && chance(o.fault_share)) {
        wire = Apply(o.fault, reply, wire, due, received, o, rng);
        noted = std::string("fault ") + NameOf(o.fault) + ": " + Escape(wire);
      }
      if (chance(o.loss)) {
        wire.clear();
        noted = "lost";
      }
      if (log != nullptr) {
        double ms = std::chrono::duration<double, std::milli>(received - start).count();
        std::fprintf(log, "%.3f\t%s\t%s\n", ms, Escape(command).c_str(), Escape(noted).c_str());
        std::fflush(log);
      }
      if (!wire.empty()) {
        auto at = pending.end();
        while (at != pending.begin() && std::prev(at)->due > due) --at;
        pending.insert(at, {due, wire});
      }
    }
  }
}

}  // namespace sim
