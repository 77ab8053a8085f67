#include "Html.h"

#include <cstdio>
#include <initializer_list>

#include "logformat/LogFormat.h"

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
th:first-child,td:first-child,td.t{text-align:left}thead th{background:#e8e8e8}
.note{font-size:9pt;color:#444}.out{color:#a00;font-weight:bold}.none{color:#666;font-style:italic}
section{margin-bottom:2.5em}
.sign{display:flex;gap:2em;margin-top:1.2em}.sign div{flex:1;border-top:1px solid #000;margin-top:2.8em;padding-top:.2em;font-size:9pt}
@page{size:A4;margin:14mm 12mm}
@media print{body{max-width:none;margin:0;padding:0;font-size:9pt}section{margin:0}
.day{break-before:page}thead{display:table-header-group}tr{break-inside:avoid}}
)";

std::string Esc(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string When(const Moment& m) {
  return logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset))
      .substr(0, 19)
      .replace(10, 1, " ");
}

// A value with its unit, or "no data".
std::string Val(std::optional<double> v, Value which) {
  if (!v) return "<span class=\"none\">no data</span>";
  return Number(*v, kValues[which].decimals) + kValues[which].unit;
}

std::string BandText(const Settings& s, Value v) {
  const auto& b = s.bands[v];
  if (!b) return "not judged";
  std::string unit = v == kTemp ? " \u00B0C" : " points";
  if (!b->has_below) return "up to " + Number(b->above, 2) + unit + " above the set point";
  if (b->above == b->below) return "\u00B1 " + Number(b->above, 2) + unit + " around the set point";
  return Number(b->below, 2) + unit + " below to " + Number(b->above, 2) + unit + " above";
}

// Whole seconds, so that inside + outside + without adds up on the page as in the record.
struct Split {
  std::int64_t inside, outside, unjudged, none;
};
Split SplitOf(const Day& d, const ValueFigures& f) {
  Split s;
  s.inside = f.inside / 1000;
  s.outside = f.outside / 1000;
  s.unjudged = f.with / 1000 - s.inside - s.outside;
  s.none = d.length / 1000 - f.with / 1000;
  return s;
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
      return "still going at the period's end";
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

// A table with its head row, or `none` when it has no rows.
std::string Table(std::initializer_list<const char*> head, const std::string& rows,
                  const char* none = "<p>None.</p>\n") {
  if (rows.empty()) return none;
  std::string t = "<table><thead><tr>";
  for (const char* cell : head) t += std::string("<th>") + cell + "</th>";
  return t + "</tr></thead><tbody>\n" + rows + "</tbody></table>\n";
}

bool InDay(const Moment& m, std::int64_t day) {
  return LocalDay(m.ms, m.offset) == day;
}

std::vector<Value> Shown(const Record& r) {
  std::vector<Value> v = {kTemp, kHumidity, kCo2};
  if (r.evaporator) v.push_back(kEvap);
  return v;
}

void DayPage(std::string& h, const Record& r, const Day& d, const Provenance& p) {
  h += "<section class=\"day\">\n<h2>" + DateOf(d.day) + " \u2014 " + Esc(p.room) + "</h2>\n";
  h += "<p>Covered by the period: " + DurationOf(d.length) +
       (d.offset_changed ? " (the log's UTC offset changed this day: summer time)" : "") + "; " +
       std::to_string(d.rows) + " rows.</p>\n";
  if (d.rows == 0) {
    h += "<p class=\"out\">No rows for this day: climon did not run, or its log was not "
         "given. Nothing is known of the room this day.</p>\n";
  }
  h += "<table><thead><tr><th>Value</th><th>Lowest</th><th>at</th><th>Highest</th><th>at</th>"
       "<th>Mean</th><th>Inside band</th><th>Outside band</th><th>Without a value</th>"
       "<th>Short departures</th></tr></thead><tbody>\n";
  for (Value v : Shown(r)) {
    const ValueFigures& f = d.values[v];
    Split s = SplitOf(d, f);
    bool judged = p.settings.bands[v].has_value();
    h +=
        "<tr><td>" + std::string(kValues[v].name) + "</td><td>" + Val(f.low, v) + "</td><td>" +
        (f.low ? ClockOf(f.low_at) : "") + "</td><td>" + Val(f.high, v) + "</td><td>" +
        (f.high ? ClockOf(f.high_at) : "") + "</td><td>" + Val(f.Mean(), v) + "</td><td>" +
        (judged ? Dur(s.inside) : "\u2014") + "</td><td" + (s.outside > 0 ? " class=\"out\"" : "") +
        ">" + (judged ? Dur(s.outside) : "\u2014") + "</td><td>" + Dur(s.none) + "</td><td>" +
        (!judged            ? std::string("\u2014")
         : f.departures > 0 ? std::to_string(f.departures) + " (" + DurationOf(f.departure_ms) + ")"
                            : std::string("0")) +
        "</td></tr>\n";
    if (s.unjudged > 0 && judged) {
      h += "<tr><td colspan=\"10\" class=\"note\">" + std::string(kValues[v].name) + ": " +
           Dur(s.unjudged) + " with a value but no set point read yet, so not judged.</td></tr>\n";
    }
  }
  h += "</tbody></table>\n<p class=\"note\">For each judged value, inside + outside + without a "
       "value = " +
       DurationOf(d.length) +
       ", the part of the day the period covers. A departure "
       "shorter than " +
       DurationOf(p.settings.delay_ms) +
       " is counted in the time outside but not listed as an excursion.</p>\n";
  h += "<h3>Excursions</h3>\n";
  std::string rows;
  for (const Excursion& e : r.excursions) {
    if (!InDay(e.start, d.day)) continue;
    rows += "<tr><td>" + std::string(kValues[e.value].name) + "</td><td>" + ClockOf(e.start) +
            (e.at_period_start ? " (already outside at the period's start)" : "") + "</td><td>" +
            When(e.end) + "</td><td>" + DurationOf(e.end.ms - e.start.ms) +
            "</td><td class=\"out\">" + Val(e.peak, e.value) + "</td><td>" + ClockOf(e.peak_at) +
            "</td><td>" + Val(e.set_point, e.value) + "</td><td class=\"t\">" +
            (e.above ? "above" : "below") + "; " + HowText(e) + "</td></tr>\n";
  }
  h += Table({"Value", "Start", "End", "Duration", "Peak", "at", "Set point", "Band left, end"},
             rows);
  h += "<h3>Outages</h3>\n";
  rows.clear();
  for (const Outage& o : r.outages) {
    if (!InDay(o.from, d.day)) continue;
    rows += "<tr><td>" + ClockOf(o.from) + "</td><td>" + When(o.to) + "</td><td>" +
            DurationOf(o.to.ms - o.from.ms) + "</td><td class=\"t\">" + OutageText(o.kind) +
            "</td></tr>\n";
  }
  h += Table({"From", "To", "Duration", "What"}, rows);
  h += "<h3>Operator actions</h3>\n";
  rows.clear();
  for (const Action& a : r.actions) {
    if (!InDay(a.when, d.day)) continue;
    rows += "<tr><td>" + ClockOf(a.when) + "</td><td class=\"t\">" + Esc(a.user) +
            "</td><td class=\"t\">" + Esc(a.event) + "</td><td class=\"t\">" + Esc(a.detail) +
            "</td><td class=\"t\">" + Esc(a.reply) + "</td></tr>\n";
  }
  h += Table(
      {"Time", "User", "Action", "Detail", "Reply"}, rows,
      p.audits.empty() ? "<p class=\"none\">No audit trail was given.</p>\n" : "<p>None.</p>\n");
  h += "</section>\n";
}

}  // namespace

std::string Html(const Record& r, const Provenance& p) {
  std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                  Esc("Room record: " + p.room + ", " + p.period) + "</title>\n<style>\n" + kStyle +
                  "</style>\n</head>\n<body>\n<section class=\"summary\">\n<h1>" +
                  Esc("Room record: " + p.room) + "</h1>\n<p><b>" + Esc(p.period) +
                  "</b>: " + When(r.from) + " to " + When(r.to) +
                  " (the log's local time). Serial port " + std::to_string(r.port) +
                  ", device variant " + (r.variant != 0 ? std::to_string(r.variant) : "not known") +
                  ".</p>\n<p>" + kStatement +
                  "</p>\n<p class=\"note\">Allowed bands, following the set point "
                  "in force at each moment: temperature " +
                  BandText(p.settings, kTemp) + "; humidity " + BandText(p.settings, kHumidity) +
                  "; CO2 " + BandText(p.settings, kCo2) + ". Excursions are listed from " +
                  DurationOf(p.settings.delay_ms) +
                  " outside. A day is the calendar day in the "
                  "log's own UTC offset, from its midnight at the offset then in force to the "
                  "next (23 or 25 hours on the day summer time begins or ends). A row's values "
                  "hold until the next row if it comes within " +
                  DurationOf(kHoldMs) + "; a longer gap is counted as climon not running.</p>\n";
  h += "<table><thead><tr><th>Day</th><th>Rows</th>";
  for (Value v : {kTemp, kHumidity, kCo2}) {
    h += std::string("<th>") + kValues[v].name + "," + kValues[v].unit + "<br>mean</th>" +
         "<th><br>lowest\u2013highest</th><th><br>outside</th>";
  }
  h += "<th>Excursions</th></tr></thead><tbody>\n";
  for (const Day& d : r.days) {
    h += "<tr><td>" + DateOf(d.day) + "</td><td>" + std::to_string(d.rows) + "</td>";
    for (Value v : {kTemp, kHumidity, kCo2}) {
      const ValueFigures& f = d.values[v];
      Split s = SplitOf(d, f);
      const int dec = kValues[v].decimals;
      h += "<td>" + (f.Mean() ? Number(*f.Mean(), dec) : Val(std::nullopt, v)) + "</td><td>" +
           (f.low ? Number(*f.low, dec) + "\u2013" + Number(*f.high, dec) : Val(std::nullopt, v)) +
           "</td><td" + (s.outside > 0 ? " class=\"out\"" : "") + ">" + Dur(s.outside) + "</td>";
    }
    int n = 0;
    for (const Excursion& e : r.excursions) n += InDay(e.start, d.day) ? 1 : 0;
    h += "<td>" + std::to_string(n) + "</td></tr>\n";
  }
  h += "</tbody></table>\n<h3>Provenance</h3>\n<table><thead><tr><th>File read</th><th>First row"
       "</th><th>Last row</th><th>Rows read</th></tr></thead><tbody>\n";
  int skipped = 0;
  for (const logread::FileRead& f : p.logs) {
    if (f.skipped) {
      ++skipped;
      continue;
    }
    auto at = [&r](const std::optional<std::int64_t>& ms) {
      return ms ? When({*ms, r.from.offset}) : std::string("\u2014");
    };
    h += "<tr><td class=\"t\">" + Esc(f.path) + (f.compressed ? " (gzip)" : "") + "</td><td>" +
         at(f.first_ms) + "</td><td>" + at(f.last_ms) + "</td><td>" + std::to_string(f.rows) +
         "</td></tr>\n";
  }
  for (const std::string& a : p.audits) {
    h += "<tr><td class=\"t\">" + Esc(a) + " (audit trail)</td><td></td><td></td><td></td></tr>\n";
  }
  h += "</tbody></table>\n";
  if (skipped > 0) {
    h += "<p class=\"note\">" + std::to_string(skipped) +
         " more logs lie wholly outside the period and were not read.</p>\n";
  }
  for (const std::string& e : p.errors) h += "<p class=\"out\">Not read: " + Esc(e) + "</p>\n";
  h += "<p class=\"note\">" +
       (p.damage.empty() ? std::string("No damaged rows.")
                         : "Damaged rows skipped:" + Esc(p.damage)) +
       (r.out_of_order > 0 ? " " + std::to_string(r.out_of_order) +
                                 " rows not later than the row before (repeated, or a clock set "
                                 "back) left out."
                           : std::string()) +
       " Made by climon-report " + Esc(p.version) + " on " + Esc(p.made_at) + ".</p>\n";
  h += "<div class=\"sign\"><div>Checked by</div><div>Date</div><div>Signature</div></div>\n"
       "</section>\n";
  for (const Day& d : r.days) DayPage(h, r, d, p);
  return h + "</body>\n</html>\n";
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
      int n = 0;
      for (const Excursion& e : r.excursions) n += e.value == v && InDay(e.start, d.day) ? 1 : 0;
      const bool judged = settings.bands[v].has_value();
      auto judged_only = [judged](std::int64_t x) { return judged ? std::to_string(x) : ""; };
      out += DateOf(d.day) + "," + logformat::CsvField(kValues[v].name) + "," +
             std::to_string(d.rows) + "," + (f.low ? Number(*f.low, dec) : "") + "," +
             (f.low ? iso(f.low_at) : "") + "," + (f.high ? Number(*f.high, dec) : "") + "," +
             (f.high ? iso(f.high_at) : "") + "," + (f.Mean() ? Number(*f.Mean(), dec) : "") + "," +
             judged_only(s.inside) + "," + judged_only(s.outside) + "," + std::to_string(s.none) +
             "," + std::to_string(d.length / 1000) + "," + judged_only(n) + "," +
             judged_only(f.departures) + "\r\n";
    }
  }
  return out;
}

}  // namespace report
