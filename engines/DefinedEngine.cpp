#include "engines/DefinedEngine.h"

#include "engines/DefinitionExtractor.h"
#include "engines/RequestAddress.h"
#include "net/HttpCli.h"
#include "platform/TextUtil.h"
#include "search/SearchControl.h"

namespace quellion {
namespace {

// One task's pages of a definition: counted 0, 1, 2, ... (one page without paging);
// the next is asked for only while the previous one added a hit, a short page being
// no reason to stop.
class TDefinitionReader : public TPageReader {
 public:
  TDefinitionReader(const TEngineDefinition& definition, const TSearchRequest& request)
      : keywords_(request.Keywords),
        languageIndex_(request.LanguageIndex),
        extractor_(definition, DefinitionLanguage(definition, request.LanguageIndex)) {}

  // Headers the client writes itself take the definition's value; the others follow
  // the client's own lines.
  void SetUpClient(THttpCli& client) const override {
    for (const auto& [name, value] : extractor_.Definition().Headers) {
      if (SameTextAscii(name, "user-agent"))
        client.Agent = value;
      else if (SameTextAscii(name, "accept"))
        client.Accept = value;
      else if (SameTextAscii(name, "referer"))
        client.Reference = value;
      else if (SameTextAscii(name, "cookie"))
        client.Cookie = value;
      else
        client.ExtraHeaders.emplace_back(name, value);
    }
  }

  std::string NextPageAddress() override {
    const TEngineDefinition& definition = extractor_.Definition();
    if (definition.Post)
      body_ = RequestBody(definition, keywords_, languageIndex_, pageIndex_);
    return RequestAddress(definition, keywords_, languageIndex_, pageIndex_++);
  }

  std::optional<std::string> PageBody() const override {
    if (!extractor_.Definition().Post)
      return std::nullopt;
    return body_;
  }

  void ReadPage(const std::string& page, const std::string& contentType, const std::string& pageUrl,
                const std::function<bool()>& mayGoOn, const THitSink& sink) override {
    challenge_ = extractor_.Extract(page, contentType, pageUrl, mayGoOn, sink);
  }

  std::string BlockedReason(int32_t status) const override {
    for (int blocked : extractor_.Definition().BlockedStatus)
      if (status == blocked)
        return "HTTP " + std::to_string(status);
    return challenge_ ? "challenge page" : std::string();
  }

  int RestMinutes() const override { return extractor_.Definition().RestMinutes; }

  bool GoOnAfterPage(int added) override { return added > 0 && extractor_.Definition().Paging; }
  std::string ReadFailure() const override { return extractor_.Failure(); }

 private:
  std::string keywords_;
  int languageIndex_;
  int pageIndex_ = 0;       // of the next page
  std::string body_;        // of the page last asked for (POST)
  bool challenge_ = false;  // the page last read was a challenge page
  TDefinitionExtractor extractor_;
};

class TDefinitionEngine : public TDefinedEngine {
 public:
  explicit TDefinitionEngine(const TEngineDefinition& definition) : definition_(definition) {}
  const std::string& Name() const override { return definition_.Name; }
  std::unique_ptr<TPageReader> NewReader(const TSearchRequest& request) const override {
    return std::make_unique<TDefinitionReader>(definition_, request);
  }

 private:
  const TEngineDefinition definition_;
};

}  // namespace

std::shared_ptr<const TDefinedEngine> MakeDefinedEngine(const TEngineDefinition& definition) {
  return std::make_shared<TDefinitionEngine>(definition);
}

}  // namespace quellion
