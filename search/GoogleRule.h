#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "search/Hit.h"

namespace quellion {

// The text with its markup spans removed: while the first "<" comes before the first
// ">", the span from that "<" to that ">" is cut out. A ">" before the first "<" or
// an unclosed "<" stops the removal there.
std::string StripTags(std::string_view text);

// State of one Google task that carries from page to page.
struct TGoogleState {
  // Set by a block without a URL; once set no block of any later page is read.
  bool StopMark = false;
};

// Google's rule for one page: cuts the page text block by block at "<p><A" (at most
// 100 blocks) and hands on each hit with a URL. mayReadBlock is asked before every
// block (the table below Max Sites and the search still running); the page is done
// when it says no. Errors inside the block loop end the page and are not raised.
void ExtractGoogle(std::string_view page, TGoogleState& state,
                   const std::function<bool()>& mayReadBlock, const THitSink& sink);

}  // namespace quellion
