#pragma once

#include <string>

#include "html/HierarchyNode.h"
#include "search/Hit.h"

namespace quellion {

// The extraction rules of the four engines whose pages are read as a tag tree. Each
// takes the parser's Root and hands on hits in page order. Outcomes of a failed
// lookup, as fixed per rule: the entry is skipped (the walk goes on), the page ends
// (the rule returns), or the task ends (ERuleFailed is raised). Errors inside the
// per-hit work, the sink's included, only skip the entry.
//
// Name tests: FindTag compares whole names ignoring ASCII case; "starts with" tests
// compare the beginning of Name exactly, so they accept attribute text glued onto a
// name by line feeds ("dlclass=x") but not "DL".

void ExtractAltavista(const TTagNode* root, const THitSink& sink);
void ExtractExcite(const TTagNode* root, const THitSink& sink);
void ExtractHotbot(const TTagNode* root, const THitSink& sink);

// All The Web's title, URL and description are task variables: they start empty and
// keep their values from one entry, and one page, to the next until set again.
struct TAllTheWebState {
  std::string Title;
  std::string URL;
  std::string Description;
};
void ExtractAllTheWeb(const TTagNode* root, TAllTheWebState& state, const THitSink& sink);

// The Name Excite's page body gets when its start tag's parts are separated by line
// feeds alone.
extern const char* const kExciteBodyName;

}  // namespace quellion
