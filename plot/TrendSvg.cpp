#include "TrendSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace plot {
namespace {

constexpr double kWidth = 960, kLeft = 72, kRight = 24, kTop = 48, kPanel = 200, kGap = 56;

struct Panel {
  const char* title;
  const char* colour;
  std::function<std::optional<double>(const Sample&)> value, set_point;
};

std::string Num(double v, int decimals = 1) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

// A step of 1, 2 or 5 times a power of ten that cuts the range into about five.
double NiceStep(double range) {
  double raw = range / 5, power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// "HH:MM:SS", "HH:MM", "MM-DD HH:MM" or, with the year, "YYYY-MM-DD HH:MM:SS" of a
// local time in seconds since 1970.
std::string Clock(std::int64_t local, bool seconds, bool date, bool year = false) {
  std::int64_t day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  std::int64_t s = local - day * 86400;
  char buf[48];
  if (date) {
    // The civil date of `day` (days since 1970-01-01).
    std::int64_t z = day + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    unsigned d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    long y = static_cast<long>(yoe) + static_cast<long>(era) * 400 + (m <= 2);
    if (year) {
      std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u %02d:%02d:%02d", y, m, d,
                    static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                    static_cast<int>(s % 60));
    } else {
      std::snprintf(buf, sizeof buf, "%02u-%02u %02d:%02d", m, d, static_cast<int>(s / 3600),
                    static_cast<int>(s / 60 % 60));
    }
  } else if (seconds) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  } else {
    std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60));
  }
  return buf;
}

// The polylines of one series: a line per run of samples that have a value.
void Series(std::string& out, const std::vector<Sample>& samples,
            const std::function<std::optional<double>(const Sample&)>& get,
            const std::function<double(std::int64_t)>& x, const std::function<double(double)>& y,
            const std::string& cls, const char* colour, bool dashed) {
  std::string points;
  int count = 0;
  auto close = [&] {
    if (count == 0) return;
    out += "<polyline class=\"" + cls + "\" fill=\"none\" stroke=\"" + colour +
           "\" stroke-width=\"" + (dashed ? "1.5\" stroke-dasharray=\"6 4\"" : "2\"") +
           " points=\"" + points + "\"/>\n";
    if (count == 1 && !dashed) {  // a lone reading between gaps: a dot, so that it shows
      std::size_t comma = points.find(',');
      out += "<circle cx=\"" + points.substr(0, comma) + "\" cy=\"" + points.substr(comma + 1) +
             "\" r=\"2.5\" fill=\"" + colour + "\"/>\n";
    }
    points.clear();
    count = 0;
  };
  for (const Sample& s : samples) {
    std::optional<double> v = get(s);
    if (!v) {
      close();
      continue;
    }
    if (count > 0) points += ' ';
    points += Num(x(s.utc)) + "," + Num(y(*v));
    ++count;
  }
  close();
}

}  // namespace

