#include "engines/DefinitionExtractor.h"

#include <libxml/uri.h>

#include <optional>

#include "engines/TextTools.h"
#include "platform/TextUtil.h"
#include "search/RowAddress.h"

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

bool IsWebAddress(const std::string& text) {
  auto startsWith = [&text](const char* scheme, size_t n) {
    return text.size() > n && SameTextAscii(std::string_view(text).substr(0, n), scheme);
  };
  return startsWith("http://", 7) || startsWith("https://", 8);
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

bool TDefinitionExtractor::Extract(const std::string& page, const std::string& contentType,
                                   const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                                   const THitSink& sink) {
  const auto addressOf = [this, &pageUrl](const std::string& href) {
    return FinalAddress(href, pageUrl);
  };
  if (html_)
    return html_->Extract(page, contentType, pageUrl, mayGoOn, addressOf, sink);
  return json_->Extract(page, mayGoOn, addressOf, sink);
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
  // A redirect wrapper gives way to the address it holds; anything in it but an
  // http or https address leaves the link as it was.
  std::string inner;
  if (!definition_.UrlUnwrapParam.empty()) {
    inner = QueryParameter(address, definition_.UrlUnwrapParam);
    if (!definition_.UrlUnwrapBase64Prefix.empty()) {
      const std::string& prefix = definition_.UrlUnwrapBase64Prefix;
      std::optional<std::string> decoded;
      if (inner.compare(0, prefix.size(), prefix) == 0)
        decoded = Base64UrlDecode(std::string_view(inner).substr(prefix.size()));
      inner = decoded ? *decoded : std::string();
    }
  }
  if (inner.empty() && !definition_.UrlUnwrapSegment.empty())
    inner = PathSegmentValue(address, definition_.UrlUnwrapSegment);
  if (!inner.empty()) {
    inner = CollapseWhiteSpace(inner);
    if (IsWebAddress(inner))
      address = inner;
  }
  return StoredAddress(address);
}

}  // namespace quellion
