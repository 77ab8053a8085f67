// The POSIX serial device against a real pseudo-terminal.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/posix/PosixSerial.h"

namespace {

using namespace std::chrono_literals;
using platform::posix::PosixSerialDevice;
using SteadyTime = std::chrono::steady_clock;

struct Pty {
  int master = -1;
  std::string path;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master);
    ::unlockpt(master);
    path = ::ptsname(master);
  }
  ~Pty() { Close(); }
  void Close() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  void Send(const std::string& s) {
    ASSERT_EQ(::write(master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  std::string Receive() {
    std::string out;
    char buf[256];
    for (int i = 0; i < 50; ++i) {
      ::fcntl(master, F_SETFL, O_NONBLOCK);
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) return out.append(buf, static_cast<std::size_t>(n));
      std::this_thread::sleep_for(2ms);
    }
    return out;
  }
};

struct PosixSerialTest : testing::Test {
  Pty pty;
  PosixSerialDevice dev{pty.path};
  void SetUp() override {
    ASSERT_GE(dev.fd(), 0);
    ASSERT_EQ(dev.Configure(9600, 8, comLib3::Parity::kEven, 1), 0);
    dev.SetReadTimeout(55ms);
  }
};

TEST_F(PosixSerialTest, ConfiguresARawLine) {
  struct termios t {};
  ASSERT_EQ(::tcgetattr(dev.fd(), &t), 0);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  // A pseudo-terminal keeps no parity, so even parity cannot be read back here.
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(dev.Configure(12345, 8, comLib3::Parity::kNone, 1), 87);  // invalid parameter
}

TEST_F(PosixSerialTest, ReadReturnsAfterTheWindowWithWhatArrived) {
  pty.Send("00123\r\n");
  char buf[50];
  auto t0 = SteadyTime::now();
  std::size_t n = dev.Read(buf, sizeof buf);
  auto took = SteadyTime::now() - t0;
  EXPECT_EQ(std::string(buf, n), "00123\r\n");
  EXPECT_GE(took, 55ms);
  EXPECT_LT(took, 75ms);
}

TEST_F(PosixSerialTest, ReadNeverTakesMoreThanItsCountAndReturnsOnceFull) {
  pty.Send(std::string(70, 'A'));
  std::this_thread::sleep_for(5ms);
  char buf[60] = {};
  auto t0 = SteadyTime::now();
  EXPECT_EQ(dev.Read(buf, 50), 50u);
  EXPECT_LT(SteadyTime::now() - t0, 30ms);
  EXPECT_EQ(buf[50], 0);
  EXPECT_EQ(dev.Read(buf, 50), 20u);  // the rest waited
}

TEST_F(PosixSerialTest, ReadCollectsBytesThatComeDuringTheWindow) {
  std::thread late([&] {
    std::this_thread::sleep_for(20ms);
    pty.Send("1\r");
    std::this_thread::sleep_for(10ms);
    pty.Send("\n");
  });
  char buf[50];
  std::size_t n = dev.Read(buf, sizeof buf);
  late.join();
  EXPECT_EQ(std::string(buf, n), "1\r\n");
}

TEST_F(PosixSerialTest, PurgeDropsWaitingInput) {
  pty.Send("stale\r\n");
  std::this_thread::sleep_for(5ms);
  dev.Purge();
  char buf[50];
  EXPECT_EQ(dev.Read(buf, sizeof buf), 0u);
  dev.Write("RD DM1\r");
  EXPECT_EQ(pty.Receive(), "RD DM1\r");
}

TEST_F(PosixSerialTest, ASecondOpenIsRefused) {
  PosixSerialDevice second(pty.path);
  EXPECT_LT(second.fd(), 0);
  EXPECT_EQ(second.error(), EBUSY);
  // The operator sees the code Windows gives a port in use, not errno's 16.
  ::setenv("CLIMON_COM8", pty.path.c_str(), 1);
  platform::posix::PosixSerialPorts ports;
  int error = 0;
  EXPECT_EQ(ports.Open(8, error), nullptr);
  EXPECT_EQ(error, 5);
  ::unsetenv("CLIMON_COM8");
}

TEST_F(PosixSerialTest, AHungUpLineIsLost) {
  EXPECT_FALSE(dev.Lost());
  pty.Close();
  char buf[50];
  auto t0 = SteadyTime::now();
  EXPECT_EQ(dev.Read(buf, sizeof buf), 0u);
  EXPECT_LT(SteadyTime::now() - t0, 30ms);  // the port table waits out the window
  EXPECT_TRUE(dev.Lost());
  dev.Write("CR\r");  // returns, reports nothing
}

TEST(PosixSerialPorts, PathsAndAMissingDevice) {
  ::setenv("CLIMON_COM9", "/nonexistent/climon-port", 1);
  EXPECT_EQ(platform::posix::PortPath(9), "/nonexistent/climon-port");
  ::unsetenv("CLIMON_COM10");
  EXPECT_EQ(platform::posix::PortPath(10), "/dev/ttyS9");
  platform::posix::PosixSerialPorts ports;
  int error = 0;
  EXPECT_EQ(ports.Open(9, error), nullptr);
  EXPECT_EQ(error, 2);  // as Windows reports a port that does not exist
  ::unsetenv("CLIMON_COM9");
}

}  // namespace
