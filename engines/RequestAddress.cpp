#include "engines/RequestAddress.h"

#include <cstdint>

#include "engines/Placeholders.h"
#include "engines/TextTools.h"
#include "platform/TextUtil.h"
#include "search/LanguageTable.h"
#include "search/QueryBuilder.h"

namespace quellion {

std::string DefinitionLanguage(const TEngineDefinition& definition, int languageIndex) {
  if (languageIndex < 0 || languageIndex >= kLanguageCount)
    return definition.LangAll;
  const TLanguage& language = LanguageTable[languageIndex];
  for (const auto& [name, code] : definition.Languages)
    if (SameTextAscii(name, language.Name) || SameTextAscii(name, language.Code))
      return code;
  return definition.LangAll;
}

namespace {

// A form field's value: blanks as '+', every byte but the unreserved ones as %XX.
std::string FormEncode(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ')
      out += '+';
    else
      out += PercentEncode(std::string_view(&c, 1));
  }
  return out;
}

std::string Fill(const std::string& pattern, const TEngineDefinition& definition,
                 const std::string& keywords, int languageIndex, int pageIndex, bool form) {
  return ExpandPlaceholders(pattern, [&](std::string_view name, std::string& out) {
    if (name == "query")
      out += form ? FormEncode(keywords) : EncodeKeywords(keywords);
    else if (name == "pageno")
      out += std::to_string(int64_t{definition.FirstPageNum} + pageIndex);
    else if (name == "offset")
      out += std::to_string(int64_t{pageIndex} * definition.PageSize);
    else if (name == "first")
      out += std::to_string(int64_t{pageIndex} * definition.PageSize + 1);
    else if (name == "lang")  // a value, never a piece of the address's syntax
      out += PercentEncode(DefinitionLanguage(definition, languageIndex));
    else
      return false;
    return true;
  });
}

}  // namespace

std::string RequestAddress(const TEngineDefinition& definition, const std::string& keywords,
                           int languageIndex, int pageIndex) {
  return Fill(definition.SearchUrl, definition, keywords, languageIndex, pageIndex, false);
}

std::string RequestBody(const TEngineDefinition& definition, const std::string& keywords,
                        int languageIndex, int pageIndex) {
  return Fill(definition.PostBody, definition, keywords, languageIndex, pageIndex, true);
}

}  // namespace quellion
