#include "netport/NetPort.h"

#include <algorithm>
#include <charconv>

namespace netport {
namespace {

constexpr std::string_view kRfc2217 = "rfc2217://", kTcp = "tcp://";

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// COM-port commands (client to server; the server answers with the code plus 100).
constexpr std::uint8_t kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                       kSetControl = 5, kPurgeData = 12;
constexpr std::uint8_t kNoFlowControl = 1, kPurgeBoth = 3;

std::string Bytes(std::initializer_list<std::uint8_t> b) {
  return std::string(b.begin(), b.end());
}

std::string Sub(std::uint8_t command, std::string_view value) {
  return Bytes({kIac, kSb, kComPort, command}) + Telnet::Escape(value) + Bytes({kIac, kSe});
}

int ParityCode(comLib3::Parity p) {
  return p == comLib3::Parity::kNone ? 1 : p == comLib3::Parity::kOdd ? 2 : 3;
}

}  // namespace

bool IsAddress(std::string_view text) {
  return text.starts_with(kRfc2217) || text.starts_with(kTcp);
}

std::optional<Address> ParseAddress(std::string_view text, std::string& why) {
  Address a;
  a.rfc2217 = text.starts_with(kRfc2217);
  text.remove_prefix(a.rfc2217 ? kRfc2217.size() : kTcp.size());
  std::string_view host, port;
  if (text.starts_with('[')) {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos || close == 1) {
      why = "an IPv6 address needs its closing bracket";
      return std::nullopt;
    }
    host = text.substr(1, close - 1);
    text.remove_prefix(close + 1);
    if (!text.starts_with(':')) {
      why = "the address needs :PORT after the host";
      return std::nullopt;
    }
    port = text.substr(1);
  } else {
    std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
      why = "the address needs :PORT after the host";
      return std::nullopt;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) {
      why = "an IPv6 address goes in brackets: [" + std::string(host) + "]:PORT";
      return std::nullopt;
    }
  }
  if (host.empty()) {
    why = "the address names no host";
    return std::nullopt;
  }
  for (char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@') {
      why = "the host '" + std::string(host) + "' is not a name or an address";
      return std::nullopt;
    }
  }
  unsigned n = 0;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || n < 1 || n > 65535) {
    why = "the port '" + std::string(port) + "' is not a number from 1 to 65535";
    return std::nullopt;
  }
  a.host = host;
  a.port = static_cast<std::uint16_t>(n);
  return a;
}

Telnet::Telnet() {
  will_[kBinary] = will_[kSuppressGoAhead] = will_[kComPort] = true;
  do_[kBinary] = do_[kSuppressGoAhead] = true;
}

std::string Telnet::Start() {
  return Bytes({kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kSuppressGoAhead, kIac, kDo,
                kSuppressGoAhead, kIac, kWill, kComPort});
}

std::string Telnet::Settings(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) {
  const std::string b = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                         static_cast<char>(baud >> 8), static_cast<char>(baud)};
  return Sub(kSetBaud, b) + Sub(kSetDataSize, std::string(1, static_cast<char>(data_bits))) +
         Sub(kSetParity, std::string(1, static_cast<char>(ParityCode(parity)))) +
         Sub(kSetStopSize, std::string(1, static_cast<char>(stop_bits == 2 ? 2 : 1))) +
         Sub(kSetControl, std::string(1, static_cast<char>(kNoFlowControl)));
}

std::string Telnet::Purge() {
  return Sub(kPurgeData, std::string(1, static_cast<char>(kPurgeBoth)));
}

std::string Telnet::Escape(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  for (char c : data) {
    out += c;
    if (static_cast<std::uint8_t>(c) == kIac) out += c;
  }
  return out;
}

void Telnet::Expect(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) {
  baud_ = baud;
  data_bits_ = static_cast<unsigned>(data_bits);
  parity_ = static_cast<unsigned>(ParityCode(parity));
  stop_bits_ = stop_bits == 2 ? 2 : 1;
  answered_ = 0;
  refused_ = false;
}

void Telnet::Take(std::string_view in, std::string& data, std::string& reply) {
  for (char ch : in) {
    const auto c = static_cast<std::uint8_t>(ch);
    switch (state_) {
      case State::kData:
        if (c == kIac) {
          state_ = State::kIac;
        } else {
          data += ch;
        }
        break;
      case State::kIac:
        if (c == kIac) {
          data += ch;  // a data byte 255, doubled
          state_ = State::kData;
        } else if (c == kSb) {
          sub_.clear();
          state_ = State::kSub;
        } else if (c >= kWill) {
          verb_ = c;
          state_ = State::kVerb;
        } else {
          state_ = State::kData;  // NOP, GA and the like: nothing for a serial line
        }
        break;
      case State::kVerb:
        Command(verb_, c, reply);
        state_ = State::kData;
        break;
      case State::kSub:
        if (c == kIac) {
          state_ = State::kSubIac;
        } else if (sub_.size() < 64) {  // a notification is a few bytes; more is noise
          sub_ += ch;
        }
        break;
      case State::kSubIac:
        if (c == kSe) {
          Subnegotiation();
          state_ = State::kData;
        } else {
          if (sub_.size() < 64) sub_ += ch;  // IAC IAC: a 255 in the value
          state_ = State::kSub;
        }
        break;
    }
  }
}

