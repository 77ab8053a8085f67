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
#include <utility>

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

// The controller on its line: commands received (at the line's speed with --baud),
// replies made (with the faults and the losses asked for, and noted in the traffic log),
// and replies sent when they are due (at the line's speed with --pace or --baud).
class Server {
 public:
  Server(const SimOptions& o, Controller& plc, const Pty& line, std::FILE* log)
      : o_(o), plc_(plc), line_(line), log_(log), rng_(o.seed) {}

  void Run() {
    while (!g_stop) {
      auto now = SteadyTime::now();
      Live(now);
      Control(now);
      Send(now);
      Receive(now);
    }
  }

 private:
  // The live scenario's clock: values drift, relays switch, counters count.
  void Live(SteadyTime::time_point now) {
    if (!o_.live) return;
    long elapsed =
        static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start_).count());
    if (elapsed > live_seconds_) {
      plc_.Advance(static_cast<int>(elapsed - live_seconds_));
      live_seconds_ = elapsed;
    }
  }

  // The control file's values, applied when its text has changed (looked at every 100 ms).
  void Control(SteadyTime::time_point now) {
    if (o_.control.empty() || now < next_control_) return;
    next_control_ = now + std::chrono::milliseconds(100);
    std::string text;
    if (std::FILE* f = std::fopen(o_.control.c_str(), "rb")) {
      char buf[4096];
      text.assign(buf, std::fread(buf, 1, sizeof buf, f));
      std::fclose(f);
    }
    if (text == control_text_) return;
    control_text_ = text;
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && !plc_.Fix(line))
        std::fprintf(stderr, "climon-sim: %s: not NAME=VALUE: %s\n", o_.control.c_str(),
                     line.c_str());
      at = end + 1;
    }
  }

  // The replies that are due, paced as the line would carry them.
  void Send(SteadyTime::time_point now) {
    while (!pending_.empty() && pending_.front().due <= now) {
      const std::string& b = pending_.front().bytes;
      if (o_.pace || o_.baud > 0) {
        for (char c : b) {
          (void)!::write(line_.master, &c, 1);
          std::this_thread::sleep_for(char_time_);
        }
      } else {
        (void)!::write(line_.master, b.data(), b.size());
      }
      pending_.pop_front();
    }
  }

  // Waits for the line until the next reply is due (200 ms at most) and takes what came:
  // with --baud a byte a character time apart, so that a command is in only once its last
  // byte would have arrived.
  void Receive(SteadyTime::time_point now) {
    auto wake = now + std::chrono::milliseconds(200);
    if (!pending_.empty()) wake = std::min(wake, pending_.front().due);
    if (o_.baud > 0 && next_byte_ > now) {
      std::this_thread::sleep_until(std::min(wake, next_byte_));
      return;
    }
    int timeout = static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(wake - SteadyTime::now()).count());
    struct pollfd pfd {
      line_.master, POLLIN, 0
    };
    if (::poll(&pfd, 1, timeout < 0 ? 0 : timeout) <= 0) return;
    char buf[256];
    ssize_t got = ::read(line_.master, buf, o_.baud > 0 ? 1 : sizeof buf);
    if (got <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return;
    }
    if (o_.baud > 0) next_byte_ = SteadyTime::now() + char_time_;
    for (ssize_t i = 0; i < got; ++i) {
      if (buf[i] != '\r') {
        if (command_line_.size() < 1024) command_line_ += buf[i];
        continue;
      }
      Reply(std::exchange(command_line_, std::string()),
            o_.baud > 0 ? next_byte_ : SteadyTime::now());
    }
  }

  // The controller's answer to one command, as the faults and losses make it, noted in
  // the traffic log and queued for when it is due.
  void Reply(const std::string& command, SteadyTime::time_point received) {
    std::string reply = plc_.Handle(command);
    std::string wire = reply + "\r\n";
    auto due = received + std::chrono::milliseconds(o_.delay_ms);
    if (o_.pace && o_.baud == 0) due += char_time_ * static_cast<int>(command.size() + 1);
    std::string noted = reply;
    if (o_.fault != Fault::kNone && command.starts_with(o_.fault_match) && Chance(o_.fault_share)) {
      wire = Apply(o_.fault, reply, wire, due, received, o_, rng_);
      noted = std::string("fault ") + NameOf(o_.fault) + ": " + Escape(wire);
    }
    if (Chance(o_.loss)) {
      wire.clear();
      noted = "lost";
    }
    if (log_ != nullptr) {
      double ms = std::chrono::duration<double, std::milli>(received - start_).count();
      std::fprintf(log_, "%.3f\t%s\t%s\n", ms, Escape(command).c_str(), Escape(noted).c_str());
      std::fflush(log_);
    }
    if (!wire.empty()) {
      auto at = pending_.end();
      while (at != pending_.begin() && std::prev(at)->due > due) --at;
      pending_.insert(at, {due, wire});
    }
  }

  // A whole percentage takes one draw of 0 to 99 (so a seed gives the runs it always
  // gave); a fraction of a percent, one more draw for the fraction.
  bool Chance(double pct) {
    if (pct <= 0) return false;
    int whole = static_cast<int>(pct), d = std::uniform_int_distribution<int>(0, 99)(rng_);
    if (d != whole) return d < whole;
    double fraction = pct - whole;
    return fraction > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < fraction;
  }

  const SimOptions& o_;
  SteadyTime::time_point next_control_{};
  std::string control_text_;
  Controller& plc_;
  const Pty& line_;
  std::FILE* log_;
  std::mt19937 rng_;
  const SteadyTime::time_point start_ = SteadyTime::now();
  // 11 bits a byte: start, 8 data, parity, stop.
  const std::chrono::microseconds char_time_{11'000'000 / (o_.baud > 0 ? o_.baud : 9600)};
  long live_seconds_ = 0;
  std::string command_line_;
  std::deque<Pending> pending_;
  SteadyTime::time_point next_byte_ = start_;
};

}  // namespace

void Serve(const SimOptions& o, Controller& plc, const Pty& line, std::FILE* log) {
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, nullptr);
  Server(o, plc, line, log).Run();
}

}  // namespace sim
