// A network port's address as the port table names it, and RFC 2217's bytes both ways.
#include <gtest/gtest.h>

#include "netport/NetPort.h"

namespace {

TEST(NetPort, AddressesGoodAndBad) {
  struct Case {
    const char* text;
    bool rfc2217;
    const char* host;
    int port;         // 0: refused
    const char* why;  // the start of the reason
  } cases[] = {
      {"rfc2217://10.0.0.7:3001", true, "10.0.0.7", 3001, ""},
      {"tcp://serial-box.site:4001", false, "serial-box.site", 4001, ""},
      {"tcp://[fe80::1]:4001", false, "fe80::1", 4001, ""},
      {"tcp://fe80::1:4001", false, "", 0, "an IPv6 address goes in brackets"},
      {"tcp://[fe80::1:4001", false, "", 0, "an IPv6 address needs its closing bracket"},
      {"tcp://10.0.0.7", false, "", 0, "the address needs :PORT"},
      {"tcp://:4001", false, "", 0, "the address names no host"},
      {"rfc2217://box:0", true, "", 0, "the port '0' is not a number from 1 to 65535"},
      {"rfc2217://box:65536", true, "", 0, "the port '65536' is not"},
      {"rfc2217://box:4x", true, "", 0, "the port '4x' is not"},
      {"tcp://a b:1", false, "", 0, "the host 'a b' is not"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(netport::IsAddress(c.text)) << c.text;
    std::string why;
    std::optional<netport::Address> a = netport::ParseAddress(c.text, why);
    ASSERT_EQ(a.has_value(), c.port != 0) << c.text << ": " << why;
    if (a) {
      EXPECT_EQ(a->rfc2217, c.rfc2217) << c.text;
      EXPECT_EQ(a->host, c.host) << c.text;
      EXPECT_EQ(a->port, c.port) << c.text;
    } else {
      EXPECT_TRUE(why.starts_with(c.why)) << c.text << ": " << why;
    }
  }
  EXPECT_FALSE(netport::IsAddress("/dev/ttyUSB0"));
}

// The server's bytes, in pieces of every size: data with its doubled 255s, the options
// answered once each, notifications and answers kept out of the data.
TEST(NetPort, TelnetFromTheServer) {
  const std::string IAC = "\xff", SB = "\xfa", SE = "\xf0", WILL = "\xfb", DO = "\xfd",
                    DONT = "\xfe", WONT = "\xfc";
  struct Case {
    const char* what;
    std::string in, data, reply;
    int answered;
    bool refused;
  } cases[] = {
      {"data with a 255",
       "00\xff\xff"
       "5\r\n",
       "00\xff"
       "5\r\n",
       "", 0, false},
      {"our options acknowledged", IAC + DO + "\x2c" + IAC + DO + '\0' + IAC + WILL + '\0', "", "",
       0, false},
      {"echo refused, once", IAC + WILL + "\x01" + IAC + DO + "\x18" + IAC + DONT + "\x01", "",
       IAC + DONT + "\x01" + IAC + WONT + "\x18", 0, false},
      {"a modem-state notification between data",
       "0" + IAC + SB + "\x2c\x6b\x30" + IAC + SE + "1\r\n", "01\r\n", "", 0, false},
      {"the settings as asked",
       IAC + SB + "\x2c\x65" + std::string("\0\0\x25\x80", 4) + IAC + SE + IAC + SB +
           "\x2c\x66\x08" + IAC + SE + IAC + SB + "\x2c\x67\x03" + IAC + SE + IAC + SB +
           "\x2c\x68\x01" + IAC + SE + IAC + SB + "\x2c\x69\x01" + IAC + SE,
       "", "", 5, false},
      {"a server that keeps its own parity", IAC + SB + "\x2c\x67\x01" + IAC + SE, "", "", 1, true},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{64}}) {
      netport::Telnet t;
      t.Expect(9600, 8, comLib3::Parity::kEven, 1);
      std::string data, reply;
      for (std::size_t i = 0; i < c.in.size(); i += piece)
        t.Take(c.in.substr(i, piece), data, reply);
      EXPECT_EQ(data, c.data) << c.what << ", pieces of " << piece;
      EXPECT_EQ(reply, c.reply) << c.what << ", pieces of " << piece;
      EXPECT_EQ(t.answered(), c.answered) << c.what;
      EXPECT_EQ(t.refused(), c.refused) << c.what;
    }
  }
  EXPECT_EQ(netport::Telnet::Escape("a\xff"
                                    "b"),
            "a\xff\xff"
            "b");
}

}  // namespace
