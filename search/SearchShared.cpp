#include "search/SearchShared.h"

#include <mutex>

namespace quellion {

TAddOutcome TSearchShared::AddHit(const std::string& title, const std::string& url,
                                  const std::string& description, const std::string& engine,
                                  int position) {
  std::lock_guard lock(*CallerLock);
  return Table->AppendOrJoin(title, url, description, engine, position, MaxSites.load());
}

void TSearchShared::ReportHitCount() {
  std::lock_guard lock(*CallerLock);
  if (Owner && Owner->OnStatusText)
    Owner->OnStatusText(TSearchControl::SearchingText(Table->RowCount()));
}

}  // namespace quellion
