#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/Console.h"
#include "console/KeyDecoder.h"
#include "console/KeyRecordMap.h"

namespace {

using namespace std::chrono_literals;
using console::KeyDecoder;
using T = KeyDecoder::TimePoint;

std::vector<int> Drain(KeyDecoder& d, T now) {
  std::vector<int> out;
  while (auto k = d.Next(now)) out.push_back(*k);
  return out;
}

std::vector<int> Decode(const std::string& bytes) {
  KeyDecoder d;
  T t{};
  for (unsigned char b : bytes) d.Feed(b, t);
  return Drain(d, t + 100ms);
}

TEST(KeyDecoder, SequencesGiveExtendedKeys) {
  struct Case {
    const char* bytes;
    std::vector<int> keys;
  } cases[] = {
      {"\x1b[A", {0, 72}},
      {"\x1b[B", {0, 80}},
      {"\x1b[C", {0, 77}},
      {"\x1b[D", {0, 75}},
      {"\x1bOA", {0, 72}},
      {"\x1bOD", {0, 75}},
      {"\x1b[H", {0, 71}},
      {"\x1b[F", {0, 79}},
      {"\x1bOH", {0, 71}},
      {"\x1b[1~", {0, 71}},
      {"\x1b[4~", {0, 79}},
      {"\x1b[2~", {0, 82}},
      {"\x1b[3~", {0, 83}},
      {"\x1b[5~", {0, 73}},
      {"\x1b[6~", {0, 81}},
      {"\x1bOP", {0, 59}},
      {"\x1bOS", {0, 62}},
      {"\x1b[11~", {0, 59}},
      {"\x1b[15~", {0, 63}},
      {"\x1b[17~", {0, 64}},
      {"\x1b[21~", {0, 68}},
      {"\x1b[23~", {0, 133}},
      {"\x1b[24~", {0, 134}},
      {"\x1b[[A", {0, 59}},
      // Modifiers of xterm's form: Ctrl+Up, Shift+F1, Ctrl+F12, Alt+Left.
      {"\x1b[1;5A", {0, 141}},
      {"\x1b[1;2P", {0, 84}},
      {"\x1b[24;5~", {0, 138}},
      {"\x1b[1;3D", {0, 155}},
      // Alt plus a letter or digit comes as ESC and the key in one burst.
      {"\x1bk", {0, 37}},
      {"\x1bK", {0, 37}},
      {"\x1b"
       "1",
       {0, 120}},
      {"\x1b"
       "0",
       {0, 129}},
      {"\x1b=", {0, 131}},
      // Alt with every other printable key too, shifted or not, as the PC keyboard has it.
      {"\x1b,", {0, 51}},
      {"\x1b<", {0, 51}},
      {"\x1b/", {0, 53}},
      {"\x1b]", {0, 27}},
      {"\x1b;", {0, 39}},
      {"\x1b'", {0, 40}},
      {"\x1b`", {0, 41}},
      {"\x1b\\", {0, 43}},
      {"\x1b ", {0, 57}},
      {"\x1b!", {0, 120}},
      {"\x1b_", {0, 130}},
      {"\x1b[", {0, 26}},  // once no sequence follows
      {"\x1c", {28}},      // Ctrl-\ is a key, as in a Windows console
      // Alt with Backspace, Enter or a character beyond ASCII is that key alone, as the
      // Windows console has it: never the ESC key that would end the monitor.
      {"\x1b\x7f", {8}},
      {"\x1b\r", {13}},
      {"\x1b\xc3\xa9", {130}},  // Alt+é
      {"\x1b\x1b", {27, 27}},   // two ESC keys stay two
      // Unknown sequences are swallowed whole, never typed.
      {"\x1b[99~", {}},
      {"\x1b[<0;3;4M", {}},
      {"\x1b[?1;2c", {}},
      {"\x1bOz", {}},
      {"\x1b[Zk", {0, 15, 'k'}},  // Shift+Tab
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.keys) << testing::PrintToString(c.bytes);
}

TEST(KeyDecoder, PlainKeys) {
  EXPECT_EQ(Decode("aZ 9"), (std::vector<int>{'a', 'Z', ' ', '9'}));
  EXPECT_EQ(Decode("\r\n"), (std::vector<int>{13, 13}));
  EXPECT_EQ(Decode("\x7f\x08"), (std::vector<int>{8, 8}));
  EXPECT_EQ(Decode("\xc3\xa9"), (std::vector<int>{130}));  // é is code 130
  // No code for the euro sign: it is still a key, one that no number contains.
  EXPECT_EQ(Decode("\xe2\x82\xac!"), (std::vector<int>{'?', '!'}));
  EXPECT_EQ(Decode("\x80\xff"
                   "a"),
            (std::vector<int>{'a'}));
  // A NUL would pose as the first half of an extended key.
  EXPECT_EQ(Decode(std::string("\0b", 2)), (std::vector<int>{'b'}));
}

TEST(KeyDecoder, LoneEscWaitsForItsTimeOut) {
  KeyDecoder d;
  T t{};
  d.Feed(27, t);
  EXPECT_FALSE(d.Ready(t + 10ms));
  ASSERT_TRUE(d.Deadline().has_value());
  EXPECT_EQ(*d.Deadline(), t + KeyDecoder::kEscWait);
  EXPECT_EQ(Drain(d, t + 25ms), (std::vector<int>{27}));
  EXPECT_FALSE(d.Deadline().has_value());
}

TEST(KeyDecoder, SequenceSplitAcrossReads) {
  KeyDecoder d;
  T t{};
  d.Feed(27, t);
  EXPECT_FALSE(d.Ready(t + 5ms));
  d.Feed('[', t + 10ms);
  d.Feed('2', t + 12ms);
  EXPECT_FALSE(d.Ready(t + 20ms));
  d.Feed('4', t + 20ms);
  d.Feed('~', t + 22ms);
  EXPECT_EQ(Drain(d, t + 22ms), (std::vector<int>{0, 134}));
}

TEST(KeyDecoder, EscFollowedByAnotherEscOrAControlKey) {
  EXPECT_EQ(Decode("\x1b\x1b"), (std::vector<int>{27, 27}));
  EXPECT_EQ(Decode("\x1bO"), (std::vector<int>{0, 24}));  // Alt+O, once no sequence follows
  // A broken sequence is dropped and the control key after it counts.
  EXPECT_EQ(Decode("\x1b[1\r"), (std::vector<int>{13}));
  // An unfinished sequence that times out is swallowed.
  KeyDecoder d;
  T t{};
  d.Feed(27, t);
  d.Feed('[', t);
  d.Feed('1', t);
  EXPECT_EQ(Drain(d, t + 1s), (std::vector<int>{}));
  d.Feed('x', t + 1s);
  EXPECT_EQ(Drain(d, t + 1s), (std::vector<int>{'x'}));
}

}  // namespace

