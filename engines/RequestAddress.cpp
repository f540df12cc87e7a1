#include "engines/RequestAddress.h"

#include <cstdint>

#include "engines/Placeholders.h"
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

std::string Fill(const std::string& pattern, const TEngineDefinition& definition,
                 const std::string& keywords, int languageIndex, int pageIndex) {
  return ExpandPlaceholders(pattern, [&](std::string_view name, std::string& out) {
    if (name == "query")
      out += EncodeKeywords(keywords);
    else if (name == "pageno")
      out += std::to_string(int64_t{definition.FirstPageNum} + pageIndex);
    else if (name == "offset")
      out += std::to_string(int64_t{pageIndex} * definition.PageSize);
    else if (name == "first")
      out += std::to_string(int64_t{pageIndex} * definition.PageSize + 1);
    else if (name == "lang")
      out += DefinitionLanguage(definition, languageIndex);
    else
      return false;
    return true;
  });
}

}  // namespace

std::string RequestAddress(const TEngineDefinition& definition, const std::string& keywords,
                           int languageIndex, int pageIndex) {
  return Fill(definition.SearchUrl, definition, keywords, languageIndex, pageIndex);
}

std::string RequestBody(const TEngineDefinition& definition, const std::string& keywords,
                        int languageIndex, int pageIndex) {
  return Fill(definition.PostBody, definition, keywords, languageIndex, pageIndex);
}

}  // namespace quellion
