#pragma once

#include <cstdint>
#include <string>

#include "search/ClassicRules.h"
#include "search/PageReader.h"

namespace quellion {

struct TSearchRequest;

// A classic engine's pages: the first page's address from the keywords and
// language, later pages by the number of hits taken so far (n), read with the
// engine's rule. The next page is asked for only while a page added a hit.
class TClassicPageReader : public TPageReader {
 public:
  // host is the engine's web search host ("host" or "host:port").
  TClassicPageReader(TEngine engine, const std::string& host, const TSearchRequest& request);

  std::string NextPageAddress() override;
  void ReadPage(const std::string& page, const std::string& contentType, const std::string& pageUrl,
                const std::function<bool()>& mayGoOn, const THitSink& sink) override;
  bool GoOnAfterPage(int added) override;
  bool RuleStopped() const override { return rules_.RuleStopped(); }

 private:
  TClassicRules rules_;
  std::string firstPage_;  // the address without the page suffix
  bool asked_ = false;     // the first page has been asked for
  // The page counter of the suffix: Google counts from 0, the others from 1, and
  // every hit the table took counts one.
  int32_t n_;
};

}  // namespace quellion
