// The console seam: the classic text-mode operations on a Screen model, plus the key
// input and the flush that a real terminal or a test supplies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/Format.h"
#include "console/Screen.h"
#include "console/ShortString.h"

namespace console {

// Items of a write statement besides text.
struct Char {
  std::uint8_t code;
};
struct Int {
  std::int64_t value;
  int width = 0;
};
struct UInt {
  std::uint64_t value;
  int width = 0;
};
struct Real {
  long double value;
  int width;
  int decimals;
};

class Console {
 public:
  Console(int cols, int rows) : screen_(cols, rows) {}
  virtual ~Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void GotoXY(int x, int y) { screen_.GotoXY(x, y); }
  int WhereX() const { return screen_.WhereX(); }
  int WhereY() const { return screen_.WhereY(); }
  void Window(int x1, int y1, int x2, int y2) { screen_.Window(x1, y1, x2, y2); }
  void ClrScr() {
    screen_.ClrScr();
    Flush();
  }
  void TextColor(int colour) { screen_.TextColor(colour); }
  void TextBackground(int colour) { screen_.TextBackground(colour); }
  void NormVideo() { screen_.NormVideo(); }
  std::uint16_t WindowLowerRight() const { return screen_.WindowLowerRight(); }

  // One write statement: the items in order at the cursor, then a flush.
  template <typename... Items>
  void Write(const Items&... items) {
    (Put(items), ...);
    Flush();
  }

  // True while a key waits; consumes nothing.
  virtual bool KeyPressed() = 0;
  // Waits for a key; an extended key gives 0, then its scan code on the next call.
  virtual std::uint8_t ReadKey() = 0;
  // True while the ESC key (or a service's stop request) waits among the typed keys;
  // consumes nothing, so the key still reaches the poll that acts on it.
  virtual bool StopPending() { return false; }
  // From now on a request to end the program from outside (a signal, Ctrl-C, a closed
  // console window) is the ESC key, so that the run ends as ESC ends it and records its
  // end. Until then such a request ends the program at once.
  virtual void TakeStopRequests() {}
  // What asked the program to stop from outside ("SIGTERM", "service stop"), for the
  // record; empty when nothing did.
  virtual std::string StopRequestedBy() const { return {}; }
  // Shows what the screen model holds now.
  virtual void Flush() = 0;
  // Rings the terminal's bell (an alarm); nothing where no one hears it.
  virtual void Bell() {}
  // Gives the console back as it was found (modes, colours, cursor). Safe to call more
  // than once; every way out of the program calls it.
  virtual void Restore() = 0;

  Screen& screen() { return screen_; }
  const Screen& screen() const { return screen_; }

 private:
  void Put(std::string_view s) { screen_.Put(s); }
  void Put(const char* s) { screen_.Put(std::string_view(s)); }
  void Put(const ShortString& s) { screen_.Put(s.view()); }
  void Put(Char c) { screen_.Put(c.code); }
  void Put(Int i) { screen_.Put(FormatInt(i.value, i.width)); }
  void Put(UInt i) { screen_.Put(FormatUInt(i.value, i.width)); }
  void Put(Real r) { screen_.Put(FormatReal(r.value, r.width, r.decimals)); }

  Screen screen_;
};

}  // namespace console
