#include "search/ResultTable.h"

#include <algorithm>
#include <string_view>

#include "platform/TextEncoding.h"
#include "search/RowAddress.h"

namespace quellion {
namespace {

// Two addresses that agree in their first kURLWidth bytes are the same address.
bool SameAddress(std::string_view a, std::string_view b) {
  return a.substr(0, TResultTable::kURLWidth) == b.substr(0, TResultTable::kURLWidth);
}

}  // namespace

bool TResultTable::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void TResultTable::Empty() {
  {
    std::lock_guard lock(mutex_);
    rows_.clear();
    current_ = -1;
    nextIndex_ = 0;
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
    rows_.clear();
    current_ = -1;
    nextIndex_ = 0;
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
                                int limit) {
  int count = 0;
  {
    std::lock_guard lock(mutex_);
    if (!open_)
      return false;
    if (static_cast<long>(rows_.size()) >= limit)
      return false;
    if (!IsWebAddress(url))
      return false;
    const bool present = std::any_of(rows_.begin(), rows_.end(), [&](const TResultRecord& r) {
      return SameAddress(r.URL, url);
    });
    if (present)
      return false;
    TResultRecord row;
    row.Title = CutText(title, kTitleWidth);
    row.URL = url;
    row.Description = CutText(description, kDescriptionWidth);
    row.Color = 0;
    row.Index = nextIndex_++;
    row.SearchEngine = CutText(engine, kSearchEngineWidth);
    rows_.push_back(std::move(row));
    if (current_ < 0)
      current_ = 0;
    count = static_cast<int>(rows_.size());
  }
  if (OnRowsChanged)
    OnRowsChanged(count);
  return true;
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
