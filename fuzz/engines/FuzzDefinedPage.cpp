// The defined engines' page reader on hostile pages: the first byte picks the rules
// (HTML with XPath, with or without a results rule, or JSON with member paths or an
// address template), the rest is the page. Every hit must carry an address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engines/DefinitionExtractor.h"

namespace {

using namespace quellion;

TEngineDefinition Rules(uint8_t pick) {
  TEngineDefinition d;
  d.Name = "Fuzz";
  d.SearchUrl = "http://engine.test/search?q={query}";
  d.UrlUnwrapParam = pick & 4 ? "uddg" : "";
  switch (pick % 4) {
    case 0:
      d.Type = TDefinitionType::Html;
      d.ResultsXPath = "//div[contains(@class, 'result')]";
      d.UrlXPath = ".//a[contains(@class, 'title')]/@href";
      d.TitleXPath = ".//a";
      d.ContentXPath = ".//*[contains(@class, 'snippet')]";
      break;
    case 1:
      d.Type = TDefinitionType::Html;
      d.UrlXPath = "//h2/a/@href";
      d.TitleXPath = "//h2/a";
      d.ContentXPath = "//p";
      break;
    case 2:
      d.Type = TDefinitionType::Json;
      d.ResultsQuery = "query/search";
      d.UrlQuery = "url";
      d.TitleQuery = "title";
      d.ContentQuery = "snippet";
      break;
    default:
      d.Type = TDefinitionType::Json;
      d.ResultsQuery = "results";
      d.UrlTemplate = "https://example.test/{id}/{lang}";
      d.TitleQuery = "name/0";
      break;
  }
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string page(reinterpret_cast<const char*>(data + 1), size - 1);
  TDefinitionExtractor extractor(Rules(data[0]), "en");
  int hits = 0;
  extractor.Extract(
      page, data[0] & 8 ? "text/html; charset=windows-1252" : "", "http://engine.test/search?q=x",
      [&] { return hits < 1000; },
      [&](const THit& hit) {
        if (hit.URL.empty())
          std::abort();
        ++hits;
      });
  return 0;
}
