#include "search/SearchShared.h"

#include <mutex>

namespace quellion {

bool TSearchShared::AddHit(const std::string& title, const std::string& url,
                           const std::string& description, const std::string& engine) {
  std::lock_guard lock(*CallerLock);
  return Table->AppendUnique(title, url, description, engine, MaxSites.load());
}

void TSearchShared::ReportHitCount() {
  std::lock_guard lock(*CallerLock);
  if (Owner && Owner->OnStatusText)
    Owner->OnStatusText(TSearchControl::SearchingText(Table->RowCount()));
}

}  // namespace quellion
