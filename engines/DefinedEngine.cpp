#include "engines/DefinedEngine.h"

#include "engines/DefinitionExtractor.h"
#include "engines/RequestAddress.h"
#include "search/SearchControl.h"

namespace quellion {
namespace {

class TDefinedReader : public TPageReader {
 public:
  TDefinedReader(const TEngineDefinition& definition, const TSearchRequest& request)
      : keywords_(request.Keywords),
        languageIndex_(request.LanguageIndex),
        extractor_(definition, DefinitionLanguage(definition, request.LanguageIndex)) {}

  std::string PageAddress(int pageIndex) const override {
    return RequestAddress(extractor_.Definition(), keywords_, languageIndex_, pageIndex);
  }

  void Extract(const std::string& page, const std::string& contentType, const std::string& pageUrl,
               const std::function<bool()>& mayGoOn, const THitSink& sink) override {
    extractor_.Extract(page, contentType, pageUrl, mayGoOn, sink);
  }

  std::string ReadFailure() const override { return extractor_.Failure(); }

 private:
  std::string keywords_;
  int languageIndex_;
  TDefinitionExtractor extractor_;
};

class TDefinedEngine : public TPageEngine {
 public:
  explicit TDefinedEngine(const TEngineDefinition& definition) : definition_(definition) {}
  const std::string& Name() const override { return definition_.Name; }
  bool Paging() const override { return definition_.Paging; }
  const std::vector<std::pair<std::string, std::string>>& Headers() const override {
    return definition_.Headers;
  }
  std::unique_ptr<TPageReader> NewReader(const TSearchRequest& request) const override {
    return std::make_unique<TDefinedReader>(definition_, request);
  }

 private:
  const TEngineDefinition definition_;
};

}  // namespace

std::shared_ptr<const TPageEngine> MakeDefinedEngine(const TEngineDefinition& definition) {
  return std::make_shared<TDefinedEngine>(definition);
}

}  // namespace quellion
