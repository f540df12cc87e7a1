#pragma once

#include <vector>

#include "search/ResultTable.h"

namespace quellion {

// "Sort by agreement": rows more engines found come first; among equals the row with
// the better (lower) best position, a row without a known position after those with
// one; then order of arrival (Index).
bool AgreesBefore(const TResultRecord& a, const TResultRecord& b);

// Sorts rows into that order.
void SortByAgreement(std::vector<TResultRecord>& rows);

}  // namespace quellion
