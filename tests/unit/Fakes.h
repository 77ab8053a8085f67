// Test doubles for the three seams: an in-memory console with scripted keys, a scripted
// serial line that records every call, and a virtual clock that advances instantly.
#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "comLib3/Clock.h"
#include "comLib3/SerialDevice.h"
#include "console/Console.h"
#include "console/KeyCodes.h"
#include "console/TerminalKeys.h"

namespace fakes {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

class VirtualClock : public comLib3::Clock {
 public:
  Duration Now() override { return now_; }
  void SleepUntil(Duration deadline) override {
    if (deadline > now_) now_ = deadline;
  }
  // The day starts at 08:00:00 local time, one hour ahead of UTC, when the clock does.
  comLib3::WallTime Wall() override {
    long s = 8 * 3600 +
             static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now_).count());
    return {2026,
            12,
            9,
            static_cast<int>(s / 3600 % 24),
            static_cast<int>(s / 60 % 60),
            static_cast<int>(s % 60),
            60,
            static_cast<int>(std::chrono::duration_cast<Ms>(now_).count() % 1000)};
  }
  void Advance(Duration d) { now_ += d; }
  Ms NowMs() const { return std::chrono::duration_cast<Ms>(now_); }

 private:
  Duration now_{};
};

// Keys become available at a virtual time; ReadKey with none ready waits (advancing the
// clock) for the next, and fails the test when the script is exhausted.
class FakeConsole : public console::Console {
 public:
  FakeConsole(int cols = 80, int rows = 25, VirtualClock* clock = nullptr)
      : Console(cols, rows), clock_(clock) {}

  void Type(std::string_view keys, Ms at = Ms(0)) {
    for (char c : keys) keys_.push_back({at, static_cast<std::uint8_t>(c)});
  }
  void TypeCode(std::uint8_t code, Ms at = Ms(0)) { keys_.push_back({at, code}); }
  std::size_t PendingKeys() const { return keys_.size(); }

  bool KeyPressed() override { return !keys_.empty() && Due(keys_.front().at); }
  bool StopPending() override {
    std::vector<std::uint8_t> due;
    for (const Key& k : keys_) {
      if (Due(k.at)) due.push_back(k.code);
    }
    return console::HoldsEscKey(due);
  }
  std::uint8_t ReadKey() override {
    if (keys_.empty()) throw std::runtime_error("ReadKey: no more scripted keys");
    if (clock_ != nullptr && !Due(keys_.front().at)) {
      clock_->Advance(keys_.front().at - clock_->NowMs());
    }
    std::uint8_t k = keys_.front().code;
    keys_.pop_front();
    ++reads;
    if (keep_snapshots) snapshots.push_back(screen());
    return k;
  }
  void Flush() override {}
  void Restore() override { ++restores; }
  void Bell() override { ++bells; }

  std::string Row(int y) const { return screen().RowText(y); }
  // Columns x1..x2 of a screen row.
  std::string Text(int x1, int y, int len) const { return Row(y).substr(x1 - 1, len); }
  console::Cell CellAt(int x, int y) const { return screen().At(x, y); }

  int reads = 0, restores = 0, bells = 0;
  // The screen as it stood at each ReadKey, for looking inside a loop that runs to ESC.
  bool keep_snapshots = false;
  std::vector<console::Screen> snapshots;

 private:
  struct Key {
    Ms at;
    std::uint8_t code;
  };
  bool Due(Ms at) const { return clock_ == nullptr || clock_->NowMs() >= at; }
  VirtualClock* clock_;
  std::deque<Key> keys_;
};

// A terminal's bytes, sent in bursts at virtual times, through the real key decoder: for
// how a lone ESC meets the polls, flushes and waits.
class ByteConsole : public console::Console, private console::TerminalKeys::Source {
 public:
  explicit ByteConsole(VirtualClock& clock) : Console(80, 25), clock_(clock) {}
  void Send(std::string bytes, Ms at) { bursts_.push_back({at, std::move(bytes)}); }

  bool KeyPressed() override { return keys_.KeyPressed(); }
  std::uint8_t ReadKey() override { return keys_.ReadKey(); }
  bool StopPending() override { return keys_.StopPending(); }
  void Flush() override {}
  void Restore() override {}

 private:
  struct Burst {
    Ms at;
    std::string bytes;
  };
  TimePoint Now() override { return TimePoint(clock_.Now()); }
  // Every burst that has come, each with its own time, however late it is taken.
  bool Read(std::vector<Chunk>& chunks, TimePoint until) override {
    if (bursts_.empty() && until == TimePoint::max()) return false;  // nothing more comes
    if (!bursts_.empty() && TimePoint(bursts_.front().at) <= std::max(until, Now())) {
      if (TimePoint(bursts_.front().at) > Now()) clock_.SleepUntil(bursts_.front().at);
      while (!bursts_.empty() && TimePoint(bursts_.front().at) <= Now()) {
        chunks.push_back({TimePoint(bursts_.front().at), bursts_.front().bytes});
        bursts_.pop_front();
      }
    } else if (until > Now()) {
      clock_.SleepUntil(until.time_since_epoch());
    }
    return true;
  }
  VirtualClock& clock_;
  std::deque<Burst> bursts_;
  console::TerminalKeys keys_{*this};
};

// One call on the line, as a test sees it.
struct LineEvent {
  enum Kind { kConfigure, kTimeout, kPurge, kWrite, kDrain, kRead } kind;
  std::string data;  // written bytes, or the bytes a read returned
  Ms at;
};

