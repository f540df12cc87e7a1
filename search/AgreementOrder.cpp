#include "search/AgreementOrder.h"

#include <algorithm>
#include <climits>

namespace quellion {
namespace {

int RankedPosition(const TResultRecord& row) {
  const int best = row.BestPosition();
  return best > 0 ? best : INT_MAX;
}

}  // namespace

bool AgreesBefore(const TResultRecord& a, const TResultRecord& b) {
  if (a.Engines.size() != b.Engines.size())
    return a.Engines.size() > b.Engines.size();
  const int pa = RankedPosition(a);
  const int pb = RankedPosition(b);
  if (pa != pb)
    return pa < pb;
  return a.Index < b.Index;
}

void SortByAgreement(std::vector<TResultRecord>& rows) {
  std::sort(rows.begin(), rows.end(), AgreesBefore);
}

}  // namespace quellion
