#include "TrendSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "logformat/LogFormat.h"
#include "markup/Markup.h"

namespace plot {
namespace {

constexpr double kLeft = 72, kRight = 24, kTop = 48, kPanel = 200, kGap = 56, kBand = 28;
constexpr double kWidth = kLeft + kPlotColumns + kRight;
// However the range falls, no axis gets more ticks than this.
constexpr int kMaxTicks = 24;

struct Panel {
  const char* title;
  const char* colour;
  Series value, set_point;
};
constexpr Panel kPanels[] = {
    {"Temperature (\u00b0C)", "#c0392b", kTemp, kTempSet},
    {"Humidity (%)", "#2471a3", kHumidity, kHumiditySet},
    {"CO2 (%)", "#1e8449", kCo2, kCo2Set},
};

std::string Num(double v, int decimals = 1) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A step of 1, 2 or 5 times a power of ten that cuts the range into about five.
double NiceStep(double range) {
  double raw = range / 5, power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// A time tick: where it stands (ms, UTC) and its label.
struct Tick {
  std::int64_t t;
  std::string label;
};

// Ticks on round local times that suit the range: seconds or minutes for minutes, hours
// for a day, days for a month, months for a year, years beyond.
std::vector<Tick> TimeTicks(std::int64_t t0, std::int64_t t1, int offset_minutes) {
  constexpr std::int64_t kS = 1000, kMin = 60 * kS, kH = 60 * kMin, kDay = 24 * kH;
  static constexpr std::int64_t kSteps[] = {
      kS,       2 * kS,   5 * kS,    10 * kS,   15 * kS,   30 * kS,  kMin,
      2 * kMin, 5 * kMin, 10 * kMin, 15 * kMin, 30 * kMin, kH,       2 * kH,
      3 * kH,   6 * kH,   12 * kH,   kDay,      2 * kDay,  7 * kDay, 14 * kDay};
  const std::int64_t off = std::int64_t{offset_minutes} * kMin, span = t1 - t0;
  std::vector<Tick> ticks;
  auto label = [&](std::int64_t t, std::int64_t step) {
    logformat::LocalTime l = logformat::FromUtcMs(t, offset_minutes);
    std::string date = logformat::FormatDate(l.year, l.month, l.day).substr(5);  // MM-DD
    if (step >= kDay) return date;
    std::string clock = logformat::FormatClock(l.hour, l.minute, l.second);
    if (step >= kMin) clock.resize(5);  // hh:mm
    return span >= kDay ? date + " " + clock : clock;
  };
  for (std::int64_t step : kSteps) {
    if (span / step > 8) continue;
    std::int64_t local0 = t0 + off;
    std::int64_t first = (local0 >= 0 ? (local0 + step - 1) / step : local0 / step) * step - off;
    for (int i = 0; i < kMaxTicks; ++i) {
      std::int64_t t = first + i * step;
      if (t > t1) break;
      ticks.push_back({t, label(t, step)});
    }
    return ticks;
  }
  // Months (1, 2, 3 or 6) or years (1, 2, 5, 10 ...), counted on the local calendar.
  logformat::LocalTime a = logformat::FromUtcMs(t0, offset_minutes);
  logformat::LocalTime b = logformat::FromUtcMs(t1, offset_minutes);
  std::int64_t months = (std::int64_t{b.year} - a.year) * 12 + (b.month - a.month) + 1;
  std::int64_t step = 1;
  for (std::int64_t s : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000}) {
    step = s;
    if (months / s <= 8) break;
  }
  std::int64_t m = std::int64_t{a.year} * 12 + (a.month - 1);
  m = (m / step + 1) * step;
  for (int i = 0; i < kMaxTicks; ++i, m += step) {
    std::int64_t y = m / 12;
    unsigned mo = static_cast<unsigned>(m % 12 + 1);
    std::int64_t t = logformat::DaysFromCivil(y, mo, 1) * kDay - off;
    if (t > t1) break;
    ticks.push_back({t, logformat::FormatDate(static_cast<int>(y), static_cast<int>(mo), 1)
                            .substr(0, step >= 12 ? 4 : 7)});
  }
  return ticks;
}

std::string Stamp(std::int64_t t, int offset_minutes) {
  logformat::LocalTime l = logformat::FromUtcMs(t, offset_minutes);
  return logformat::FormatDate(l.year, l.month, l.day) + " " +
         logformat::FormatClock(l.hour, l.minute, l.second);
}

// Writes SVG elements, one a line: a name and its attributes in order, then text or
// nothing; the text is escaped.
// SVG as the chart writes it: an element a line.
class Svg {
 public:
  using Attrs = markup::Attrs;
  void Open(const char* name, Attrs attrs) { w_.Open(name, attrs).Line(); }
  void Close(const char* name) { w_.Close(name).Line(); }
  void Empty(const char* name, Attrs attrs) { w_.Empty(name, attrs).Line(); }
  void Text(Attrs attrs, std::string_view text) { w_.Element("text", attrs, text).Line(); }
  std::string Take() { return w_.Take(); }

