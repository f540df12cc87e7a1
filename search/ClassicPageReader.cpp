#include "search/ClassicPageReader.h"

#include "search/QueryBuilder.h"
#include "search/SearchControl.h"

namespace quellion {

TClassicPageReader::TClassicPageReader(TEngine engine, const std::string& host,
                                       const TSearchRequest& request)
    : rules_(engine),
      firstPage_(
          FirstPageAddress(engine, host, EncodeKeywords(request.Keywords), request.LanguageIndex)),
      n_(engine == TEngine::Google ? 0 : 1) {}

std::string TClassicPageReader::NextPageAddress() {
  if (!asked_) {
    asked_ = true;
    return firstPage_ + FirstPageSuffix(rules_.Engine());
  }
  return firstPage_ + PageSuffix(rules_.Engine(), n_);
}

void TClassicPageReader::ReadPage(const std::string& page, const std::string& /*contentType*/,
                                  const std::string& /*pageUrl*/,
                                  const std::function<bool()>& mayGoOn, const THitSink& sink) {
  rules_.Extract(page, mayGoOn, sink);
}

bool TClassicPageReader::GoOnAfterPage(int added) {
  n_ += added;
  return added > 0;
}

}  // namespace quellion
