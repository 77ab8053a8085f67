#include "console/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace console {
namespace {

std::string PadLeft(std::string text, int width) {
  if (width > 0 && static_cast<int>(text.size()) < width) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  }
  return text;
}

// Decimal digits of m (m >= 0, finite) as integer part and fraction, exact to 18
// significant digits but never more than 17 decimals.
void DecimalDigits(long double m, std::string& int_part, std::string& frac) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.17Le", m);
  int exponent = 0;
  const char* e = std::strchr(buf, 'e');
  if (e != nullptr) exponent = std::atoi(e + 1);
  if (m != 0 && exponent >= 0) {
    // 18 significant digits: d.ddddddddddddddddd e+X
    std::string digits;
    for (const char* p = buf; p != e; ++p) {
      if (*p >= '0' && *p <= '9') digits += *p;
    }
    std::size_t int_len = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() < int_len) digits.append(int_len - digits.size(), '0');
    int_part = digits.substr(0, int_len);
    frac = digits.substr(int_len);
  } else {
    // Below 1 the 17-decimal cap holds before the 18 significant digits do.
    std::snprintf(buf, sizeof buf, "%.17Lf", m);
    std::string s(buf);
    std::size_t dot = s.find('.');
    int_part = s.substr(0, dot);
    frac = s.substr(dot + 1);
  }
}

}  // namespace

std::string FormatInt(std::int64_t value, int width) {
  return PadLeft(std::to_string(value), width);
}

std::string FormatUInt(std::uint64_t value, int width) {
  return PadLeft(std::to_string(value), width);
}

std::string FormatReal(long double value, int width, int decimals) {
  if (decimals < 1) decimals = 1;
  bool negative = value < 0;
  long double m = std::fabs(value);
  if (!std::isfinite(m)) return PadLeft(negative ? "-INF" : (std::isnan(m) ? "NAN" : "INF"), width);

  std::string int_part, frac;
  DecimalDigits(m, int_part, frac);
  std::size_t d = static_cast<std::size_t>(decimals);
  bool round_up = frac.size() > d && frac[d] >= '5';
  if (frac.size() < d) frac.append(d - frac.size(), '0');
  frac.resize(d);

  if (round_up) {
    std::string all = int_part + frac;
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[static_cast<std::size_t>(i)] == '9')
      all[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) {
      ++all[static_cast<std::size_t>(i)];
    } else {
      all.insert(0, 1, '1');
    }
    int_part = all.substr(0, all.size() - d);
    frac = all.substr(all.size() - d);
  }
  std::size_t nz = int_part.find_first_not_of('0');
  int_part = nz == std::string::npos ? "0" : int_part.substr(nz);

  std::string text = (negative ? "-" : "") + int_part + "." + frac;
  return PadLeft(text, width);
}

}  // namespace console
