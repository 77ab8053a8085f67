// Late replies against the transaction: the share of reads that take another command's
// reply for their own, by how often a reply is late and by how late. The line is the
// tests' scripted one on a virtual clock (each word's reply is its own number, so a
// crossing shows), so the whole table takes a moment and is the same on every run.
#include <cstdio>
#include <random>

#include "Fakes.h"
#include "PLC_Lib3/PLC_Lib3.h"

namespace {

using namespace fakes;

struct Result {
  int reads = 0, answered = 0, crossed = 0;
};

Result Run(double share, Ms late, unsigned seed) {
  VirtualClock clock;
  FakeConsole con{80, 25, &clock};
  std::mt19937 random(seed);
  FakePorts ports{clock, [](const std::string& cmd) -> std::string {
                    char buf[32];
                    if (cmd.starts_with("RD DM")) {
                      std::snprintf(buf, sizeof buf, "%05d\r\n", std::stoi(cmd.substr(5)));
                    } else {  // a timer: its number as its current value
                      std::snprintf(buf, sizeof buf, "1,%05d,00500\r\n", std::stoi(cmd.substr(4)));
                    }
                    return buf;
                  }};
  comLib3::ComLib3 com{con, clock, ports};
  PLC_Lib3::OpenPlcPort(com, 1);
  std::bernoulli_distribution is_late(share);
  ports.last->lateness = [&](const std::string&) { return is_late(random) ? late : Ms(0); };
  // A monitor pass's words, then a refresh's words and timers, over and over.
  const std::uint16_t words[] = {992, 993, 984, 995, 87, 109, 117, 118, 119, 120, 121, 122};
  Result r;
  for (int i = 0; i < 4000; ++i) {
    console::ShortString reply;
    std::size_t k = static_cast<std::size_t>(i) % (std::size(words) + 2);
    int want;
    if (k < std::size(words)) {
      want = words[k];
      PLC_Lib3::PlcReadDm(com, 1, words[k], reply);
    } else {
      want = k == std::size(words) ? 106 : 107;
      PLC_Lib3::PlcReadTimer(com, 1, want, reply);
    }
    ++r.reads;
    if (reply.empty()) continue;
    ++r.answered;
    if (std::stoi(std::string(reply.view())) != want) ++r.crossed;
  }
  return r;
}

}  // namespace

int main() {
  std::printf("Late replies: reads that took another command's reply (4000 reads each)\n");
  std::printf("%8s %8s %10s %10s %10s\n", "late", "share", "answered", "crossed", "crossed %");
  for (double share : {0.05, 0.5, 1.0}) {
    for (Ms late : {60ms, 90ms, 150ms, 300ms, 600ms, 1000ms}) {
      Result r = Run(share, late, 1);
      std::printf("%6lld ms %7.0f %% %10d %10d %9.2f %%\n", static_cast<long long>(late.count()),
                  share * 100, r.answered, r.crossed,
                  r.answered > 0 ? 100.0 * r.crossed / r.answered : 0.0);
    }
  }
}
