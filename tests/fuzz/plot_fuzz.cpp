// Any bytes as a climon value log, after a real header (sealed or not), fed in pieces of any
// size: the reader, the seals' check, the chart and the report never hang, never grow
// without bound, and the chart is drawn with finite coordinates only. The same bytes as an
// audit trail's rows go through the seals' check and the alarms' acknowledgements too.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Aggregate.h"
#include "Html.h"
#include "Report.h"
#include "TrendSvg.h"
#include "logformat/LogFormat.h"
#include "logread/LogReader.h"
#include "seal/Chain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t piece = data[0] % 64 + 1;
  std::string text = logformat::CsvHeader();
  const bool keyed = data[0] % 4 == 1;
  if (data[0] % 4 < 2) text.insert(text.size() - 2, keyed ? ",keyed_seal" : ",seal");
  const std::string_view rows(reinterpret_cast<const char*>(data + 1), size - 1);
  text.append(rows);
  seal::Follow follow{seal::Hasher(keyed ? "a key of sixteen bytes" : "")};
  plot::Aggregator chart(data[0] % 2 == 0 ? 16 : plot::kPlotColumns);
  // The report over a week of days around the rows' usual times, or a week of UTC time.
  report::Period period;
  if (data[0] % 3 == 0) {
    period.first_day = 20430;
    period.last_day = 20437;
  } else {
    // On the log's clock or as instants.
    period.from = {20430 * report::kDayMs, data[0] % 2 == 0};
    period.to = {20437 * report::kDayMs, data[0] % 2 == 0};
  }
  report::Builder record(report::Settings{}, period);
  // The same bytes as an audit trail's rows: acknowledgements given to the alarms' rule.
  record.AuditAlarms(report::ReadAuditAlarms(logformat::AuditHeader() + std::string(rows)));
  logread::LogReader reader("fuzz.csv", [&](const logread::Row& row) {
    chart.Add(row);
    record.Add(row);
  });
  reader.FollowSeals(&follow);
  for (std::size_t i = 0; i < text.size(); i += piece) {
    reader.Feed(std::string_view(text).substr(i, piece));
  }
  reader.Finish();
  follow.End();
  seal::Follow audit{seal::Hasher()};
  audit.File("audit.csv", seal::Kind::kPlain, true);
  seal::FollowText(audit, rows, 2, logformat::kAuditColumns + 1);
  audit.End();
  std::string svg = plot::TrendSvg(chart.Finish());
  report::Record r = record.Finish();
  report::Html(r, report::Provenance{});
  report::AlarmsCsv(r);
  if (svg.find("nan") != std::string::npos || svg.find("inf") != std::string::npos) std::abort();
  return 0;
}
