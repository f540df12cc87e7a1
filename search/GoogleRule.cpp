#include "search/GoogleRule.h"

namespace quellion {
namespace {

constexpr std::string_view kBlockStart = "<p><A";
constexpr std::string_view kAnchorEnd = "</A>";
constexpr std::string_view kDescriptionStart = "<font size=-1><br>";
constexpr std::string_view kDescriptionEnd = "<br>";
constexpr int kMaxBlocks = 100;

// The text before the marker found at `found`; nothing when it was not found.
std::string_view Head(std::string_view text, std::string_view::size_type found) {
  return found == std::string_view::npos ? std::string_view() : text.substr(0, found);
}

}  // namespace

std::string StripTags(std::string_view text) {
  // The prefix before a removed span holds neither "<" nor ">", so every later search
  // for the first "<" and ">" may start right after the removed span: one pass.
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t l = text.find('<', pos);
    const size_t r = text.find('>', pos);
    if (l == std::string_view::npos || r == std::string_view::npos || r < l)
      break;
    out.append(text.substr(pos, l - pos));
    pos = r + 1;
  }
  out.append(text.substr(pos));
  return out;
}

void ExtractGoogle(std::string_view page, TGoogleState& state,
                   const std::function<bool()>& mayReadBlock, const THitSink& sink) {
  // text is a view of the rest of the page; cutting it never copies the page.
  std::string_view text = page;
  int blocks = 0;
  try {
    for (;;) {
      const size_t k = text.find(kBlockStart);
      if (k == std::string_view::npos || blocks >= kMaxBlocks || state.StopMark)
        return;
      if (mayReadBlock && !mayReadBlock())
        return;
      ++blocks;
      text = text.substr(k + 3);  // starts at this block's "<A"

      THit hit;
      hit.Title = StripTags(Head(text, text.find(kAnchorEnd)));
      const size_t g = text.find('>');  // 0-based; the 1-based position is g + 1
      if (g != std::string_view::npos && g + 1 > 16)
        hit.URL = StripTags(text.substr(15, g - 15));

      const size_t m = text.find(kDescriptionStart);
      const size_t drop = m == std::string_view::npos ? 17 : m + kDescriptionStart.size();
      text = drop >= text.size() ? std::string_view() : text.substr(drop);
      hit.Description = StripTags(Head(text, text.find(kDescriptionEnd)));

      if (hit.URL.empty()) {
        state.StopMark = true;
      } else if (sink) {
        sink(hit);
      }
    }
  } catch (...) {
    // Any error inside the block loop ends the page.
  }
}

}  // namespace quellion