void Telnet::Command(std::uint8_t verb, std::uint8_t option, std::string& reply) {
  // The options the client wants on: binary and no go-ahead both ways, and COM-port
  // control from the client's side; every other one is refused.
  const bool wanted_here = option == kBinary || option == kSuppressGoAhead || option == kComPort;
  const bool wanted_there = option == kBinary || option == kSuppressGoAhead;
  if (verb == kDo || verb == kDont) {
    const bool on = verb == kDo && wanted_here;
    if (will_[option] != on || (verb == kDo && !wanted_here)) {
      reply += Bytes({kIac, on ? kWill : kWont, option});
    }
    will_[option] = on;
  } else {
    const bool on = verb == kWill && wanted_there;
    if (do_[option] != on || (verb == kWill && !wanted_there)) {
      reply += Bytes({kIac, on ? kDo : kDont, option});
    }
    do_[option] = on;
  }
}

void Telnet::Subnegotiation() {
  if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != kComPort) return;
  const auto code = static_cast<std::uint8_t>(sub_[1]);
  // Only the answers to the settings count; the line-state and modem-state notifications
  // (106, 107) and the rest are not data, and never reach a reply.
  if (code < kSetBaud + 100 || code > kSetControl + 100) return;
  // Each answer is the setting the server took: the baud rate in four bytes, the rest in one.
  unsigned got = 0;
  for (char c : std::string_view(sub_).substr(2, code == kSetBaud + 100 ? 4 : 1)) {
    got = got << 8 | static_cast<std::uint8_t>(c);
  }
  const unsigned asked[] = {baud_, data_bits_, parity_, stop_bits_, kNoFlowControl};
  ++answered_;
  refused_ |= got != asked[code - kSetBaud - 100];
}

namespace {

using Clock = std::chrono::steady_clock;

// How long a server may take to answer the line settings.
constexpr std::chrono::milliseconds kAnswerWithin{2000};
constexpr int kRefusedSettings = 87, kNoAnswer = 121;  // Windows' codes

}  // namespace

bool NetDevice::Greet() {
  return !rfc2217_ || SendAll(Telnet::Start(), Clock::now() + kAnswerWithin);
}

bool NetDevice::Receive(Time deadline) {
  char buf[4096];
  const long n = ReceiveSome(buf, sizeof buf, deadline);
  if (n < 0) lost_ = true;  // closed by the server (restarted, the port taken), or reset
  if (n <= 0) return false;
  const std::string_view in(buf, static_cast<std::size_t>(n));
  if (!rfc2217_) {
    data_.append(in);
    return true;
  }
  std::string reply;
  telnet_.Take(in, data_, reply);
  if (!reply.empty()) SendAll(reply, Clock::now() + std::chrono::seconds(1));
  return true;
}

int NetDevice::Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) {
  const int bits = 1 + data_bits + (parity != comLib3::Parity::kNone ? 1 : 0) + stop_bits;
  char_time_ = std::chrono::nanoseconds(1'000'000'000LL * bits / baud);
  if (!rfc2217_) return 0;  // raw TCP: the server's own settings hold
  telnet_.Expect(baud, data_bits, parity, stop_bits);
  const Time deadline = Clock::now() + kAnswerWithin;
  if (!SendAll(Telnet::Settings(baud, data_bits, parity, stop_bits), deadline)) return kNoAnswer;
  while (telnet_.answered() < 5 && !lost_ && Clock::now() < deadline) Receive(deadline);
  if (telnet_.refused()) return kRefusedSettings;
  return telnet_.answered() < 5 ? kNoAnswer : 0;
}

void NetDevice::Purge() {
  if (rfc2217_) SendAll(Telnet::Purge(), Clock::now() + std::chrono::seconds(1));
  // What has come and is still on its way here is dropped: a late reply of a command
  // before must never be taken for the next one's. Bounded, for a server that floods.
  for (int i = 0; i < 64 && Receive(Clock::now()); ++i) {
  }
  data_.clear();
}

void NetDevice::Write(std::string_view bytes) {
  written_at_ = Clock::now();
  written_ = bytes.size();
  SendAll(rfc2217_ ? Telnet::Escape(bytes) : std::string(bytes),
          written_at_ + std::chrono::seconds(1));
}

void NetDevice::Drain() {
  window_opens_ = std::max(
      Clock::now(), written_at_ + RoundTrip() / 2 + char_time_ * static_cast<long>(written_));
}

std::size_t NetDevice::Read(char* buf, std::size_t count) {
  const Time deadline = std::max(Clock::now(), window_opens_) + timeout_ + RoundTrip() / 2;
  window_opens_ = {};
  while (data_.size() < count && !lost_ && Receive(deadline)) {
  }
  const std::size_t n = std::min(count, data_.size());
  std::copy_n(data_.begin(), n, buf);
  data_.erase(0, n);
  return n;
}

}  // namespace netport
