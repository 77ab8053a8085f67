#include "Seals.h"

#include <algorithm>

#include "logformat/LogFormat.h"
#include "logread/Seek.h"

namespace report {
namespace {

std::string Iso(std::int64_t ms, int offset) {
  return logformat::FormatIsoTime(logformat::FromUtcMs(ms, offset)).substr(0, 19);
}

}  // namespace

seal::Follow FollowAudits(const std::vector<std::pair<std::string, std::string>>& audits,
                          const seal::Hasher& hasher, seal::Follow& logs, bool expect) {
  std::vector<const std::pair<std::string, std::string>*> order;
  for (const auto& a : audits) order.push_back(&a);
  std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
    auto first = [](const std::string& text) {
      auto row = logread::FirstStamp(text, true);  // the header has no time
      return row ? row->second.ms : 0;
    };
    return first(a->second) < first(b->second);
  });
  std::string base = logformat::AuditHeader();
  base.resize(base.size() - 2);
  seal::Follow follow(hasher);
  for (const auto* a : order) {
    const std::string& name = a->first;
    std::string_view text = a->second;
    const std::size_t nl = text.find('\n');
    std::string_view header = text.substr(0, nl);
    if (header.ends_with('\r')) header.remove_suffix(1);
    std::optional<seal::Kind> kind = seal::HeaderKind(header, base);
    if (!kind || nl == std::string_view::npos) continue;  // not an audit trail: said elsewhere
    follow.File(name, *kind, true);
    seal::FollowText(follow, text.substr(nl + 1), 2, logformat::kAuditColumns + 1);
    if (!expect || *kind == seal::Kind::kNone) continue;
    std::vector<logformat::AuditFields> rows;
    logformat::ReadAuditRows(text, rows);
    std::int64_t start = 0;
    for (const logformat::AuditFields& f : rows) {
      std::int64_t ms = 0;
      int offset = 0;
      if (!logformat::ParseIsoTime(f[logformat::kAuditTime], ms, offset)) continue;
      if (f[logformat::kAuditEvent] == "start") start = ms;
      if (f[logformat::kAuditEvent] != seal::kLogSealEvent) continue;
      if (std::optional<seal::Head> h = seal::LogSealOf(f[logformat::kAuditDetail])) {
        logs.Expect(*h, "the value log's last row of the run that ended at " + Iso(ms, offset),
                    start, ms);
      }
    }
  }
  follow.End();
  return follow;
}

void Verdict(const seal::Follow& follow, const std::string& name, Seals& out) {
  if (follow.verified() > 0) {
    out.checked = true;
    out.found.push_back("The " + name + "' seals check " + std::to_string(follow.verified()) +
                        " rows from " + Iso(*follow.first_ms, follow.first_offset) + " to " +
                        Iso(*follow.last_ms, follow.last_offset) + ".");
  }
  for (const seal::Finding& f : follow.findings()) {
    out.found.push_back(std::string(f.changed ? "CHANGED: " : "") + "the " + name + ": " + f.text +
                        ".");
  }
  for (const std::string& u : follow.unsealed()) {
    out.all_sealed = false;
    out.found.push_back(u + ".");
  }
  if (follow.changed()) out.changed = true;
}

}  // namespace report