// A serial line whose controller is a function from the command (without its CR) to the
// bytes it answers, `lateness` after the command (none: at once). What has arrived is
// dropped by a purge, what is still on its way is not; a read takes what arrives within
// its window up to its count and, short of it, returns when its window has passed.
class ScriptedLine : public comLib3::SerialDevice {
 public:
  using Responder = std::function<std::string(const std::string& command)>;
  ScriptedLine(VirtualClock& clock, Responder responder)
      : clock_(clock), responder_(std::move(responder)) {}

  int Configure(unsigned b, int bits, comLib3::Parity p, int stops) override {
    baud = b;
    data_bits = bits;
    parity = p;
    stop_bits = stops;
    Note(LineEvent::kConfigure, "");
    return 0;
  }
  void SetReadTimeout(Ms total) override {
    timeout = total;
    Note(LineEvent::kTimeout, std::to_string(total.count()));
  }
  void Purge() override {
    std::erase_if(waiting_, [this](const Arrival& a) { return a.at <= clock_.NowMs(); });
    Note(LineEvent::kPurge, "");
  }
  void Write(std::string_view bytes) override {
    if (lost) return;
    Note(LineEvent::kWrite, std::string(bytes));
    std::string cmd(bytes);
    if (!cmd.empty() && cmd.back() == '\r') cmd.pop_back();
    if (responder_) {
      std::string reply = responder_(cmd);
      Ms at = clock_.NowMs() + (lateness ? lateness(cmd) : Ms(0));
      // In the order of arrival: a late reply comes after an earlier one sent later.
      auto pos = std::upper_bound(waiting_.begin(), waiting_.end(), at,
                                  [](Ms t, const Arrival& a) { return t < a.at; });
      for (char c : reply) pos = std::next(waiting_.insert(pos, {at, c}));
    }
  }
  void Drain() override {
    if (!lost) Note(LineEvent::kDrain, "");
  }
  std::size_t Read(char* buf, std::size_t count) override {
    if (lost) return 0;  // at once, as a pulled adapter does
    Ms began = clock_.NowMs();
    std::string got;
    Ms last = began;
    while (got.size() < count && !waiting_.empty() && waiting_.front().at <= began + timeout) {
      last = std::max(last, waiting_.front().at);
      got += waiting_.front().byte;
      waiting_.pop_front();
    }
    got.copy(buf, got.size());
    if (got.size() < count) {
      clock_.Advance(timeout);
    } else {
      clock_.SleepUntil(last);
    }
    events.push_back({LineEvent::kRead, got, began});
    return got.size();
  }
  bool Lost() const override { return lost; }

  // The commands written, without their CR.
  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.kind == LineEvent::kWrite) out.push_back(e.data.substr(0, e.data.size() - 1));
    }
    return out;
  }
  int Count(LineEvent::Kind k) const {
    int n = 0;
    for (const auto& e : events) n += e.kind == k;
    return n;
  }
  void Forget() { events.clear(); }

  std::vector<LineEvent> events;
  std::function<Ms(const std::string& command)> lateness;
  Ms timeout{0};
  bool lost = false;  // the device has gone away
  unsigned baud = 0;
  int data_bits = 0;
  comLib3::Parity parity = comLib3::Parity::kNone;
  int stop_bits = 0;

 private:
  void Note(LineEvent::Kind k, std::string data) {
    events.push_back({k, std::move(data), clock_.NowMs()});
  }
  struct Arrival {
    Ms at;
    char byte;
  };
  VirtualClock& clock_;
  Responder responder_;
  std::deque<Arrival> waiting_;
};

// Each call answers with the next scripted reply; past the end, silence.
inline ScriptedLine::Responder Replies(std::vector<std::string> replies) {
  auto queue = std::make_shared<std::deque<std::string>>(replies.begin(), replies.end());
  return [queue](const std::string&) {
    if (queue->empty()) return std::string();
    std::string r = queue->front();
    queue->pop_front();
    return r;
  };
}

// Hands out one ScriptedLine per open; the lines outlive the port table's devices, so a
// test can read them after the program closed its port.
class FakePorts : public comLib3::SerialPorts {
 public:
  FakePorts(VirtualClock& clock, ScriptedLine::Responder responder)
      : clock_(clock), responder_(std::move(responder)) {}
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override {
    opened.push_back(port);
    if (fail_error != 0) {
      error = fail_error;
      return nullptr;
    }
    lines_.push_back(std::make_unique<ScriptedLine>(clock_, responder_));
    last = lines_.back().get();
    error = 0;
    return std::make_unique<Handle>(*last, closed);
  }
  ScriptedLine* last = nullptr;
  int fail_error = 0;
  int closed = 0;
  std::vector<int> opened;

 private:
  class Handle : public comLib3::SerialDevice {
   public:
    Handle(ScriptedLine& line, int& closed) : line_(line), closed_(closed) {}
    ~Handle() override { ++closed_; }
    int Configure(unsigned b, int bits, comLib3::Parity p, int stops) override {
      return line_.Configure(b, bits, p, stops);
    }
    void SetReadTimeout(Ms total) override { line_.SetReadTimeout(total); }
    void Purge() override { line_.Purge(); }
    void Write(std::string_view bytes) override { line_.Write(bytes); }
    void Drain() override { line_.Drain(); }
    std::size_t Read(char* buf, std::size_t count) override { return line_.Read(buf, count); }
    bool Lost() const override { return line_.Lost(); }

   private:
    ScriptedLine& line_;
    int& closed_;
  };
  VirtualClock& clock_;
  ScriptedLine::Responder responder_;
  std::vector<std::unique_ptr<ScriptedLine>> lines_;
};

}  // namespace fakes