 private:
  markup::Writer w_{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"};
};

// Where things stand on the picture.
struct Frame {
  std::int64_t t0, t1;
  double X(std::int64_t t) const {
    return kLeft + kPlotColumns * (static_cast<double>(t - t0) / static_cast<double>(t1 - t0));
  }
};

// The value range of a panel's lines, padded; (0, 1) less the padding when there are none.
struct Range {
  double lo = 0, hi = 0;
  bool any = false;
};
Range PanelRange(const Chart& c, const Panel& panel) {
  Range r;
  for (Series s : {panel.value, panel.set_point}) {
    for (const auto& line : c.lines[s]) {
      for (const Point& q : line) {
        r.lo = r.any ? std::min(r.lo, q.v) : q.v;
        r.hi = r.any ? std::max(r.hi, q.v) : q.v;
        r.any = true;
      }
    }
  }
  if (!r.any) r.hi = 1;
  if (r.hi - r.lo < 1e-9 * std::max(1.0, std::fabs(r.hi))) {
    r.lo -= 1;
    r.hi += 1;
  }
  double pad = (r.hi - r.lo) * 0.08;
  r.lo -= pad;
  r.hi += pad;
  return r;
}

void DrawPanel(Svg& svg, const Chart& c, const Frame& f, const std::vector<Tick>& ticks, int p) {
  const Panel& panel = kPanels[p];
  const double top = kTop + p * (kPanel + kGap), bottom = top + kPanel;
  const Range r = PanelRange(c, panel);
  auto y = [&](double v) { return bottom - kPanel * (v - r.lo) / (r.hi - r.lo); };

  svg.Open("g", {{"class", "panel"}});
  svg.Text({{"x", Num(kLeft, 0)}, {"y", Num(top - 8, 0)}, {"font-weight", "bold"}}, panel.title);
  svg.Text({{"x", Num(kWidth - kRight, 0)},
            {"y", Num(top - 8, 0)},
            {"text-anchor", "end"},
            {"fill", "#555"}},
           std::string("solid: reading, dashed: set point") + (r.any ? "" : "; no readings"));
  svg.Empty("rect", {{"x", Num(kLeft)},
                     {"y", Num(top)},
                     {"width", Num(kPlotColumns)},
                     {"height", Num(kPanel)},
                     {"fill", "none"},
                     {"stroke", "#999"}});
  // Value ticks counted by an index, so that a step below the values' spacing cannot
  // keep the loop from ending.
  const double ystep = NiceStep(r.hi - r.lo);
  const int decimals = ystep >= 1 ? 0 : ystep >= 0.1 ? 1 : ystep >= 0.01 ? 2 : 3;
  const double first = std::ceil(r.lo / ystep);
  for (int i = 0; i < kMaxTicks; ++i) {
    double v = (first + i) * ystep;
    if (v > r.hi) break;
    svg.Empty("line", {{"x1", Num(kLeft)},
                       {"x2", Num(kLeft + kPlotColumns)},
                       {"y1", Num(y(v))},
                       {"y2", Num(y(v))},
                       {"stroke", "#eee"}});
    svg.Text({{"x", Num(kLeft - 6)}, {"y", Num(y(v) + 4)}, {"text-anchor", "end"}},
             Num(std::fabs(v) < ystep / 2 ? 0.0 : v, decimals));
  }
  for (const Tick& t : ticks) {
    svg.Empty("line", {{"x1", Num(f.X(t.t))},
                       {"x2", Num(f.X(t.t))},
                       {"y1", Num(top)},
                       {"y2", Num(bottom)},
                       {"stroke", "#eee"}});
    svg.Text({{"x", Num(f.X(t.t))}, {"y", Num(bottom + 16)}, {"text-anchor", "middle"}}, t.label);
  }
  for (Series s : {panel.set_point, panel.value}) {
    const bool dashed = s == panel.set_point;
    for (const auto& line : c.lines[s]) {
      std::string points;
      for (const Point& q : line) {
        if (!points.empty()) points += ' ';
        points += Num(f.X(q.t)) + "," + Num(y(q.v));
      }
      if (dashed) {
        svg.Empty("polyline", {{"class", "setpoint"},
                               {"fill", "none"},
                               {"stroke", panel.colour},
                               {"stroke-width", "1.5"},
                               {"stroke-dasharray", "6 4"},
                               {"points", points}});
      } else {
        svg.Empty("polyline", {{"class", "value"},
                               {"fill", "none"},
                               {"stroke", panel.colour},
                               {"stroke-width", "2"},
                               {"points", points}});
      }
      if (line.size() == 1 && !dashed) {  // a lone reading between gaps: a dot
        svg.Empty("circle", {{"cx", Num(f.X(line[0].t))},
                             {"cy", Num(y(line[0].v))},
                             {"r", "2.5"},
                             {"fill", panel.colour}});
      }
    }
  }
  svg.Close("g");
}

// The outage band: every stretch without rows, at least a pixel wide however short.
void DrawOutages(Svg& svg, const Chart& c, const Frame& f, double band_top) {
  svg.Open("g", {{"class", "outages"}});
  svg.Text(
      {{"x", Num(kLeft - 6)}, {"y", Num(band_top + 12)}, {"text-anchor", "end"}, {"fill", "#555"}},
      "outages");
  svg.Empty("rect", {{"x", Num(kLeft)},
                     {"y", Num(band_top + 2)},
                     {"width", Num(kPlotColumns)},
                     {"height", "12"},
                     {"fill", "#f4f4f4"}});
  for (const Outage& o : c.outages) {
    double a = f.X(o.from), b = std::max(f.X(o.to), a + 1);
    svg.Empty("rect", {{"class", "outage"},
                       {"x", Num(a)},
                       {"y", Num(band_top + 2)},
                       {"width", Num(b - a)},
                       {"height", "12"},
                       {"fill", "#7f8c8d"}});
  }
  svg.Close("g");
}

}  // namespace

std::string TrendSvg(const Chart& c) {
  const bool empty = c.rows == 0;
  const Frame f{c.t0, c.t1 > c.t0 ? c.t1 : c.t0 + 60000};
  const double band_top = kTop + 3 * (kPanel + kGap) - 12, height = band_top + kBand + 12;
  Svg svg;
  svg.Open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                   {"width", Num(kWidth, 0)},
                   {"height", Num(height, 0)},
                   {"viewBox", "0 0 " + Num(kWidth, 0) + " " + Num(height, 0)},
                   {"font-family", "sans-serif"},
                   {"font-size", "12"}});
  svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "white"}});
  svg.Text(
      {{"x", Num(kLeft, 0)}, {"y", "24"}, {"font-size", "16"}},
      "climon trend, COM" + std::to_string(c.port) + ": " +
          (empty ? std::string("no rows")
                 : Stamp(f.t0, c.utc_offset_minutes) + " to " + Stamp(c.t1, c.utc_offset_minutes) +
                       ", " + std::to_string(c.rows) + " passes"));
  const std::vector<Tick> ticks =
      empty ? std::vector<Tick>{} : TimeTicks(f.t0, f.t1, c.utc_offset_minutes);
  for (int p = 0; p < 3; ++p) DrawPanel(svg, c, f, ticks, p);
  DrawOutages(svg, c, f, band_top);
  svg.Close("svg");
  return svg.Take();
}

}  // namespace plot
