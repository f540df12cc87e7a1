#pragma once

#include <functional>
#include <memory>
#include <string>

#include "search/Engines.h"
#include "search/GoogleRule.h"
#include "search/Hit.h"
#include "search/TreeRules.h"

namespace quellion {

class THTMLParser;

// The rule of one classic engine with the state it keeps from page to page (the
// parser of the tree engines, All The Web's variables, Google's stop mark): what a
// TClassicPageReader reads its pages with, and what `extract` runs. One thread at a
// time.
class TClassicRules {
 public:
  explicit TClassicRules(TEngine engine);
  ~TClassicRules();

  // Runs the rule on one page: tree engines parse it (Clear, Parse) and walk Root;
  // Google scans the text, asking mayReadBlock before every block. Every hit goes to
  // sink at once. Raises ERuleFailed when the page ends the task.
  void Extract(const std::string& page, const std::function<bool()>& mayReadBlock,
               const THitSink& sink);

  TEngine Engine() const { return engine_; }
  // True once the rule has ended its reading for good (Google's stop mark): later
  // pages yield nothing.
  bool RuleStopped() const { return google_.StopMark; }

 private:
  TEngine engine_;
  std::unique_ptr<THTMLParser> parser_;  // none for Google
  TAllTheWebState allTheWeb_;
  TGoogleState google_;
};

}  // namespace quellion
