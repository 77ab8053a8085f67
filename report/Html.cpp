#include "Html.h"

#include "TrendSvg.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "logformat/LogFormat.h"
#include "logformat/SetPointWords.h"
#include "markup/Markup.h"

namespace report {
namespace {

constexpr const char* kStatement =
    "This record holds the controller's own sensors as read by climon: an operational record "
    "for the site's food-safety plan, not a certified independent temperature recorder.";

// A screen and an A4 page alike; each day begins a page when printed.
constexpr const char* kStyle =
    R"(body{font:10.5pt/1.35 sans-serif;color:#111;max-width:62em;margin:1.5em auto;padding:0 1em}
h1{font-size:16pt;margin:0 0 .2em}h2{font-size:13pt;margin:0 0 .4em;border-bottom:1.5px solid #333}
h3{font-size:10.5pt;margin:1em 0 .3em}p{margin:.3em 0}
table{border-collapse:collapse;width:100%;margin:.3em 0}
th,td{border:1px solid #aaa;padding:.12em .35em;text-align:right;vertical-align:top;white-space:nowrap}
td.t{white-space:normal}
th:first-child,td:first-child,th.t,td.t{text-align:left}thead th{background:#e8e8e8}
.note{font-size:9pt;color:#444}.out{color:#a00;font-weight:bold}.none{color:#666;font-style:italic}
section{margin-bottom:2.5em}.day svg{display:block;width:100%;height:auto;max-height:11cm;margin:.4em 0}.summary th{white-space:normal}
.sign{display:flex;gap:2em;margin-top:1.2em}.sign div{flex:1;border-top:1px solid #000;margin-top:2.8em;padding-top:.2em;font-size:9pt}
@page{size:A4;margin:14mm 12mm}
@media print{body{max-width:none;margin:0;padding:0;font-size:9pt}section{margin:0}
.summary td,.summary th{font-size:7.5pt;padding:.1em .2em}
.day{break-before:page}thead{display:table-header-group}tr{break-inside:avoid}}
)";

std::string When(const Moment& m) {
  return logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset))
      .substr(0, 19)
      .replace(10, 1, " ");
}

// "+02:00".
std::string OffsetOf(const Moment& m) {
  std::string iso = logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset));
  return iso.substr(iso.size() - 6);
}

// A moment with its offset, where other rows may be at another: "2026-10-25 02:10:00 +02:00".
std::string Stamp(const Moment& m) {
  return When(m) + " " + OffsetOf(m);
}

// A time on a day's page; on the day the offset changed (summer time), with its offset,
// so that the repeated hour's times are told apart.
std::string At(const Day& d, const Moment& m) {
  return ClockOf(m) + (d.offset_changed ? " " + OffsetOf(m) : "");
}
std::string WhenAt(const Day& d, const Moment& m) {
  return d.offset_changed ? Stamp(m) : When(m);
}

std::string BandText(const Settings& s, Value v) {
  const Band* b = s.BandOf(v);
  if (!b) return "not judged";
  std::string unit = v == kTemp ? " \u00B0C" : " points";
  if (!b->has_below) return "up to " + Number(b->above, 2) + unit + " above the set point";
  if (b->above == b->below) return "\u00B1 " + Number(b->above, 2) + unit + " around the set point";
  return Number(b->below, 2) + unit + " below to " + Number(b->above, 2) + unit + " above";
}

// Whole seconds that add up to the covered time exactly, on the page as in the CSV: each
// part rounded down, then the seconds left over given to the parts with the largest
// remainders, so that a part of no time stays 0 (no false "not judged").
std::int64_t CoveredSeconds(const Day& d) {
  return (d.length + 500) / 1000;
}
struct Split {
  std::int64_t inside, outside, unjudged, none, covered;
};
Split SplitOf(const Day& d, const ValueFigures& f) {
  const std::int64_t ms[4] = {f.inside, f.outside, f.with - f.inside - f.outside,
                              d.length - f.with};
  std::int64_t s[4];
  const std::int64_t covered = CoveredSeconds(d);
  std::int64_t left = covered;
  for (int i = 0; i < 4; ++i) left -= s[i] = ms[i] / 1000;
  int order[4] = {0, 1, 2, 3};
  std::stable_sort(order, order + 4, [&ms](int a, int b) { return ms[a] % 1000 > ms[b] % 1000; });
  for (int i = 0; i < 4 && left > 0; ++i, --left) ++s[order[i]];
  return {s[0], s[1], s[2], s[3], covered};
}

std::string Dur(std::int64_t seconds) {
  return DurationOf(seconds * 1000);
}

const char* HowText(const Excursion& e) {
  switch (e.how) {
    case Excursion::kBack:
      return "back in band";
    case Excursion::kBrokenOff:
      return "record broken off (climon not running or the link lost)";
    case Excursion::kStillGoing:
      return "still going at the last row read";
  }
  return "";
}

const char* OutageText(Outage::Kind k) {
  switch (k) {
    case Outage::kNotRunning:
      return "climon not running (no rows)";
    case Outage::kLinkLost:
      return "the link lost (every read failed)";
    case Outage::kBeforeRecord:
      return "no rows before this in the logs";
    case Outage::kAfterRecord:
      return "no rows after this in the logs";
  }
  return "";
}

using markup::Writer;

// <td class="cls">text</td>.
void Cell(Writer& w, std::string_view text, const char* cls = nullptr) {
  if (cls != nullptr) {
    w.Element("td", {{"class", cls}}, text);
  } else {
    w.Element("td", {}, text);
  }
}

void NoData(Writer& w) {
  w.Element("span", {{"class", "none"}}, "no data");
}

// A value with its unit (or without), or "no data".
void ValueCell(Writer& w, std::optional<double> v, Value which, bool unit = true,
               const char* cls = nullptr) {
  if (cls != nullptr) {
    w.Open("td", {{"class", cls}});
  } else {
    w.Open("td");
  }
  if (v) {
    w.Text(Number(*v, kValues[which].decimals) + (unit ? kValues[which].unit : ""));
  } else {
    NoData(w);
  }
  w.Close("td");
}

// A table's start, its head row of `cells` (a line end in a cell breaks its line), up to
// its body; the cells from `text_from` on head text, set left as their text is.
void Head(Writer& w, std::initializer_list<std::string_view> cells,
          std::size_t text_from = std::string_view::npos) {
  w.Open("table").Open("thead").Open("tr");
  std::size_t i = 0;
  for (std::string_view cell : cells) {
    if (i++ >= text_from) {
      w.Open("th", {{"class", "t"}});
    } else {
      w.Open("th");
    }
    for (std::size_t nl; (nl = cell.find('\n')) != std::string_view::npos;) {
      w.Text(cell.substr(0, nl)).Raw("<br>");
      cell.remove_prefix(nl + 1);
    }
    w.Text(cell).Close("th");
  }
  w.Close("tr").Close("thead").Open("tbody").Line();
}

void End(Writer& w) {
  w.Close("tbody").Close("table").Line();
}

void Para(Writer& w, std::string_view text, const char* cls = nullptr) {
  if (cls != nullptr) {
    w.Element("p", {{"class", cls}}, text).Line();
  } else {
    w.Element("p", {}, text).Line();
  }
}

// The items that `keep` takes, a row each, under `head`; the paragraph `none` when there
// are none.
template <typename T, typename Keep, typename WriteRow>
void ListTable(Writer& w, std::initializer_list<std::string_view> head, std::size_t text_from,
               const std::vector<T>& items, Keep keep, WriteRow row, void (*none)(Writer&)) {
  if (std::none_of(items.begin(), items.end(), keep)) return none(w);
  Head(w, head, text_from);
  for (const T& item : items) {
    if (!keep(item)) continue;
    w.Open("tr");
    row(item);
    w.Close("tr").Line();
  }
  End(w);
}

void NoneFound(Writer& w) {
  Para(w, "None.");
}

bool InDay(const Moment& m, std::int64_t day) {
  return LocalDay(m.ms, m.offset) == day;
}

std::int64_t FirstDay(const Excursion& e) {
  return LocalDay(e.start.ms, e.start.offset);
}
std::int64_t LastDay(const Excursion& e) {
  return LocalDay(e.end.ms > e.start.ms ? e.end.ms - 1 : e.end.ms, e.end.offset);
}

// An excursion is listed on every day it touches, and counted once: on its first day in
// the record.
bool Touches(const Excursion& e, std::int64_t day) {
  return FirstDay(e) <= day && day <= LastDay(e);
}
bool CountedOn(const Excursion& e, const Record& r, std::int64_t day) {
  return std::max(FirstDay(e), r.days.empty() ? FirstDay(e) : r.days.front().day) == day;
}
int Counted(const Record& r, std::int64_t day, std::optional<Value> v = std::nullopt) {
  return static_cast<int>(std::count_if(
      r.excursions.begin(), r.excursions.end(),
      [&r, day, v](const Excursion& e) { return (!v || e.value == *v) && CountedOn(e, r, day); }));
}

std::string Sides(const Excursion& e) {
  if (e.both) return e.above ? "above, then below" : "below, then above";
  return e.above ? "above" : "below";
}

// The alarm's reading at its raise and its peak against its limit, or what the system's
// alarm was.
std::string AlarmWhat(const AlarmEntry& a) {
  switch (a.slot) {
    case alarms::kLink:
      return "no reply from the controller";
    case alarms::kRecord:
      return "the record not written";
    case alarms::kStartup:
      return "a start-up value not read";
    default:
      break;
  }
  const Value v = static_cast<Value>(a.slot);
  auto number = [v](const std::optional<double>& x) {
    return x ? Number(*x, kValues[v].decimals) + kValues[v].unit : std::string("?");
  };
  const bool above = a.limit && a.set_point && *a.limit > *a.set_point;
  return number(a.reading) + (above ? " above" : " below") + " the limit " + number(a.limit) +
         "; peak " + number(a.peak);
}

std::string AlarmName(const AlarmEntry& a) {
  return a.slot < alarms::kValueSlots ? kValues[static_cast<Value>(a.slot)].name
                                      : "System: " + std::string(alarms::Name(a.slot));
}

std::string AlarmEnd(const AlarmEntry& a) {
  if (a.cleared) return "back " + When(*a.cleared);
  return a.run_ended ? "climon stopped while it was open" : "still open at the logs' end";
}

// Whether an alarm of the excursion's value overlaps it (acknowledged, when `acked`).
bool Covered(const Excursion& e, const Record& r, bool acked) {
  return std::any_of(r.alarms.begin(), r.alarms.end(), [&e, acked](const AlarmEntry& a) {
    return e.value < alarms::kValueSlots && a.slot == static_cast<alarms::Slot>(e.value) &&
           (!acked || !a.acks.empty()) && a.since.ms <= e.end.ms &&
           (!a.cleared || a.cleared->ms >= e.start.ms);
  });
}

// The deviations the signer must see answered: alarms without an acknowledgement, and
// excursions no alarm was raised for (one that an alarm covers is that alarm's).
int Unanswered(const Record& r) {
  return static_cast<int>(
      std::count_if(r.alarms.begin(), r.alarms.end(),
                    [](const AlarmEntry& a) { return a.acks.empty(); }) +
      std::count_if(r.excursions.begin(), r.excursions.end(),
                    [&r](const Excursion& e) { return !Covered(e, r, false); }));
}

void AlarmRows(Writer& w, const Record& r, std::optional<std::int64_t> day) {
  const std::int64_t first = r.days.empty() ? 0 : r.days.front().day;
  ListTable(
      w,
      {"Alarm", "Since", "Raised", "What", "Ended", "Acknowledged", "By", "Cause",
       "Corrective action"},
      3, r.alarms,
      [day, first](const AlarmEntry& a) {
        return !day || std::max(first, LocalDay(a.raised.ms, a.raised.offset)) == *day;
      },
      [&w](const AlarmEntry& a) {
        Cell(w, AlarmName(a) + (a.repeated > 0 ? " (raised again " + std::to_string(a.repeated) +
                                                     (a.repeated == 1 ? " time)" : " times)")
                                               : ""));
        Cell(w, When(a.since));
        Cell(w, When(a.raised));
        Cell(w, AlarmWhat(a), "t");
        Cell(w, AlarmEnd(a), "t");
        if (a.acks.empty()) {
          w.Open("td", {{"class", "t out"}, {"colspan", "4"}})
              .Text("no corrective action on file")
              .Close("td");
          return;
        }
        std::string when, by, cause, action;
        for (const AlarmAck& k : a.acks) {
          const char* sep = when.empty() ? "" : "; ";
          when += sep + When(k.when);
          by += sep + k.user;
          cause += sep + k.cause;
          action += sep + k.action;
        }
        Cell(w, when, "t");
        Cell(w, by, "t");
        Cell(w, cause, "t");
        Cell(w, action, "t");
      },
      NoneFound);
}

void DayAlarms(Writer& w, const Record& r, const Day& d) {
  w.Element("h3", {}, "Alarms").Line();
  AlarmRows(w, r, d.day);
}

std::vector<Value> Shown(const Record& r) {
  std::vector<Value> v = {kTemp, kHumidity, kCo2};
  if (r.evaporator) v.push_back(kEvap);
  return v;
}

// A seal as the page prints it: short enough to read aloud, with the row it closes.
std::string SealText(const SealMark& m, const std::string& at) {
  return seal::Short(m.head.link) + " (the value log's row " + std::to_string(m.head.rows) + ", " +
         at + ")";
}

void DayHead(Writer& w, const Day& d, const Provenance& p) {
  w.Open("section", {{"class", "day"}}).Line();
  w.Element("h2", {}, DateOf(d.day) + " \u2014 " + p.room).Line();
  Para(w, "Covered by the period: " + Dur(CoveredSeconds(d)) +
              (d.offset_changed ? " (the log's UTC offset changed this day: summer time)" : "") +
              "; " + std::to_string(d.rows) + " rows.");
  auto seal = p.seals.days.find(d.day);
  if (seal != p.seals.days.end()) {
    Para(w, "Closing seal of the day: " + SealText(seal->second, At(d, seal->second.at)) + ".");
  } else if (d.rows > 0 && p.seals.checked) {
    Para(w, "No seal this day: its rows are not sealed, or no link of them checked out.", "out");
  }
  if (d.rows == 0) {
    Para(w,
         "No rows for this day: climon did not run, or its log was not given. Nothing is "
         "known of the room this day.",
         "out");
  }
}

// Each value's lowest, highest, mean and times inside, outside and without a value.
void DayFigures(Writer& w, const Record& r, const Day& d, const Provenance& p) {
  Head(w, {"Value", "Lowest", "at", "Highest", "at", "Mean", "Inside band", "Outside band",
           "Without a value", "Short departures"});
  for (Value v : Shown(r)) {
    const ValueFigures& f = d.values[v];
    Split s = SplitOf(d, f);
    bool judged = p.settings.BandOf(v) != nullptr;
    w.Open("tr");
    Cell(w, kValues[v].name);
    ValueCell(w, f.low, v);
    Cell(w, f.low ? At(d, f.low_at) : "");
    ValueCell(w, f.high, v);
    Cell(w, f.high ? At(d, f.high_at) : "");
    ValueCell(w, f.Mean(), v);
    Cell(w, judged ? Dur(s.inside) : "\u2014");
    Cell(w, judged ? Dur(s.outside) : "\u2014", s.outside > 0 ? "out" : nullptr);
    Cell(w, Dur(s.none));
    Cell(w, !judged ? std::string("\u2014")
            : f.departures > 0
                ? std::to_string(f.departures) + " (" + DurationOf(f.departure_ms) + ")"
                : std::string("0"));
    w.Close("tr").Line();
    if (s.unjudged > 0 && judged) {
      w.Open("tr")
          .Element("td", {{"colspan", "10"}, {"class", "note"}},
                   std::string(kValues[v].name) + ": " + Dur(s.unjudged) +
                       " with a value but no set point read yet, so not judged.")
          .Close("tr")
          .Line();
    }
  }
  End(w);
  Para(w,
       "For each judged value, inside + outside + without a value = " + Dur(CoveredSeconds(d)) +
           ", the part of the day the period covers. A departure shorter than " +
           DurationOf(p.settings.alarms.delay_ms) +
           " is counted in the time outside but not listed as an excursion.",
       "note");
}

void DayExcursions(Writer& w, const Record& r, const Day& d) {
  w.Element("h3", {}, "Excursions").Line();
  ListTable(
      w, {"Value", "Start", "End", "Duration", "Peak", "at", "Set point", "Band left, end"}, 7,
      r.excursions, [&d](const Excursion& e) { return Touches(e, d.day); },
      [&w, &r, &d](const Excursion& e) {
        Cell(w, kValues[e.value].name);
        if (FirstDay(e) < d.day) {
          Cell(w, WhenAt(d, e.start) + " (continues from the day before)");
        } else {
          Cell(w, At(d, e.start) + (e.start.ms < r.from.ms ? " (before the period's start)" : ""));
        }
        Cell(w, WhenAt(d, e.end) + (LastDay(e) > d.day ? " (continues into the next day)" : ""));
        Cell(w, DurationOf(e.end.ms - e.start.ms));
        ValueCell(w, e.peak, e.value, true, "out");
        Cell(w, At(d, e.peak_at));
        ValueCell(w, e.set_point, e.value);
        if (Covered(e, r, true)) {
          Cell(w, Sides(e) + "; " + HowText(e), "t");
        } else {
          w.Open("td", {{"class", "t"}}).Text(Sides(e) + "; " + HowText(e) + "; ");
          w.Element("span", {{"class", "out"}}, "no corrective action on file").Close("td");
        }
      },
      NoneFound);
}

void DayOutages(Writer& w, const Record& r, const Day& d) {
  w.Element("h3", {}, "Outages").Line();
  ListTable(
      w, {"From", "To", "Duration", "What"}, 3, r.outages,
      [&d](const Outage& o) { return InDay(o.from, d.day); },
      [&w, &d](const Outage& o) {
        Cell(w, At(d, o.from));
        Cell(w, WhenAt(d, o.to));
        Cell(w, DurationOf(o.to.ms - o.from.ms));
        Cell(w, OutageText(o.kind), "t");
      },
      NoneFound);
}

// What an action did, in an auditor's words, where climon knows them: a write to a set
// point ("WR DM890 180": the temperature set point to 18.00 °C) and a reset; "" otherwise.
std::string InWords(const Action& a) {
  if (a.event == "reset") return "operating-time counters set to 0";
  if (a.event != "terminal") return "";
  unsigned dm = 0, word = 0;
  char end = 0;
  if (std::sscanf(a.detail.c_str(), "WR DM%u %u%c", &dm, &word, &end) != 2 || word > 65535 ||
      a.detail != "WR DM" + std::to_string(dm) + " " + std::to_string(word)) {
    return "";
  }
  for (const logformat::SetPointWord& s : logformat::kSetPointWords) {
    if (s.dm != dm) continue;
    const long double v = s.Value(logformat::SignedWord(static_cast<std::int32_t>(word)));
    return std::string("set the ") + s.name + " to " + Number(static_cast<double>(v), s.decimals) +
           s.unit;
  }
  return "";
}

void DayActions(Writer& w, const Record& r, const Day& d, const Provenance& p) {
  w.Element("h3", {}, "Operator actions").Line();
  ListTable(
      w, {"Time", "User", "Action", "Detail", "In words", "Reply"}, 1, r.actions,
      [&d](const Action& a) { return InDay(a.when, d.day); },
      [&w, &d](const Action& a) {
        Cell(w, At(d, a.when));
        for (const std::string* f : {&a.user, &a.event, &a.detail}) Cell(w, *f, "t");
        Cell(w, InWords(a), "t");
        Cell(w, a.reply, "t");
      },
      p.audits.empty() ? +[](Writer& x) { Para(x, "No audit trail was given.", "none"); }
                       : NoneFound);
}

// The day's values and set points over the day, as climon-plot draws them, inline.
void DayChart(Writer& w, const Day& d) {
  if (d.rows == 0) return;
  const std::string svg = plot::TrendSvg(d.chart);
  w.Raw(std::string_view(svg).substr(svg.find("<svg"))).Line();
}

void DayPage(Writer& w, const Record& r, const Day& d, const Provenance& p) {
  DayHead(w, d, p);
  DayFigures(w, r, d, p);
  DayChart(w, d);
  DayExcursions(w, r, d);
  DayAlarms(w, r, d);
  DayOutages(w, r, d);
  DayActions(w, r, d, p);
  w.Close("section").Line();
}

void Document(Writer& w, const Provenance& p) {
  w.Raw("<!DOCTYPE html>\n").Open("html", {{"lang", "en"}}).Line().Open("head").Line();
  w.Raw("<meta charset=\"utf-8\">\n");
  w.Element("title", {}, "Room record: " + p.room + ", " + p.period).Line();
  // Every printed page names the document and its place in it.
  std::string pages = "@page{@bottom-left{content:" + markup::CssString(p.identity) +
                      ";font:7.5pt sans-serif;color:#444}@bottom-right{content:\"Page \" "
                      "counter(page) \" of \" counter(pages);font:7.5pt sans-serif}}\n";
  w.Open("style").Line().Raw(kStyle).Raw(pages).Close("style").Line().Close("head").Line();
  w.Open("body").Line();
}

// The period, the statement and how the record was judged.
void SummaryHead(Writer& w, const Record& r, const Provenance& p) {
  w.Open("section", {{"class", "summary"}}).Line();
  w.Element("h1", {}, "Room record: " + p.room).Line();
  w.Open("p").Element("b", {}, p.period);
  const bool offsets = r.from.offset != r.to.offset;
  w.Text(": " + (offsets ? Stamp(r.from) : When(r.from)) + " to " +
         (offsets ? Stamp(r.to) : When(r.to)) + " (the log's local time). Serial port " +
         std::to_string(r.port) + ", device variant " +
         (r.variant != 0 ? std::to_string(r.variant) : "not known") + ".");
  w.Close("p").Line();
  Para(w, kStatement);
  Para(w, "Document: " + p.identity + ". Each printed page carries this line and its number.",
       "note");
  Para(w,
       "Allowed bands, following the set point in force at each moment: temperature " +
           BandText(p.settings, kTemp) + "; humidity " + BandText(p.settings, kHumidity) +
           "; CO2 " + BandText(p.settings, kCo2) + ". Excursions are listed from " +
           DurationOf(p.settings.alarms.delay_ms) +
           " outside. A day is the calendar day in the log's own UTC offset, from its midnight "
           "at the offset then in force to the next (23 or 25 hours on the day summer time "
           "begins or ends). A row's values hold until the next row if it comes within " +
           DurationOf(kHoldMs) + "; a longer gap is counted as climon not running.",
       "note");
}

// A row a day: the time without a value, each value's mean, set points in force, range
// and time outside, and the excursions.
void SummaryDays(Writer& w, const Record& r) {
  auto head = [](Value v) {
    return std::string(kValues[v].name) + "," + kValues[v].unit + "\nmean";
  };
  Head(w, {"Day", "Rows", "Without\na value", head(kTemp), "\nset point", "\nlowest\u2013highest",
           "\noutside", head(kHumidity), "\nset point", "\nlowest\u2013highest", "\noutside",
           head(kCo2), "\nset point", "\nlowest\u2013highest", "\noutside", "Excursions"});
  auto range = [&w](const std::optional<double>& low, const std::optional<double>& high, int dec) {
    w.Open("td");
    if (!low) {
      NoData(w);
    } else if (Number(*low, dec) == Number(*high, dec)) {
      w.Text(Number(*low, dec));
    } else {
      w.Text(Number(*low, dec) + "\u2013" + Number(*high, dec));
    }
    w.Close("td");
  };
  for (const Day& d : r.days) {
    w.Open("tr");
    Cell(w, DateOf(d.day));
    Cell(w, std::to_string(d.rows));
    Cell(w, DurationOf(d.unrecorded), d.unrecorded > 0 ? "out" : nullptr);
    for (Value v : {kTemp, kHumidity, kCo2}) {
      const ValueFigures& f = d.values[v];
      const int dec = kValues[v].decimals;
      ValueCell(w, f.Mean(), v, false);
      range(f.set_low, f.set_high, dec);
      range(f.low, f.high, dec);
      Split s = SplitOf(d, f);
      Cell(w, Dur(s.outside), s.outside > 0 ? "out" : nullptr);
    }
    Cell(w, std::to_string(Counted(r, d.day)));
    w.Close("tr").Line();
  }
  End(w);
  Para(w,
       "Without a value: climon not running or the link lost. Set point: the lowest and "
       "highest in force that day.",
       "note");
}

// Where the clock was set back: its rows are placed by their own time, between the rows
// stamped before and after them.
void ClockSteps(Writer& w, const Record& r, const Provenance& p) {
  if (p.steps_seen == 0 && r.set_aside == 0) return;
  w.Element("h3", {}, "Clock set back").Line();
  ListTable(
      w, {"Where", "First row after the step", "Set back by"}, 3, p.steps,
      [](const logread::ClockStep&) { return true; },
      [&w](const logread::ClockStep& s) {
        Cell(w, s.at, "t");
        Cell(w, Stamp({s.utc_ms, s.utc_offset_minutes}));
        Cell(w, DurationOf(s.back_ms));
      },
      NoneFound);
  std::string more;
  if (p.steps_seen > p.steps.size()) {
    more = std::to_string(p.steps_seen - p.steps.size()) + " more steps not listed. ";
  }
  if (r.set_aside > 0) {
    more += std::to_string(r.set_aside) + " rows stamped more than " + DurationOf(kReorderMs) +
            " before rows already accounted were set aside (not counted twice).";
  }
  Para(w,
       "The rows after a step are placed by their own time, among the rows stamped before and "
       "after them. " +
           more,
       more.empty() ? "note" : "out");
}

// The files read, what could not be read and what was skipped, and the version.
void SummaryProvenance(Writer& w, const Record& r, const Provenance& p) {
  w.Element("h3", {}, "Provenance").Line();
  Head(w, {"File read", "First row", "Last row", "Rows read"});
  int skipped = 0;
  for (const logread::FileRead& f : p.logs) {
    if (f.skipped) {
      ++skipped;
      continue;
    }
    auto at = [](const std::optional<Moment>& m) { return m ? Stamp(*m) : std::string("\u2014"); };
    w.Open("tr");
    Cell(w, f.path + (f.compressed ? " (gzip)" : ""), "t");
    Cell(w, at(f.first));
    Cell(w, at(f.last));
    Cell(w, std::to_string(f.rows));
    w.Close("tr").Line();
  }
  for (const std::string& a : p.audits) {
    w.Open("tr");
    Cell(w, a + " (audit trail)", "t");
    for (int i = 0; i < 3; ++i) Cell(w, "");
    w.Close("tr").Line();
  }
  End(w);
  if (skipped > 0) {
    Para(w, std::to_string(skipped) + " more logs lie wholly outside the period and were not read.",
         "note");
  }
  for (const std::string& e : p.errors) Para(w, "Not read: " + e, "out");
  if (p.seals.period) {
    const SealMark& m = *p.seals.period;
    Para(w, "Seal of the period: " + SealText(m, Stamp(m.at)) + ". climon-report --verify --seal " +
                seal::Hex(m.head.link).substr(0, 16) +
                " with the same files tells later whether they still lead to it.");
  }
  for (const std::string& line : p.seals.found) {
    Para(w, "Seals: " + line, line.starts_with("CHANGED") ? "out" : "note");
  }
  ClockSteps(w, r, p);
  Para(w,
       (p.damage.empty() ? std::string("No damaged rows.") : "Damaged rows skipped:" + p.damage) +
           " Made by climon-report " + p.version + " on " + p.made_at + ".",
       "note");
}

// The period's alarms, and what of its deviations has no response on file, before the
// signature.
void SummaryAlarms(Writer& w, const Record& r, const Provenance& p) {
  w.Element("h2", {}, "Alarms").Line();
  const alarms::Settings& s = p.settings.alarms;
  Para(w,
       "Raised by climon's rule over the logs: outside the band for " + DurationOf(s.delay_ms) +
           " without a break, back by the differential; not judged for " + DurationOf(s.settle_ms) +
           " after a start, the link's return or a set point's change, "
           "nor the temperature and humidity for " +
           DurationOf(s.after_defrost_ms) + " after a defrost; raised again " +
           DurationOf(s.realarm_ms) +
           " after an acknowledgement while still outside. Acknowledgements from the audit "
           "trails.",
       "note");
  AlarmRows(w, r, std::nullopt);
  const int n = Unanswered(r);
  if (n == 0) {
    Para(w, "Every deviation has a corrective action on file.");
  } else {
    Para(w,
         std::to_string(n) + (n == 1 ? " deviation" : " deviations") +
             " without a corrective action on file (marked on the day pages).",
         "out");
  }
}

void SignOff(Writer& w) {
  w.Open("div", {{"class", "sign"}});
  for (const char* field : {"Checked by", "Date", "Signature"}) w.Element("div", {}, field);
  w.Close("div").Line();
}

}  // namespace

std::string Html(const Record& r, const Provenance& p) {
  Writer w;
  Document(w, p);
  SummaryHead(w, r, p);
  SummaryDays(w, r);
  SummaryAlarms(w, r, p);
  SummaryProvenance(w, r, p);
  SignOff(w);
  w.Close("section").Line();
  for (const Day& d : r.days) DayPage(w, r, d, p);
  w.Close("body").Line().Close("html").Line();
  return w.Take();
}
std::string Csv(const Record& r, const Settings& settings) {
  std::string out =
      "date,value,rows,lowest,lowest_at,highest,highest_at,mean,inside_s,outside_s,"
      "no_value_s,covered_s,excursions,short_departures\r\n";
  for (const Day& d : r.days) {
    for (Value v : Shown(r)) {
      const ValueFigures& f = d.values[v];
      Split s = SplitOf(d, f);
      int dec = kValues[v].decimals;
      auto iso = [](const Moment& m) {
        return logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset));
      };
      const int n = Counted(r, d.day, v);
      const bool judged = settings.BandOf(v) != nullptr;
      auto judged_only = [judged](std::int64_t x) { return judged ? std::to_string(x) : ""; };
      out += DateOf(d.day) + "," + logformat::CsvField(kValues[v].name) + "," +
             std::to_string(d.rows) + "," + (f.low ? Number(*f.low, dec) : "") + "," +
             (f.low ? iso(f.low_at) : "") + "," + (f.high ? Number(*f.high, dec) : "") + "," +
             (f.high ? iso(f.high_at) : "") + "," + (f.Mean() ? Number(*f.Mean(), dec) : "") + "," +
             judged_only(s.inside) + "," + judged_only(s.outside) + "," + std::to_string(s.none) +
             "," + std::to_string(s.covered) + "," + judged_only(n) + "," +
             judged_only(f.departures) + "\r\n";
    }
  }
  return out;
}

}  // namespace report