namespace {

using console::KeyRecord;
namespace win = console::win;

TEST(WindowsKeyRecords, MapToTheConsolesCodes) {
  struct Case {
    const char* name;
    KeyRecord record;
    std::vector<int> codes;
  } cases[] = {
      {"ESC with no character", {true, 0x1B, 1, 0, 0}, {27}},
      {"ESC released", {false, 0x1B, 1, 0, 0}, {}},
      {"a", {true, 'A', 30, u'a', 0}, {'a'}},
      {"e acute", {true, 0xDE, 40, u'\u00e9', 0}, {130}},
      {"euro: no code", {true, 'E', 18, u'\u20ac', win::kRightAlt | win::kLeftCtrl}, {'?'}},
      {"AltGr+Q types @", {true, 'Q', 16, u'@', win::kRightAlt | win::kLeftCtrl}, {'@'}},
      {"Ctrl+C", {true, 'C', 46, 3, win::kLeftCtrl}, {3}},
      {"Enter", {true, 0x0D, 28, 13, 0}, {13}},
      {"keypad Enter", {true, 0x0D, 28, 13, win::kEnhanced}, {13}},
      {"Backspace", {true, 0x08, 14, 8, 0}, {8}},
      {"Tab", {true, 0x09, 15, 9, 0}, {9}},
      {"Shift+Tab", {true, 0x09, 15, 9, win::kShift}, {0, 15}},
      {"Left", {true, 0x25, 75, 0, win::kEnhanced}, {0, 75}},
      {"keypad Home, Num Lock off", {true, 0x24, 71, 0, 0}, {0, 71}},
      {"Ctrl+Left", {true, 0x25, 75, 0, win::kEnhanced | win::kLeftCtrl}, {0, 115}},
      {"F1", {true, 0x70, 59, 0, 0}, {0, 59}},
      {"Shift+F1", {true, 0x70, 59, 0, win::kShift}, {0, 84}},
      {"Alt+F4", {true, 0x73, 62, 0, win::kLeftAlt}, {0, 107}},
      {"F11", {true, 0x7A, 87, 0, 0}, {0, 133}},
      {"Ctrl+F12", {true, 0x7B, 88, 0, win::kRightCtrl}, {0, 138}},
      {"Alt+K", {true, 'K', 37, u'k', win::kLeftAlt}, {0, 37}},
      {"Alt+K with no character", {true, 'K', 37, 0, win::kLeftAlt}, {0, 37}},
      {"Alt+1", {true, '1', 2, u'1', win::kRightAlt}, {0, 120}},
      {"Alt+=", {true, win::kVkOemPlus, 13, u'=', win::kLeftAlt}, {0, 131}},
      {"Shift alone", {true, 0x10, 42, 0, win::kShift}, {}},
      {"Alt alone", {true, 0x12, 56, 0, win::kLeftAlt}, {}},
      {"x held: three repeats", {true, 'X', 45, u'x', 0, 3}, {'x', 'x', 'x'}},
  };
  for (const auto& c : cases) {
    auto got = console::KeyCodesFor(c.record);
    EXPECT_EQ(std::vector<int>(got.begin(), got.end()), c.codes) << c.name;
  }
}

}  // namespace
