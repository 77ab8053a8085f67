// Any bytes as a climon value log, after a real header, fed in pieces of any size: the
// reader, the chart and the report never hang, never grow without bound, and the chart is
// drawn with finite coordinates only.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t piece = data[0] % 64 + 1;
  std::string text = logformat::CsvHeader();
  text.append(reinterpret_cast<const char*>(data + 1), size - 1);
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
  logread::LogReader reader("fuzz.csv", [&](const logread::Row& row) {
    chart.Add(row);
    record.Add(row);
  });
  for (std::size_t i = 0; i < text.size(); i += piece) {
    reader.Feed(std::string_view(text).substr(i, piece));
  }
  reader.Finish();
  std::string svg = plot::TrendSvg(chart.Finish());
  report::Record r = record.Finish();
  report::Html(r, report::Provenance{});
  if (svg.find("nan") != std::string::npos || svg.find("inf") != std::string::npos) std::abort();
  return 0;
}
