#include <gtest/gtest.h>

#include "console/Format.h"

namespace {

using console::FormatInt;
using console::FormatReal;

TEST(FormatInt, PadsToWidthAndNeverCuts) {
  struct Case {
    long long v;
    int w;
    const char* want;
  } cases[] = {
      {1800, 7, "   1800"}, {12345678, 7, "12345678"}, {-5, 4, "  -5"},
      {0, 0, "0"},          {-42, 0, "-42"},           {7, 1, "7"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatInt(c.v, c.w), c.want) << c.v << " in " << c.w;
}

TEST(FormatReal, RoundsHalvesAwayFromZeroInAWidth) {
  struct Case {
    long double v;
    int w, d;
    const char* want;
  } cases[] = {
      {2.25L, 6, 1, "   2.3"},
      {0.04L, 6, 1, "   0.0"},
      {-0.04L, 6, 1, "  -0.0"},
      {99.96L, 6, 1, " 100.0"},
      {-2.25L, 6, 1, "  -2.3"},
      {7500.0L / 40, 6, 2, "187.50"},
      {7501.0L / 320 - 50, 6, 2, "-26.56"},
      {16000.0L / 320 - 50, 6, 2, "  0.00"},
      {500.0L / 100, 6, 3, " 5.000"},
      {1000.0L / 20 - 50, 6, 2, "  0.00"},
      {0.0L / 20 - 50, 6, 2, "-50.00"},
      {7200.0L / 3600, 6, 1, "   2.0"},
      {1800.0L * 100 / 7200, 7, 1, "   25.0"},
      {123456.789L, 5, 1, "123456.8"},  // wider than its field: written whole
      {0.005L, 4, 2, "0.01"},           // a tie in decimal rounds up
      {-0.005L, 5, 2, "-0.01"},
      {9.995L, 5, 2, "10.00"},
      {1e-20L, 4, 1, " 0.0"},
      {1.0L / 3, 8, 5, " 0.33333"},
      {2.0L / 3, 8, 5, " 0.66667"},
      {(65535.0L * 65535 + 65535) / 3600, 6, 1, "1193028.3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatReal(c.v, c.w, c.d), c.want)
        << static_cast<double>(c.v) << " " << c.w << "." << c.d;
  }
}

TEST(FormatReal, EighteenSignificantDigitsComeFirst) {
  // 0.05 is not exact in binary; rounded to 18 digits it is exactly 0.05, so the half
  // goes away from zero instead of down.
  EXPECT_EQ(FormatReal(0.05L, 3, 1), "0.1");
  // A double's 0.15 lies below the half even at 18 digits.
  EXPECT_EQ(FormatReal(static_cast<long double>(0.15), 3, 1), "0.1");
  EXPECT_EQ(FormatReal(1.45L, 3, 1), "1.5");
}

}  // namespace
