#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engines/EngineDefinition.h"
#include "engines/HtmlExtractor.h"
#include "engines/JsonExtractor.h"
#include "search/Hit.h"

namespace quellion {

// Runs one definition's rules on result pages (HTML: THtmlExtractor, JSON:
// TJsonExtractor) and turns each result's address into the stored one. Holds its own
// compiled XPaths, so each task (thread) uses its own extractor.
class TDefinitionExtractor {
 public:
  // langValue fills a {lang} in url_template that names no field of the result.
  explicit TDefinitionExtractor(TEngineDefinition definition, std::string langValue = {});
  ~TDefinitionExtractor();
  TDefinitionExtractor(const TDefinitionExtractor&) = delete;
  TDefinitionExtractor& operator=(const TDefinitionExtractor&) = delete;

  // Hands each result of the page with an address to sink, in page order, asking
  // mayGoOn before each (false: the page ends). contentType is the answer's
  // Content-Type header (its charset is the HTML page's encoding; else the page's
  // meta; else UTF-8); relative addresses are resolved against pageUrl. A page that
  // cannot be read yields nothing. True when the page is the engine's challenge page
  // (blocked_xpath or blocked_query found something); it then yields nothing.
  bool Extract(const std::string& page, const std::string& contentType, const std::string& pageUrl,
               const std::function<bool()>& mayGoOn, const THitSink& sink);

  // Why the last page was not read to its end, e.g. a page too costly to read ("" when
  // it was read).
  std::string Failure() const { return html_ ? html_->Failure() : std::string(); }

  const TEngineDefinition& Definition() const { return definition_; }

 private:
  // The address as a row stores it: resolved, unwrapped, without "http://"; "" for none.
  std::string FinalAddress(const std::string& href, const std::string& pageUrl) const;

  TEngineDefinition definition_;
  // One of the two, by the definition's type.
  std::unique_ptr<THtmlExtractor> html_;
  std::unique_ptr<TJsonExtractor> json_;
};

}  // namespace quellion
