#include "engines/RequestAddress.h"

#include <cstdint>

#include "engines/TextTools.h"
#include "search/LanguageTable.h"
#include "search/QueryBuilder.h"

namespace quellion {

std::string DefinitionLanguage(const TEngineDefinition& definition, int languageIndex) {
  if (languageIndex < 0 || languageIndex >= kLanguageCount)
    return definition.LangAll;
  const TLanguage& language = LanguageTable[languageIndex];
  for (const auto& [name, code] : definition.Languages)
    if (SameNameIgnoringCase(name, language.Name) || SameNameIgnoringCase(name, language.Code))
      return code;
  return definition.LangAll;
}

std::string RequestAddress(const TEngineDefinition& definition, const std::string& keywords,
                           int languageIndex, int pageIndex) {
  const std::string& pattern = definition.SearchUrl;
  std::string out;
  out.reserve(pattern.size() + keywords.size() + 16);
  size_t pos = 0;
  while (pos < pattern.size()) {
    const size_t open = pattern.find('{', pos);
    const size_t close = open == std::string::npos ? open : pattern.find('}', open);
    if (close == std::string::npos) {
      out.append(pattern, pos, std::string::npos);
      break;
    }
    out.append(pattern, pos, open - pos);
    const std::string_view name(pattern.data() + open + 1, close - open - 1);
    if (name == "query")
      out += EncodeKeywords(keywords);
    else if (name == "pageno")
      out += std::to_string(int64_t{definition.FirstPageNum} + pageIndex);
    else if (name == "offset")
      out += std::to_string(int64_t{pageIndex} * definition.PageSize);
    else if (name == "lang")  // a value, never a piece of the address's syntax
      out += PercentEncode(DefinitionLanguage(definition, languageIndex));
    else
      out.append(pattern, open, close - open + 1);
    pos = close + 1;
  }
  return out;
}

}  // namespace quellion
