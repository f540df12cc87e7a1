#include "search/QueryBuilder.h"

#include "platform/TextUtil.h"
#include "search/LanguageTable.h"

namespace quellion {

std::string EncodeKeywords(const std::string& keywords) {
  std::string out;
  out.reserve(keywords.size() + 8);
  for (char c : keywords) {
    switch (c) {
      case ' ':
        out += '+';
        break;
      case '"':
        out += "%22";
        break;
      case '\'':
        out += "%27";
        break;
      case '+':
        out += "%2B";
        break;
      default:
        // A control byte copied raw would end the request line (CR, LF) or cut it (NUL).
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          static const char kHex[] = "0123456789ABCDEF";
          out += '%';
          out += kHex[static_cast<unsigned char>(c) >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string LanguageValue(TEngine engine, int languageIndex) {
  if (languageIndex < 0 || languageIndex >= kLanguageCount)
    languageIndex = 0;
  const TLanguage& row = LanguageTable[languageIndex];
  switch (engine) {
    case TEngine::Altavista:
      return std::string(row.Code);
    case TEngine::AllTheWeb:
      return languageIndex == 0 ? "any" : ToLowerAscii(row.Name);
    case TEngine::Google:
      return languageIndex == 0 ? "" : "lang_" + ToLowerAscii(row.Code);
    case TEngine::Excite:
    case TEngine::Hotbot:
      break;
  }
  return {};
}

std::string FirstPageAddress(TEngine engine, const std::string& host,
                             const std::string& encodedKeywords, int languageIndex) {
  const std::string base = "http://" + host;
  const std::string language = LanguageValue(engine, languageIndex);
  switch (engine) {
    case TEngine::Altavista:
      return base + "/cgi-bin/query?pg=q&text=yes&q=" + encodedKeywords + "&kl=" + language +
             "&stype=stext";
    case TEngine::Excite:
      return base + "/search.gw?c=web&s=" + encodedKeywords + "&showSummary=true";
    case TEngine::Hotbot:
      return base + "/?MT=" + encodedKeywords;
    case TEngine::AllTheWeb:
      return base + "/cgi-bin/advsearch?terms=3&type=all&query=" + encodedKeywords +
             "&exec=FAST+Search&lang=" + language + "&hits=10&nooc=on";
    case TEngine::Google:
      return base + "/search?as_qt=w&as_q=" + encodedKeywords + "&lr=" + language +
             "&num=10&btnG=Google+Search";
  }
  return base;
}

std::string FirstPageSuffix(TEngine engine) {
  return engine == TEngine::Excite ? "&start=0&perPage=10" : "";
}

std::string PageSuffix(TEngine engine, int32_t n) {
  const std::string counter = std::to_string(n);
  switch (engine) {
    case TEngine::Altavista:
      return "&stq=" + counter;
    case TEngine::Excite:
      return "&start=" + counter + "&perPage=10";
    case TEngine::Hotbot:
      return "&II=" + counter + "&RPN=3&SQ=1";
    case TEngine::AllTheWeb:
      return "&offset=" + counter;
    case TEngine::Google:
      return "&start=" + counter;
  }
  return {};
}

bool KeywordsAreBlank(std::string_view keywords) {
  return IsBlankText(keywords);
}

}  // namespace quellion
