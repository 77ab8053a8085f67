#include "ReportOptions.h"

#include <memory>

#include "seal/Chain.h"

namespace report {
namespace {

struct Table {
  int periods = 0;
  cli::Program program;
  std::vector<cli::Option> options;
};

std::unique_ptr<Table> MakeTable(ReportOptions& o) {
  auto t = std::make_unique<Table>();
  t->program = {"climon-report",
                CLIMON_VERSION,
                "usage: climon-report LOG... -o REPORT.html [--csv DAYS.csv] [--audit AUDIT]...\n"
                "         [--alarms-csv ALARMS.csv]\n"
                "         (--day DATE | --month YYYY-MM | --from TIME --to TIME | --last 7d)\n"
                "         [--room NAME] [--temp-band C] [--humidity-band PCT] [--co2-above PCT]\n"
                "         [--delay MINUTES] [--settle MINUTES] [--after-defrost MINUTES]\n"
                "         [--realarm MINUTES]\n"
                "       climon-report --verify [--seal HEX] [--seal-key FILE] LOG...\n"
                "         [--audit AUDIT]...\n"
                "       climon-report --help | --version\n"
                "The room's record for a period from climon value logs (plain or gzip, in any\n"
                "order) and audit trails: per day and value the lowest, highest and mean, the\n"
                "time inside and outside the band around the set point and without a value; the\n"
                "excursions, outages and operator actions; a sign-off block.\n"
                "\n",
                "\nTIME is 2026-12-09 or 2026-12-09T14:00[:00] on the log's own clock (its UTC\n"
                "offset) unless it ends in Z or an offset such as +01:00. Exit status 1: written,\n"
                "but a file could not be read. With --verify alone: 0 when the seals check\n"
                "out, 1 when a change is found, 3 when there was nothing to check (files not\n"
                "sealed, or sealed with a key not given). See climon-report(1).\n",
                "usage: climon-report LOG... -o REPORT.html (--day DATE | --month YYYY-MM |\n"
                "         --from TIME --to TIME | --last 7d)   (climon-report --help tells more)\n",
                cli::Append(o.logs),
                23};
  t->options = {
      {"-o", "the name of the HTML file to write", cli::Store(o.out), "FILE",
       "the HTML file to write"},
      {"--csv", "the name of the CSV file to write", cli::Store(o.csv), "FILE",
       "the daily table as CSV"},
      {"--alarms-csv", "the name of the CSV file to write", cli::Store(o.alarms_csv), "FILE",
       "the alarms and their acknowledgements as CSV"},
      {"--audit", "the name of an audit trail (climon --audit)", cli::Append(o.audits), "FILE",
       "an audit trail (climon --audit); may be repeated"},
  };
  for (cli::Option& p : record::PeriodOptions(o.period, t->periods)) t->options.push_back(p);
  t->options.push_back({"--room", "the room's name", cli::Store(o.room), "NAME",
                        "the room's name (default: the audit trail's or the port)"});
  for (cli::Option& p : alarms::Options(o.settings.alarms)) t->options.push_back(p);
  std::vector<cli::Option> rest = {
      {"--verify", nullptr, cli::Set(o.verify), nullptr,
       "check the seals; alone, read every row and say only that"},
      {"--seal", "16 to 64 hexadecimal digits",
       [&o](const std::string& v, std::string&) {
         std::optional<std::string> digits = seal::ParseShort(v);
         if (digits) o.seal = *digits;
         return digits.has_value();
       },
       "HEX", "a seal printed on a signed report: a link of\nthe value logs must begin with it"},
      {"--seal-key", "the name of a key file", cli::Store(o.seal_key), "FILE",
       "the key the seals were made with (climon --seal-key)"},
  };
  t->options.insert(t->options.end(), rest.begin(), rest.end());
  return t;
}

cli::Line Parse(Table& t, const std::vector<std::string>& args, ReportOptions& o) {
  cli::Line line = cli::Read(t.program, args, t.options);
  if (!line.error.empty() || line.help || line.version) return line;
  line.error = record::Check(o.period, t.periods, !o.VerifyOnly(), kMaxDays);
  if (line.error.empty() &&
      (o.logs.empty() || (o.out.empty() && o.csv.empty() && o.alarms_csv.empty() && !o.verify)))
    line.error = "a log and -o or --csv are needed";
  if (line.error.empty() && !o.seal.empty() && !o.verify) line.error = "--seal goes with --verify";
  return line;
}

}  // namespace

cli::Line ParseReportOptions(const std::vector<std::string>& args, ReportOptions& o) {
  return Parse(*MakeTable(o), args, o);
}

std::optional<int> ReportCommandLine(const std::vector<std::string>& args, ReportOptions& o) {
  std::unique_ptr<Table> t = MakeTable(o);
  return cli::Answer(t->program, t->options, Parse(*t, args, o));
}

}  // namespace report
