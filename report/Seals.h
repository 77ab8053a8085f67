// The seals of the files a report reads: their chains checked, the last link of each day
// and of the period kept for the printed pages, and the verdict in words.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Report.h"
#include "seal/Chain.h"

namespace report {

struct SealMark {
  Moment at;
  seal::Head head;
};

struct Seals {
  std::map<std::int64_t, SealMark> days;  // the day's last link that checked out
  std::optional<SealMark> period;         // the period's
  std::vector<std::string> found;         // what the check found, a line each
  bool changed = false;                   // a change to the record was found
  bool checked = false;                   // some sealed rows were checked
  bool all_sealed = true;                 // every file read has a chain that was checked
};

// Checks the audit trails' own chain (their texts, in their rows' order) with `hasher`; the
// value log's head that each run's end recorded goes to `logs` to be met. `expect`: the
// value logs are read whole, so that those heads must be in them.
seal::Follow FollowAudits(const std::vector<std::pair<std::string, std::string>>& audits,
                          const seal::Hasher& hasher, seal::Follow& logs, bool expect);

// The value logs' check told into `out`, `name` what the files are ("the value logs").
void Verdict(const seal::Follow& follow, const std::string& name, Seals& out);

}  // namespace report
