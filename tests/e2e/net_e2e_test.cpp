// climon against climon-sim behind a serial device server: Debian's ser2net, started here on
// 127.0.0.1 with a configuration written here, in front of the simulator's pseudo-terminal,
// in RFC 2217 and in raw TCP mode.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <ostream>

#include "Harness.h"
#include "Scenarios.h"

namespace e2e {
namespace {

struct Mode {
  const char* name;
  bool rfc2217;
};
void PrintTo(const Mode& m, std::ostream* os) {
  *os << m.name;
}

class Net : public testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    if (std::system("command -v ser2net >/dev/null") != 0) {
      std::printf("skipped: e2e.Net: ser2net is not installed (apt-get install ser2net)\n");
      GTEST_SKIP();
    }
  }
};

// At the monitor through the server: the values, the command terminal and a counter reset,
// as on a local port.
TEST_P(Net, TheMonitorTheTerminalAndACounterReset) {
  const std::string dir = TempDir();
  Simulator sim(dir, {});
  Ser2net server(dir, sim.link());
  Session s(server.Address(GetParam().rfc2217));
  ASSERT_TRUE(s.WaitForText("Enter Comport")) << s.ScreenText();
  s.Type("1");
  s.Key("Enter");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(14) == kTotalRow; }, 20s)) << s.ScreenText();
  EXPECT_EQ(s.Row(3), kTempRow);
  EXPECT_EQ(s.Row(15), kHeaterRow);
  s.Type("k");
  ASSERT_TRUE(s.WaitForText(kTerminalHeader)) << s.ScreenText();
  EXPECT_TRUE(SendLine(s, "RD DM992", " RD DM992       : 00500")) << s.ScreenText();
  s.Key("Escape");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(3) == kTempRow; }, 20s)) << s.ScreenText();
  s.Type("r");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(20) == "Reset Timers [Y/N]"; }, 20s));
  s.Type("y");
  EXPECT_TRUE(s.WaitFor([&] { return s.Row(15) == "t_Heater          0 s  /     0.0 %"; }, 20s))
      << s.ScreenText();
  EXPECT_EQ(s.Row(22), "");
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_TRUE(s.TerminalRestored());
  sim.Stop();
}

// The server killed, then started again; stopped (SIGSTOP), then continued; and a second
// client that asks for the port: each loss is the link lost, as a pulled adapter is, and
// the values come back, right, once the server does.
TEST_P(Net, AServerGoneStoppedOrAskedForByAnotherClient) {
  const std::string dir = TempDir();
  Simulator sim(dir, {});
  Ser2net server(dir, sim.link());
  const std::string audit = dir + "/audit.csv";
  Session s(server.Address(GetParam().rfc2217), "",
            Quote(ClimonBin()) + " --port 1 --audit " + Quote(audit));
  auto lost = [&] { return s.Row(22).starts_with("No reply from the controller since "); };
  auto back = [&] { return s.Row(3) == kTempRow && s.Row(22).empty(); };
  ASSERT_TRUE(s.WaitFor(back, 20s)) << s.ScreenText();
  for (int sig : {SIGKILL, SIGSTOP}) {
    server.Signal(sig);
    auto at = std::chrono::steady_clock::now();
    ASSERT_TRUE(s.WaitFor(lost, 20s)) << sig << ": " << s.ScreenText();
    const double seen =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - at).count();
    if (sig == SIGKILL) {
      server.Start();
    } else {
      server.Signal(SIGCONT);
    }
    at = std::chrono::steady_clock::now();
    ASSERT_TRUE(s.WaitFor(back, 20s)) << sig << ": " << s.ScreenText();
    std::printf("%s, %s: the link row after %.1f s, values again %.1f s after the server\n",
                GetParam().name, sig == SIGKILL ? "killed" : "stopped", seen,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - at).count());
  }
  // Another client is turned away; climon's connection goes on.
  int other = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(server.Port(GetParam().rfc2217)));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::close(other);
  const int reads = static_cast<int>(sim.Commands().size());
  EXPECT_TRUE(s.WaitFor([&] { return static_cast<int>(sim.Commands().size()) > reads + 20; }, 20s));
  EXPECT_EQ(s.Row(22), "");
  EXPECT_EQ(s.Row(3), kTempRow);
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  // The record names the server, and the losses.
  const std::string trail = ReadFile(audit);
  EXPECT_NE(trail.find(", server " + server.Address(GetParam().rfc2217) + ", version"),
            std::string::npos)
      << trail;
  EXPECT_NE(trail.find(",link lost,"), std::string::npos) << trail;
  sim.Stop();
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Net, testing::Values(Mode{"RFC2217", true}, Mode{"TCP", false}),
                         [](const testing::TestParamInfo<Mode>& i) { return i.param.name; });

