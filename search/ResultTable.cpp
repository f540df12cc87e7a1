#include "search/ResultTable.h"

#include <algorithm>
#include <string_view>

#include "platform/TextEncoding.h"
#include "search/AddressKey.h"
#include "search/RowAddress.h"

namespace quellion {
namespace {

// Two addresses that agree in their first kURLWidth bytes are the same address.
bool SameAddress(std::string_view a, std::string_view b) {
  return a.substr(0, TResultTable::kURLWidth) == b.substr(0, TResultTable::kURLWidth);
}

// Keyed on the part the duplicate test compares, so a hit the exact test would call a
// duplicate always finds the row it duplicates.
std::string KeyOf(const std::string& url) {
  return AgreementKey(std::string_view(url).substr(0, TResultTable::kURLWidth));
}

}  // namespace

int TResultRecord::BestPosition() const {
  int best = 0;
  for (const TEngineFind& find : Engines) {
    if (find.Position > 0 && (best == 0 || find.Position < best))
      best = find.Position;
  }
  return best;
}

void TResultTable::ClearLocked() {
  rows_.clear();
  rowByKey_.clear();
  joinedAs_.clear();
  current_ = -1;
  nextIndex_ = 0;
}

bool TResultTable::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void TResultTable::Empty() {
  {
    std::lock_guard lock(mutex_);
    ClearLocked();
    open_ = true;
  }
  if (OnRowsChanged)
    OnRowsChanged(0);
}

void TResultTable::Close() {
  {
    std::lock_guard lock(mutex_);
    if (!open_)
      return;
    ClearLocked();
    open_ = false;
  }
  if (OnRowsChanged)
    OnRowsChanged(0);
}

int TResultTable::RowCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

std::optional<TResultRecord> TResultTable::Row(int i) const {
  std::lock_guard lock(mutex_);
  if (i < 0 || i >= static_cast<int>(rows_.size()))
    return std::nullopt;
  return rows_[i];
}

std::vector<TResultRecord> TResultTable::Rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

int TResultTable::CurrentRow() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void TResultTable::SetCurrentRow(int i) {
  std::lock_guard lock(mutex_);
  if (rows_.empty()) {
    current_ = -1;
    return;
  }
  current_ = std::clamp(i, 0, static_cast<int>(rows_.size()) - 1);
}

void TResultTable::MoveBy(int delta) {
  std::lock_guard lock(mutex_);
  if (rows_.empty()) {
    current_ = -1;
    return;
  }
  const long target = static_cast<long>(current_) + delta;
  current_ = static_cast<int>(std::clamp<long>(target, 0, static_cast<long>(rows_.size()) - 1));
}

bool TResultTable::AppendUnique(const std::string& title, const std::string& url,
                                const std::string& description, const std::string& engine,
                                int limit, int position) {
  std::string key = KeyOf(url);
  int count = 0;
  {
    std::lock_guard lock(mutex_);
    count = AppendLocked(title, url, description, engine, limit, position, std::move(key));
  }
  if (count == 0)
    return false;
  if (OnRowsChanged)
    OnRowsChanged(count);
  return true;
}

TAddOutcome TResultTable::AppendOrJoin(const std::string& title, const std::string& url,
                                       const std::string& description, const std::string& engine,
                                       int position, int limit) {
  std::string key = KeyOf(url);
  int count = 0;
  int joined = -1;
  {
    std::lock_guard lock(mutex_);
    if (!open_ || static_cast<long>(rows_.size()) >= limit || !IsWebAddress(url))
      return TAddOutcome::Refused;
    const auto found = rowByKey_.find(key);
    if (found != rowByKey_.end()) {
      TResultRecord& row = rows_[found->second];
      const std::string name = CutText(engine, kSearchEngineWidth);
      const bool known = std::any_of(row.Engines.begin(), row.Engines.end(),
                                     [&](const TEngineFind& f) { return f.Engine == name; });
      std::string joinedAs = name + '\n' + url.substr(0, kURLWidth);
      if (!known) {
        row.Engines.push_back({name, position});
        joinedAs_.insert(std::move(joinedAs));
        joined = found->second;
      } else if (joinedAs_.count(joinedAs) != 0) {
        return TAddOutcome::Refused;
      }
      // Otherwise a hit of an engine already on the row's list falls to the exact
      // test below.
    }
    if (joined < 0)
      count = AppendLocked(title, url, description, engine, limit, position, std::move(key));
  }
  if (joined >= 0) {
    if (OnRowJoined)
      OnRowJoined(joined);
    return TAddOutcome::Joined;
  }
  if (count == 0)
    return TAddOutcome::Refused;
  if (OnRowsChanged)
    OnRowsChanged(count);
  return TAddOutcome::Appended;
}

int TResultTable::AppendLocked(const std::string& title, const std::string& url,
                               const std::string& description, const std::string& engine, int limit,
                               int position, std::string key) {
  if (!open_)
    return 0;
  if (static_cast<long>(rows_.size()) >= limit)
    return 0;
  if (!IsWebAddress(url))
    return 0;
  const bool present = std::any_of(rows_.begin(), rows_.end(),
                                   [&](const TResultRecord& r) { return SameAddress(r.URL, url); });
  if (present)
    return 0;
  TResultRecord row;
  row.Title = CutText(title, kTitleWidth);
  row.URL = url;
  row.Description = CutText(description, kDescriptionWidth);
  row.Color = 0;
  row.Index = nextIndex_++;
  row.SearchEngine = CutText(engine, kSearchEngineWidth);
  row.Engines.push_back({row.SearchEngine, position});
  rowByKey_.try_emplace(std::move(key), static_cast<int>(rows_.size()));
  rows_.push_back(std::move(row));
  if (current_ < 0)
    current_ = 0;
  return static_cast<int>(rows_.size());
}

void TResultTable::SetChecked(int i, bool checked) {
  std::lock_guard lock(mutex_);
  if (i >= 0 && i < static_cast<int>(rows_.size()))
    rows_[i].Checked = checked;
}

void TResultTable::SetColor(int i, int32_t color) {
  std::lock_guard lock(mutex_);
  if (i >= 0 && i < static_cast<int>(rows_.size()))
    rows_[i].Color = color;
}

void TResultTable::SetDescription(int i, const std::string& description) {
  std::lock_guard lock(mutex_);
  if (i >= 0 && i < static_cast<int>(rows_.size()))
    rows_[i].Description = CutText(description, kDescriptionWidth);
}

}  // namespace quellion
