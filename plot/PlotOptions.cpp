#include "PlotOptions.h"

#include <memory>

namespace plot {
namespace {

struct Table {
  int periods = 0;
  cli::Program program;
  std::vector<cli::Option> options;
};

std::unique_ptr<Table> MakeTable(PlotOptions& o) {
  auto t = std::make_unique<Table>();
  t->program = {"climon-plot",
                CLIMON_VERSION,
                "usage: climon-plot LOG.csv... -o TREND.svg [--day DATE | --month YYYY-MM |\n"
                "                   --from TIME | --to TIME | --last 24h|7d|30d]\n"
                "       climon-plot --help | --version\n"
                "Draws the temperature, humidity and CO2 of climon value logs (climon --log) over\n"
                "time, each with its set point, as one self-contained SVG file. Several logs\n"
                "(rotated ones, plain or gzip, in any order) make one chart in time order.\n"
                "\n",
                "\nTIME is 2026-12-09 or 2026-12-09T14:00[:00] on the log's own clock (its UTC\n"
                "offset) unless it ends in Z or an offset such as +01:00. Exit status 1: drawn,\n"
                "but a log could not be read.\n"
                "See climon-plot(1).\n",
                "usage: climon-plot LOG.csv... -o TREND.svg [--from TIME] [--to TIME]\n"
                "                   [--last 24h|7d|30d]   (climon-plot --help tells more)\n",
                cli::Append(o.logs),
                19};
  t->options = {{"-o", "the name of the SVG file to write", cli::Store(o.out), "FILE",
                 "the SVG file to write"}};
  for (cli::Option& p : record::PeriodOptions(o.period, t->periods)) t->options.push_back(p);
  return t;
}

cli::Line Parse(Table& t, const std::vector<std::string>& args, PlotOptions& o) {
  cli::Line line = cli::Read(t.program, args, t.options);
  if (!line.error.empty() || line.help || line.version) return line;
  line.error = record::Check(o.period, t.periods, false, 0);
  if (line.error.empty() && (o.logs.empty() || o.out.empty()))
    line.error = "a log and -o are needed";
  return line;
}

}  // namespace

cli::Line ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& o) {
  return Parse(*MakeTable(o), args, o);
}

std::optional<int> PlotCommandLine(const std::vector<std::string>& args, PlotOptions& o) {
  std::unique_ptr<Table> t = MakeTable(o);
  return cli::Answer(t->program, t->options, Parse(*t, args, o));
}

}  // namespace plot