std::string TrendSvg(const TrendLog& log) {
  const auto& samples = log.samples;
  const Panel panels[] = {
      {"Temperature (\u00b0C)", "#c0392b", [](const Sample& s) { return s.temp; },
       [](const Sample& s) { return s.temp_set; }},
      {"Humidity (%)", "#2471a3", [](const Sample& s) { return s.humidity; },
       [](const Sample& s) { return s.humidity_set; }},
      {"CO2 (%)", "#1e8449", [](const Sample& s) { return s.co2; },
       [](const Sample& s) { return s.co2_set; }},
  };
  std::int64_t t0 = samples.front().utc, t1 = samples.back().utc;
  for (const Sample& s : samples) {
    t0 = std::min(t0, s.utc);
    t1 = std::max(t1, s.utc);
  }
  if (t1 == t0) t1 = t0 + 60;
  const int offset = samples.front().utc_offset_minutes * 60;
  const double plot_w = kWidth - kLeft - kRight;
  auto x = [&](std::int64_t t) {
    return kLeft + plot_w * static_cast<double>(t - t0) / static_cast<double>(t1 - t0);
  };
  const double height = kTop + 3 * (kPanel + kGap);

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      Num(kWidth, 0) + "\" height=\"" + Num(height, 0) + "\" viewBox=\"0 0 " + Num(kWidth, 0) +
      " " + Num(height, 0) +
      "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out +=
      "<text x=\"" + Num(kLeft, 0) + "\" y=\"24\" font-size=\"16\">" +
      Escape("climon trend, COM" + std::to_string(log.port) + ": " +
             Clock(t0 + offset, true, true, true) + " to " + Clock(t1 + offset, true, true, true) +
             ", " + std::to_string(samples.size()) + " passes") +
      "</text>\n";

  // Time ticks: the smallest step that gives at most eight of them, on round local times.
  static constexpr std::int64_t kSteps[] = {1,     2,     5,     10,    15,     30,    60,
                                            120,   300,   600,   900,   1800,   3600,  7200,
                                            10800, 21600, 43200, 86400, 172800, 604800};
  std::int64_t step = kSteps[std::size(kSteps) - 1];
  for (std::int64_t s : kSteps) {
    if ((t1 - t0) / s <= 8) {
      step = s;
      break;
    }
  }
  const bool show_seconds = step < 60, show_date = t1 - t0 >= 86400;

  for (int p = 0; p < 3; ++p) {
    const Panel& panel = panels[p];
    const double top = kTop + p * (kPanel + kGap), bottom = top + kPanel;
    double lo = 0, hi = 0;
    bool any = false;
    for (const Sample& s : samples) {
      for (auto v : {panel.value(s), panel.set_point(s)}) {
        if (!v) continue;
        lo = any ? std::min(lo, *v) : *v;
        hi = any ? std::max(hi, *v) : *v;
        any = true;
      }
    }
    if (!any) hi = 1;
    if (hi - lo < 1e-9) {
      lo -= 1;
      hi += 1;
    }
    double pad = (hi - lo) * 0.08;
    lo -= pad;
    hi += pad;
    double ystep = NiceStep(hi - lo);
    auto y = [&](double v) { return bottom - kPanel * (v - lo) / (hi - lo); };

    out += "<g class=\"panel\">\n<text x=\"" + Num(kLeft, 0) + "\" y=\"" + Num(top - 8, 0) +
           "\" font-weight=\"bold\">" + Escape(panel.title) + "</text>\n<text x=\"" +
           Num(kWidth - kRight, 0) + "\" y=\"" + Num(top - 8, 0) +
           "\" text-anchor=\"end\" fill=\"#555\">solid: reading, dashed: set point" +
           (any ? "" : "; no readings") + "</text>\n";
    out += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(top) + "\" width=\"" + Num(plot_w) +
           "\" height=\"" + Num(kPanel) + "\" fill=\"none\" stroke=\"#999\"/>\n";
    int decimals = ystep >= 1 ? 0 : ystep >= 0.1 ? 1 : ystep >= 0.01 ? 2 : 3;
    for (double v = std::ceil(lo / ystep) * ystep; v <= hi; v += ystep) {
      out += "<line x1=\"" + Num(kLeft) + "\" x2=\"" + Num(kLeft + plot_w) + "\" y1=\"" +
             Num(y(v)) + "\" y2=\"" + Num(y(v)) + "\" stroke=\"#eee\"/>\n<text x=\"" +
             Num(kLeft - 6) + "\" y=\"" + Num(y(v) + 4) + "\" text-anchor=\"end\">" +
             Num(std::fabs(v) < ystep / 2 ? 0.0 : v, decimals) + "</text>\n";
    }
    std::int64_t first = ((t0 + offset + step - 1) / step) * step - offset;
    for (std::int64_t t = first; t <= t1; t += step) {
      out += "<line x1=\"" + Num(x(t)) + "\" x2=\"" + Num(x(t)) + "\" y1=\"" + Num(top) +
             "\" y2=\"" + Num(bottom) + "\" stroke=\"#eee\"/>\n<text x=\"" + Num(x(t)) + "\" y=\"" +
             Num(bottom + 16) + "\" text-anchor=\"middle\">" +
             Clock(t + offset, show_seconds, show_date) + "</text>\n";
    }
    Series(out, samples, panel.set_point, x, y, "setpoint", panel.colour, true);
    Series(out, samples, panel.value, x, y, "value", panel.colour, false);
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

}  // namespace plot
