// Parses arbitrary bytes with every event assigned, then reads the tree the way the
// extraction rules do. Checks the tree's own invariants (parent links, text nodes).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "html/HtmlParser.h"

namespace {

void CheckTree(const quellion::THierarchyNode& root) {
  std::vector<const quellion::THierarchyNode*> pending{&root};
  while (!pending.empty()) {
    const auto* node = pending.back();
    pending.pop_back();
    for (const auto* child : node->Children) {
      if (child->Parent != node)
        std::abort();
      if (child->NodeType == 2 && (child->Name != "PCDATA" || child->Text.empty()))
        std::abort();
      pending.push_back(child);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  quellion::THTMLParser parser;
  size_t starts = 0, completes = 0, ends = 0, warnings = 0;
  parser.OnStartTag = [&](quellion::THTMLParser*, quellion::TTagNode* node) {
    if (!node->GetParent())
      std::abort();
    ++starts;
  };
  parser.OnHTMLTag = [&](quellion::THTMLParser*, quellion::TTagNode*) { ++completes; };
  parser.OnEndTag = [&](quellion::THTMLParser*, const std::string&) { ++ends; };
  parser.OnSyntaxWarning = [&](quellion::THTMLParser*, const std::string& text) {
    if (text.empty() || text.back() != ']')
      std::abort();
    ++warnings;
  };
  parser.Parse(page);
  if (completes > starts)
    std::abort();
  CheckTree(*parser.Root());
  if (quellion::TTagNode* body = parser.Root()->FindTag("body"))
    (void)body->GetText();
  std::string text = parser.Root()->GetText();
  if (text.size() > size)
    std::abort();
  parser.Clear();
  if (parser.Root()->ChildCount() != 0)
    std::abort();
  // A second parse without handlers must build the same number of nodes.
  parser.Parse(page);
  return 0;
}
