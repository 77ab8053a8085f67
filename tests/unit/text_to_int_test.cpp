#include <gtest/gtest.h>

#include "PLC_Lib3/TextToInt.h"

namespace {

using PLC_Lib3::TextToInt;

TEST(TextToInt, Table) {
  struct Case {
    const char* text;
    std::int32_t value;
    int failure;
  } cases[] = {
      {"", 0, 1},
      {"0", 0, 0},
      {"00123", 123, 0},
      {"  42", 42, 0},
      {"+7", 7, 0},
      {"-5", -5, 0},
      {"-5 ", 5, 3},
      {"12a", 12, 3},
      {"3a", 3, 2},
      {"Q", 0, 1},
      {"E1", 0, 1},
      {" ", 0, 2},
      {"-", 0, 2},
      {"1 2", 1, 2},
      {"2147483647", 2147483647, 0},
      {"-2147483648", -2147483647 - 1, 0},
      {"2147483648", 214748364, 10},
      {"-2147483649", 214748364, 11},
      {"99999999999", 999999999, 10},
      {"$10", 16, 0},
      {"x1F", 31, 0},
      {"X1f", 31, 0},
      {"0x10", 16, 0},
      {"0X10", 16, 0},
      {"-$10", 16, 0},
      {"$FFFFFFFF", -1, 0},
      {"$80000000", -2147483647 - 1, 0},
      {"$100000000", 0x10000000, 10},
      {"$", 0, 2},
      {"$G", 0, 2},
      {"$1G", 1, 3},
      {"0x", 0, 3},  // the hexadecimal form needs a digit
      {"0", 0, 0},
      {"1,00042,00100", 1, 2},
  };
  for (const auto& c : cases) {
    auto r = TextToInt(c.text);
    EXPECT_EQ(r.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(r.failure, c.failure) << '"' << c.text << '"';
  }
}

}  // namespace
