#pragma once

#include <functional>
#include <string>

#include "engines/EngineDefinition.h"
#include "engines/LibXml.h"
#include "search/Hit.h"

namespace quellion {

// Reads an HTML result page with libxml2's HTML reader and a definition's XPath 1.0
// rules. Holds its own compiled XPaths, so each task (thread) uses its own.
class THtmlExtractor {
 public:
  explicit THtmlExtractor(const TEngineDefinition& definition);
  ~THtmlExtractor();
  THtmlExtractor(const THtmlExtractor&) = delete;
  THtmlExtractor& operator=(const THtmlExtractor&) = delete;

  // libxml2's count of XPath operations allowed for one page, all its expressions
  // together: some thousand times what a real result page needs, a second or two of work.
  static constexpr unsigned long kMaxXPathOperations = 20'000'000;

  // Hands each result to sink in page order, asking mayGoOn before each (false: the
  // page ends). addressOf turns the result's raw address into the one handed on; a
  // result whose address comes back empty is dropped. contentType's charset is the
  // page's encoding; else the page's meta; else UTF-8. Relative addresses in the
  // document are based on pageUrl. A page that cannot be read yields nothing. The
  // work of one page's expressions is bounded (kMaxXPathOperations): a page that needs
  // more ends early and Failure() says so. A page on which the definition's
  // blocked_xpath finds something is a challenge page: it yields nothing and the
  // result is true.
  bool Extract(const std::string& page, const std::string& contentType, const std::string& pageUrl,
               const std::function<bool()>& mayGoOn,
               const std::function<std::string(const std::string& href)>& addressOf,
               const THitSink& sink);

  // Why the last page was not read to its end ("" when it was).
  const std::string& Failure() const { return failure_; }

 private:
  std::string failure_;
  TXPathPtr results_, url_, title_, content_, blocked_;
};

}  // namespace quellion
