// Late replies against the transaction: the reads that took another command's reply for
// their own, by kind (words, timers, the indicators' relays, the variant's relays, the
// model probe), by how often a reply is late and by how late; and what a read costs then.
// The line is the tests' scripted one on a virtual clock (each word's reply is its own
// number, a timer's its own number, a relay's the parity of its number, the probe's 0), so
// a crossing shows, the whole table takes a moment and is the same on every run.
#include <cstdio>
#include <random>
#include <string>

#include "Fakes.h"
#include "PLC_Lib3/PLC_Lib3.h"

namespace {

using namespace fakes;

enum Kind { kWord, kTimer, kRelay, kVariant, kProbe, kKinds };
constexpr const char* kKindNames[kKinds] = {"words", "timers", "relays", "variant", "probe"};

struct Result {
  int reads[kKinds] = {}, answered[kKinds] = {}, crossed[kKinds] = {};
  Ms took{0};
};

// What the controller answers, and so what each read must get.
std::string Answer(const std::string& cmd) {
  char buf[32];
  if (cmd.starts_with("RD DM")) {
    std::snprintf(buf, sizeof buf, "%05d\r\n", std::stoi(cmd.substr(5)));
  } else if (cmd.starts_with("RD T")) {  // a timer: its number as its current value
    std::snprintf(buf, sizeof buf, "1,%05d,00500\r\n", std::stoi(cmd.substr(4)));
  } else if (cmd == "RD 7000") {
    return "0\r\n";
  } else {  // a relay: the parity of its number
    std::snprintf(buf, sizeof buf, "%d\r\n", std::stoi(cmd.substr(3)) % 2);
  }
  return buf;
}

struct Read {
  Kind kind;
  std::string command;
};

// A monitor pass's reads in their order, a refresh's among them; every tenth pass the
// start-up's reads again (the variant's relays and the probe), as a line that failed at
// start has them.
std::vector<Read> Pass(int n) {
  std::vector<Read> reads;
  if (n % 10 == 0) {
    for (const char* r : {"RD 3000", "RD 3003", "RD 3001"}) reads.push_back({kVariant, r});
    reads.push_back({kProbe, "RD 7000"});
  }
  const int relays[] = {512, 513, 514, 515};
  const int climate[] = {992, 993, 984, 995};
  for (int i = 0; i < 4; ++i) {
    reads.push_back({kRelay, "RD " + std::to_string(relays[i])});
    reads.push_back({kWord, "RD DM" + std::to_string(climate[i])});
  }
  for (int dm : {87, 109, 117, 118, 119, 120, 121, 122}) {
    reads.push_back({kWord, "RD DM" + std::to_string(dm)});
  }
  for (int t : {106, 107}) reads.push_back({kTimer, "RD T" + std::to_string(t)});
  return reads;
}

Result Run(double share, Ms late, unsigned seed) {
  VirtualClock clock;
  FakeConsole con{80, 25, &clock};
  std::mt19937 random(seed);
  FakePorts ports{clock, Answer};
  comLib3::ComLib3 com{con, clock, ports};
  PLC_Lib3::OpenPlcPort(com, 1);
  std::bernoulli_distribution is_late(share);
  ports.last->lateness = [&](const std::string&) { return is_late(random) ? late : Ms(0); };
  Result r;
  const Ms start = clock.NowMs();
  for (int pass = 0; pass < 150; ++pass) {
    for (const Read& read : Pass(pass)) {
      using PLC_Lib3::ReplyShape;
      console::ShortString reply;
      const ReplyShape shape = read.kind == kWord    ? ReplyShape::kWord
                               : read.kind == kTimer ? ReplyShape::kTimer
                                                     : ReplyShape::kRelay;
      PLC_Lib3::PlcTransact(com, 1, console::ShortString(read.command), reply, shape);
      if (read.kind == kTimer) reply = PLC_Lib3::TimerField(reply);
      ++r.reads[read.kind];
      if (reply.empty()) continue;
      ++r.answered[read.kind];
      std::string want = Answer(read.command);
      want.resize(want.size() - 2);
      if (read.kind == kTimer) want = want.substr(2, 5);
      if (std::string(reply.view()) != want) ++r.crossed[read.kind];
    }
  }
  r.took = clock.NowMs() - start;
  return r;
}

}  // namespace

int main() {
  std::printf(
      "Late replies: reads that took another command's reply, by kind, and the time\n"
      "a read takes on such a line (150 passes, about 3,500 reads each)\n");
  std::printf("%8s %6s", "late", "share");
  for (const char* k : kKindNames) std::printf(" %15s", k);
  std::printf(" %10s\n", "ms/read");
  for (double share : {0.0, 0.05, 0.5, 1.0}) {
    for (Ms late : {60ms, 90ms, 150ms, 300ms, 600ms, 1000ms}) {
      if (share == 0.0 && late != 60ms) continue;
      Result r = Run(share, late, 1);
      std::printf("%5lld ms %4.0f %%", static_cast<long long>(late.count()), share * 100);
      int reads = 0;
      for (int k = 0; k < kKinds; ++k) {
        reads += r.reads[k];
        char cell[32];
        std::snprintf(cell, sizeof cell, "%d/%d", r.crossed[k], r.answered[k]);
        std::printf(" %15s", cell);
      }
      std::printf(" %10.1f\n", static_cast<double>(r.took.count()) / reads);
    }
  }
  std::printf("(crossed/answered; a relay's crossing shows when the parities differ)\n");
}