// Addresses that cannot be used (each malformed kind is in the unit tests): a clear report
// with the port report's code, no hang, the terminal as it was.
TEST(NetAddress, EachBadOneIsReported) {
  const int closed = FreePort();
  struct Case {
    std::string address;
    const char* shown;
  } cases[] = {
      {"tcp://127.0.0.1", "Invalid Port Number: 1   E123"},
      {"tcp://127.0.0.1:" + std::to_string(closed), "Invalid Port Number: 1   E2"},
      {"rfc2217://no-such-host.invalid:4000", "Invalid Port Number: 1   E2"},
  };
  for (const auto& c : cases) {
    Session s(c.address, "", Quote(ClimonBin()) + " --port 1");
    EXPECT_TRUE(s.WaitForText(c.shown, 20s)) << c.address << ": " << s.ScreenText();
    s.Type("x");  // the report waits for a key; the monitor then runs without a device
    s.Key("Escape");
    EXPECT_EQ(s.WaitExit(20s), 0) << c.address;
    EXPECT_TRUE(s.TerminalRestored()) << c.address;
  }
}

// A server that floods garbage, and one that takes the connection and never answers (nor
// the negotiation): no reply is taken from them, nothing hangs, ESC ends the monitor.
TEST(NetAddress, AServerThatFloodsOrNeverAnswers) {
  const std::string dir = TempDir();
  for (const char* mode : {"flood", "silent"}) {
    const int port = FreePort();
    // Each client in turn flooded until it goes, or every client held and never answered.
    const std::string serve = std::string(mode) == "flood"
                                  ? "while True:\n  c,_=s.accept()\n  try:\n    while True: "
                                    "c.sendall(os.urandom(65536))\n"
                                    "  except OSError: pass\n"
                                  : "held=[]\nwhile True: held.append(s.accept()[0])\n";
    RunProgram("timeout 120 python3 -c " +
               Quote("import socket,os\ns=socket.socket()\n"
                     "s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                     "s.bind(('127.0.0.1'," +
                     std::to_string(port) + "))\ns.listen(5)\n" + serve) +
               " >/dev/null 2>&1 & echo $! >" + Quote(dir + "/" + mode + ".pid"));
    ASSERT_TRUE(Poll([&] { return Listens(port); }, 10s));
    for (const char* scheme : {"rfc2217://", "tcp://"}) {
      if (std::string(scheme) == "tcp://" && std::string(mode) == "silent") continue;
      Session s(scheme + std::string("127.0.0.1:") + std::to_string(port), "",
                Quote(ClimonBin()) + " --port 1");
      EXPECT_TRUE(s.WaitFor(
          [&] { return s.Row(22).starts_with("No reply from the controller since "); }, 20s))
          << mode << ": " << s.ScreenText();
      s.Key("Escape");
      EXPECT_EQ(s.WaitExit(20s), 0) << mode;
      EXPECT_TRUE(s.TerminalRestored()) << mode;
    }
    RunProgram("kill $(cat " + Quote(dir + "/" + mode + ".pid") + ")");
  }
  std::system(("rm -rf " + Quote(dir)).c_str());
}

}  // namespace
}  // namespace e2e
