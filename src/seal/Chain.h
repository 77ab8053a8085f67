// The seal chain over a record file's rows (the value log, the audit trail): each row's link
// is the hash of the link before it and the row's bytes, so that a row changed, inserted,
// deleted or moved changes every link after it. The links are written into the file's last
// column ("seal", or "keyed_seal" when made with a key), so that the file itself is all a
// verifier needs:
//   - empty: the row is chained but carries no link (the value log writes one every two minutes);
//   - "N:HEX": the link after this row, the chain's row N (64 hexadecimal digits);
//   - "from:N:HEX": a run's or a file's first row: the chain before it (N rows, link HEX);
//     N 0 with a link of zeros begins a new chain.
// A row's bytes are those before its seal field's comma: the seal covers all else it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "seal/Digest.h"

namespace seal {

enum class Kind { kNone, kPlain, kKeyed };
// The header's last column for each kind ("" for none).
std::string_view ColumnName(Kind kind);
// The kind of a header line (no line end) that is `base` (the header without a seal column,
// no line end) with or without a seal column; none when it is neither.
std::optional<Kind> HeaderKind(std::string_view line, std::string_view base);

struct Head {
  std::uint64_t rows = 0;
  Digest link{};
  bool operator==(const Head&) const = default;
};

std::string Hex(const Digest& d);
// The first 16 hexadecimal digits in groups of four: a seal read aloud and compared.
std::string Short(const Digest& d);
// A seal as a person types it: 16 to 64 hexadecimal digits, blanks allowed between them.
std::optional<std::string> ParseShort(std::string_view text);

struct Field {
  enum What { kNone, kSeal, kFrom, kBad } what = kNone;
  Head head;
};
Field ParseField(std::string_view text);
std::string SealField(const Head& h);
std::string FromField(const Head& h);

// A row's bytes and its seal field: the text before the last comma and after it; false when
// there is no comma.
bool SplitSeal(std::string_view row, std::string_view& content, std::string_view& field);

// The next link: plain SHA-256, or HMAC-SHA-256 under the site's key.
class Hasher {
 public:
  explicit Hasher(std::string key = {}) : key_(std::move(key)) {}
  bool keyed() const { return !key_.empty(); }
  Kind kind() const { return keyed() ? Kind::kKeyed : Kind::kPlain; }
  Head Next(const Head& h, std::string_view content);

 private:
  std::string key_, buf_;
};

// What a check found, one line each for the report.
struct Finding {
  bool changed;  // the record was changed (a row, a file, the end); else it is told only
  std::string text;
};

// Follows a chain row by row, file after file in the record's order, and checks each link
// written against the one made from the rows. Where rows are not read (a file skipped, a
// file entered in its middle) the chain is taken up again at the next link written.
class Follow {
 public:
  explicit Follow(Hasher hasher) : hasher_(std::move(hasher)) {}
  // Every link written that checks out (and the first one taken up), with its row's time
  // and UTC offset in minutes.
  std::function<void(std::int64_t utc_ms, int offset, const Head&)> on_seal;
  // A head to be met (the audit trail's record of the value log's chain at the end of a run
  // that began at `start_ms` and ended at `end_ms`): told when the rows followed hold that
  // run and the chain never reaches it.
  void Expect(const Head& head, std::string what, std::int64_t start_ms, std::int64_t end_ms);
  // A seal printed on a signed page (16 or more hexadecimal digits): whether a link written
  // begins with it.
  void Look(std::string digits) { look_ = std::move(digits); }
  bool looked_found() const { return look_found_; }

  // A file's rows follow, of the kind its header says; a row's `here` is its line's number,
  // or its byte when the file is entered in its middle (`from_start` false).
  void File(const std::string& name, Kind kind, bool from_start);
  // A whole row (without its line end) at line `here`, stamped `utc_ms` at `offset` (0: no
  // time read). A row torn by a power cut or a full disk (another field count) is not
  // given: climon never chained it.
  void Row(std::string_view line, std::uint64_t here, std::int64_t utc_ms, int offset = 0);
  // Reading stops before the file's end: the rows after are not the record's end.
  void Lose() { anchored_ = false; }
  // The record's end: the rows no link covers are told.
  void End();

  const std::vector<Finding>& findings() const { return findings_; }
  std::uint64_t verified() const { return verified_; }  // rows a link checked
  std::optional<std::int64_t> first_ms, last_ms;        // of the rows checked
  int first_offset = 0, last_offset = 0;
  bool changed() const;
  // The chain's head after the last row, when it is known.
  std::optional<Head> head() const { return anchored_ ? std::optional<Head>(head_) : std::nullopt; }
  // Files without a seal column, or whose seals cannot be checked here (a key missing).
  const std::vector<std::string>& unsealed() const { return unsealed_; }

 private:
  void Seal(const Head& written, const Head& made, std::uint64_t here, std::int64_t utc_ms,
            int offset);
  // A link written that the rows do not lead to: what changed, from how many rows it holds.
  void Mismatch(const Head& written, const Head& made, std::uint64_t here);
  void Chained(std::uint64_t here);
  void From(const Head& from, std::uint64_t here);
  void Tell(bool changed, std::string text);

  // A row's place: its file, and its line or byte there.
  struct Where {
    std::size_t file = 0;
    std::uint64_t here = 0;
  };
  std::string Text(const Where& w) const;
  Where At(std::uint64_t here) const { return {files_.size() - 1, here}; }

  Hasher hasher_;
  std::vector<std::pair<std::string, bool>> files_;  // each name, and whether by line
  bool following_ = false;                           // this file's rows are chained
  bool anchored_ = false;                            // the head is known
  Head head_;
  // The row before, to tell a row written again after a failed write from a new one.
  std::string last_content_;
  // Since the last link that checked out (or was taken up): where it is, the rows after it.
  Where last_good_, pending_first_, pending_last_;
  std::uint64_t pending_ = 0;
  std::int64_t last_row_ms_ = 0, pending_first_ms_ = 0;
  int pending_first_offset_ = 0;
  bool disorder_ = false;
  // Before the row before: taken back when that row was a failed write's part.
  Head head_before_;
  std::uint64_t pending_before_ = 0;
  bool last_plain_ = false;
  std::uint64_t verified_ = 0;
  std::vector<Finding> findings_;
  std::vector<std::string> unsealed_;
  struct Expected {
    Head head;
    std::string what;
    std::int64_t start_ms, end_ms;
    bool met = false;
  };
  std::optional<std::int64_t> first_row_ms_;  // of every row followed
  std::vector<Expected> expected_;
  std::string look_;
  bool look_found_ = false;
};

// The key of keyed seals from a file (its bytes, a last line end left out); false with the
// reason when it is missing, unreadable, empty or shorter than 16 bytes.
bool ReadKey(const std::string& path, std::string& key, std::string& error);

// The audit trail's row that records the value log's chain at a run's end: its event, its
// detail, and the head read back from the detail.
inline constexpr std::string_view kLogSealEvent = "seal";
std::string LogSealDetail(const Head& head, const std::string& path);
std::optional<Head> LogSealOf(std::string_view detail);

// A record file's text after its header (an audit trail's rows may span lines in quotes),
// row by row into `follow`; `first_line` is the line the rows start on.
void FollowText(Follow& follow, std::string_view text, std::uint64_t first_line,
                std::size_t fields);

}  // namespace seal
