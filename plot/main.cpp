// climon-plot: the trend chart of a climon value log, as an SVG file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "TrendLog.h"
#include "TrendSvg.h"

namespace {

const char* kUsage =
    "usage: climon-plot LOG.csv -o TREND.svg\n"
    "Draws the temperature, humidity and CO2 of a climon value log (climon --log) over\n"
    "time, each with its set point, as one self-contained SVG file. See climon-plot(1).\n";

int Refuse(const std::string& why) {
  std::fprintf(stderr, "climon-plot: %s\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string in, out;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (a.starts_with("-") && a != "-") {
      return Refuse("unknown option " + a + "\n" + kUsage);
    } else if (in.empty()) {
      in = a;
    } else {
      return Refuse("one log at a time: " + a + "\n" + kUsage);
    }
  }
  if (in.empty() || out.empty()) return Refuse(std::string("a log and -o are needed\n") + kUsage);
  std::ifstream f(in, std::ios::binary);
  if (!f) return Refuse("cannot read " + in + ": " + std::strerror(errno));
  std::stringstream text;
  text << f.rdbuf();
  plot::ReadResult r = plot::ReadTrendLog(text.str());
  if (!r.error.empty()) return Refuse(in + ": " + r.error);
  std::ofstream o(out, std::ios::binary);
  o << plot::TrendSvg(r.log);
  o.close();
  if (!o) return Refuse("cannot write " + out + ": " + std::strerror(errno));
  return 0;
}
