#pragma once

#include <functional>
#include <string>

#include "engines/EngineDefinition.h"
#include "search/Hit.h"

namespace quellion {

// Reads a JSON result page by a definition's member paths; a result's address comes
// from url_query, or from url_template with the result's fields filled in.
class TJsonExtractor {
 public:
  // langValue fills a {lang} in url_template that names no field of the result.
  // Keeps a reference to definition, which must outlive the extractor.
  TJsonExtractor(const TEngineDefinition& definition, std::string langValue);

  // Hands each result to sink in page order, asking mayGoOn before each (false: the
  // page ends). addressOf turns the result's raw address into the one handed on; a
  // result whose address comes back empty is dropped. A page that is not JSON yields
  // nothing. A page on which blocked_query finds something is a challenge page: it
  // yields nothing and the result is true.
  bool Extract(const std::string& page, const std::function<bool()>& mayGoOn,
               const std::function<std::string(const std::string& href)>& addressOf,
               const THitSink& sink);

 private:
  const TEngineDefinition& definition_;
  std::string langValue_;
};

}  // namespace quellion
