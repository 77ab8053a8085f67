// Any bytes as a climon value log, after a real header, fed in pieces of any size: the
// reader and the chart never hang, never grow without bound, and the chart is drawn with
// finite coordinates only.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Aggregate.h"
#include "LogReader.h"
#include "TrendSvg.h"
#include "logformat/LogFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t piece = data[0] % 64 + 1;
  std::string text = logformat::CsvHeader();
  text.append(reinterpret_cast<const char*>(data + 1), size - 1);
  plot::Aggregator chart(data[0] % 2 == 0 ? 16 : plot::kPlotColumns);
  plot::LogReader reader("fuzz.csv", [&chart](const plot::Row& row) { chart.Add(row); });
  for (std::size_t i = 0; i < text.size(); i += piece) {
    reader.Feed(std::string_view(text).substr(i, piece));
  }
  reader.Finish();
  std::string svg = plot::TrendSvg(chart.Finish());
  if (svg.find("nan") != std::string::npos || svg.find("inf") != std::string::npos) std::abort();
  return 0;
}
