// The record written out: one self-contained HTML file (no scripts, nothing fetched) that
// reads on screen and prints on A4, a summary page then a page a day; and the daily table
// as CSV for a spreadsheet.
#pragma once

#include <string>
#include <vector>

#include "Report.h"
#include "Seals.h"
#include "logread/LogSet.h"

namespace report {

// Where the record comes from and how it was judged.
struct Provenance {
  std::string room, period, version, made_at;
  std::string identity;  // the room, the period and a digest of the files read
  Settings settings;
  std::vector<logread::FileRead> logs;
  std::vector<std::string> audits;        // the audit trails read
  std::vector<std::string> errors;        // files that could not be read, or not wholly
  std::string damage;                     // the damaged rows by kind, a line each
  std::vector<logread::ClockStep> steps;  // the clock's steps back, the first few
  std::uint64_t steps_seen = 0;
  Seals seals;
};

std::string Html(const Record& r, const Provenance& p);
std::string Csv(const Record& r, const Settings& settings);
// The alarms, a row each with its acknowledgements.
std::string AlarmsCsv(const Record& r);

}  // namespace report
