// climon-sim: a simulated controller on a pseudo-terminal, for the demo and the tests.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Controller.h"

namespace {

using SteadyTime = std::chrono::steady_clock;

const char* kUsage = R"(usage: climon-sim [options]
A simulated climate controller on a pseudo-terminal. Prints the terminal's path.

  --link PATH        also make PATH a symbolic link to the terminal
  --variant N        device variant 1, 2, 3 or 9 (default 1)
  --no-relay-7000    the controller model without relay 7000 (indicators on 604 to 607)
  --live             run the live scenario: values drift, relays switch, counters count
  --set NAME=VALUE   fix a value: DMn (word), Rn (relay 0/1), Tn (timer's current value);
                     may be repeated
  --log FILE         one line per command received: milliseconds since start, the
                     command and the reply, separated by tabs
  --pace             send replies at the line's real speed (9600 baud, 11 bits a byte)
  --delay-ms N       turn-around time before a reply (default 2)
  --fault KIND       silence | error | garbage | late | short1 | short2 | long
  --fault-share PCT  share of commands the fault hits (default 100)
  --fault-match TXT  the fault hits only commands that begin with TXT
  --late-ms N        when a late reply comes (default 90)
  --loss PCT         share of replies that are lost
  --seed N           seed of the random choices (default 1)
  --help             this text
)";

volatile sig_atomic_t g_stop = 0;
void OnStop(int) {
  g_stop = 1;
}

struct Options {
  std::string link, log;
  int variant = 1;
  bool relay7000 = true, live = false, pace = false;
  int delay_ms = 2, late_ms = 90, fault_share = 100, loss = 0;
  unsigned seed = 1;
  std::string fault, fault_match;
  std::vector<std::string> sets;
};

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

bool ParseInt(const char* s, int& out) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (end == s || *end != '\0' || v < 0 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

int Fail(const std::string& msg) {
  std::fprintf(stderr, "climon-sim: %s\n%s", msg.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    // The argument after an option, or null at the end of the line.
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    int n = 0;
    if (a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--no-relay-7000") {
      o.relay7000 = false;
    } else if (a == "--live") {
      o.live = true;
    } else if (a == "--pace") {
      o.pace = true;
    } else if (a == "--link" && (v = value())) {
      o.link = v;
    } else if (a == "--log" && (v = value())) {
      o.log = v;
    } else if (a == "--set" && (v = value())) {
      o.sets.push_back(v);
    } else if (a == "--fault" && (v = value())) {
      o.fault = v;
      static const char* kinds[] = {"silence", "error",  "garbage", "late",
                                    "short1",  "short2", "long"};
      bool known = false;
      for (const char* k : kinds) known = known || o.fault == k;
      if (!known) return Fail("unknown fault: " + o.fault);
    } else if (a == "--fault-match" && (v = value())) {
      o.fault_match = v;
    } else if (a == "--variant" && (v = value()) && ParseInt(v, n) &&
               (n == 1 || n == 2 || n == 3 || n == 9)) {
      o.variant = n;
    } else if (a == "--delay-ms" && (v = value()) && ParseInt(v, n)) {
      o.delay_ms = n;
    } else if (a == "--late-ms" && (v = value()) && ParseInt(v, n)) {
      o.late_ms = n;
    } else if (a == "--fault-share" && (v = value()) && ParseInt(v, n) && n <= 100) {
      o.fault_share = n;
    } else if (a == "--loss" && (v = value()) && ParseInt(v, n) && n <= 100) {
      o.loss = n;
    } else if (a == "--seed" && (v = value()) && ParseInt(v, n)) {
      o.seed = static_cast<unsigned>(n);
    } else {
      return Fail("bad option: " + a);
    }
  }

  sim::Controller plc(o.variant, o.relay7000);
  for (const auto& s : o.sets) {
    if (!plc.Fix(s)) return Fail("bad --set: " + s);
  }

  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("climon-sim: pseudo-terminal");
    return 1;
  }
  std::string path = ::ptsname(master);
  // Held open so that the line stays up between clients, and raw so that nothing is
  // echoed before a client sets it up.
  int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    struct termios t {};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  if (!o.link.empty()) {
    ::unlink(o.link.c_str());
    if (::symlink(path.c_str(), o.link.c_str()) != 0) {
      std::perror("climon-sim: link");
      return 1;
    }
  }
  FILE* log = nullptr;
  if (!o.log.empty() && (log = std::fopen(o.log.c_str(), "w")) == nullptr) {
    std::perror("climon-sim: log");
    return 1;
  }
  std::printf("%s\n", path.c_str());
  std::fflush(stdout);

  struct sigaction sa {};
  sa.sa_handler = OnStop;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, nullptr);

  std::mt19937 rng(o.seed);
  auto chance = [&rng](int pct) {
    return pct > 0 && static_cast<int>(std::uniform_int_distribution<int>(0, 99)(rng)) < pct;
  };
  const auto start = SteadyTime::now();
  const auto char_time = std::chrono::microseconds(11'000'000 / 9600);
  long live_seconds = 0;
  std::string line;
  std::deque<Pending> pending;

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
      if (o.pace) {
        for (char c : b) {
          (void)!::write(master, &c, 1);
          std::this_thread::sleep_for(char_time);
        }
      } else {
        (void)!::write(master, b.data(), b.size());
      }
      pending.pop_front();
    }
    int timeout = 200;
    if (!pending.empty()) {
      auto wait =
          std::chrono::ceil<std::chrono::milliseconds>(pending.front().due - SteadyTime::now());
      timeout = wait.count() < 0 ? 0 : static_cast<int>(wait.count());
    }
    struct pollfd pfd {
      master, POLLIN, 0
    };
    if (::poll(&pfd, 1, timeout) <= 0) continue;
    char buf[256];
    ssize_t got = ::read(master, buf, sizeof buf);
    if (got <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    for (ssize_t i = 0; i < got; ++i) {
      if (buf[i] != '\r') {
        if (line.size() < 1024) line += buf[i];
        continue;
      }
      auto received = SteadyTime::now();
      std::string command = line;
      line.clear();
      std::string reply = plc.Handle(command);
      std::string wire = reply + "\r\n";
      auto due = received + std::chrono::milliseconds(o.delay_ms);
      if (o.pace) due += char_time * static_cast<int>(command.size() + 1);
      std::string noted = reply;
      bool hit = !o.fault.empty() && command.starts_with(o.fault_match) && chance(o.fault_share);
      if (hit) {
        if (o.fault == "silence") {
          wire.clear();
        } else if (o.fault == "error") {
          wire = "E1\r\n";
        } else if (o.fault == "garbage") {
          wire.clear();
          int len = std::uniform_int_distribution<int>(3, 20)(rng);
          for (int k = 0; k < len; ++k)
            wire += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        } else if (o.fault == "late") {
          due = received + std::chrono::milliseconds(o.late_ms);
        } else if (o.fault == "short1") {
          wire = reply.substr(0, 1);
        } else if (o.fault == "short2") {
          wire = "\r\n";
        } else if (o.fault == "long") {
          wire = reply + std::string(60, '#') + "\r\n";
        }
        noted = "fault " + o.fault + ": " + Escape(wire);
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
  if (!o.link.empty()) ::unlink(o.link.c_str());
  if (log != nullptr) std::fclose(log);
  if (slave >= 0) ::close(slave);
  ::close(master);
  return 0;
}