namespace report {

namespace {
// A typed text for a spreadsheet: one that begins as a formula would is kept as text.
std::string TextField(const std::string& text) {
  const bool formula =
      !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
  return logformat::CsvField(formula ? "'" + text : text);
}
}  // namespace

std::string AlarmsCsv(const Record& r) {
  std::string out =
      "alarm,since,raised,reading,limit,peak,raised_again,back,ended,acknowledged,user,cause,"
      "action\r\n";
  auto iso = [](const Moment& m) {
    return logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset));
  };
  for (const AlarmEntry& a : r.alarms) {
    const int dec = a.slot < alarms::kValueSlots ? kValues[static_cast<Value>(a.slot)].decimals : 0;
    auto number = [dec](const std::optional<double>& x) { return x ? Number(*x, dec) : ""; };
    const std::string head = std::string(alarms::Name(a.slot)) + "," + iso(a.since) + "," +
                             iso(a.raised) + "," + number(a.reading) + "," + number(a.limit) + "," +
                             number(a.peak) + "," + std::to_string(a.repeated) + "," +
                             (a.cleared ? iso(*a.cleared) : "") + "," +
                             (a.cleared     ? "back"
                              : a.run_ended ? "climon stopped"
                                            : "open") +
                             ",";
    if (a.acks.empty()) out += head + ",,,\r\n";
    for (const AlarmAck& k : a.acks) {
      out += head + iso(k.when) + "," + TextField(k.user) + "," + TextField(k.cause) + "," +
             TextField(k.action) + "\r\n";
    }
  }
  return out;
}

}  // namespace report
