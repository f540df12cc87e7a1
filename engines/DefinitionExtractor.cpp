#include "engines/DefinitionExtractor.h"

#include <libxml/uri.h>

#include "engines/TextTools.h"

namespace quellion {
namespace {

// Whether text begins with a URI scheme and its ':' (RFC 3986: ALPHA *( ALPHA / DIGIT /
// "+" / "-" / "." )).
bool HasScheme(const std::string& text) {
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !alpha(text[0]))
    return false;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':')
      return true;
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
      return false;
  }
  return false;
}

}  // namespace

TDefinitionExtractor::TDefinitionExtractor(TEngineDefinition definition, std::string langValue)
    : definition_(std::move(definition)) {
  if (definition_.Type == TDefinitionType::Html)
    html_ = std::make_unique<THtmlExtractor>(definition_);
  else
    json_ = std::make_unique<TJsonExtractor>(definition_, std::move(langValue));
}

TDefinitionExtractor::~TDefinitionExtractor() = default;

void TDefinitionExtractor::Extract(const std::string& page, const std::string& contentType,
                                   const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                                   const THitSink& sink) {
  const auto addressOf = [this, &pageUrl](const std::string& href) {
    return FinalAddress(href, pageUrl);
  };
  if (html_)
    html_->Extract(page, contentType, pageUrl, mayGoOn, addressOf, sink);
  else
    json_->Extract(page, mayGoOn, addressOf, sink);
}

std::string TDefinitionExtractor::FinalAddress(const std::string& href,
                                               const std::string& pageUrl) const {
  std::string address = CollapseWhiteSpace(href);
  if (address.empty())
    return {};
  auto resolve = [&pageUrl](const std::string& relative) {
    // An address with a scheme comes back from xmlBuildURI as it is (or, when it does
    // not parse, not at all, and is kept as it is): not worth parsing twice.
    if (pageUrl.empty() || HasScheme(relative))
      return relative;
    xmlChar* built = xmlBuildURI(reinterpret_cast<const xmlChar*>(relative.c_str()),
                                 reinterpret_cast<const xmlChar*>(pageUrl.c_str()));
    if (!built)
      return relative;
    std::string result(reinterpret_cast<const char*>(built));
    xmlFree(built);
    return result;
  };
  address = resolve(address);
  if (!definition_.UrlUnwrapParam.empty()) {
    const std::string inner = QueryParameter(address, definition_.UrlUnwrapParam);
    if (!inner.empty())
      address = resolve(inner);
  }
  return StoredAddress(address);
}

}  // namespace quellion
