#pragma once

#include <array>
#include <string_view>

namespace quellion {

// One row of the language table: a two-letter code and an English language name.
struct TLanguage {
  std::string_view Code;
  std::string_view Name;
};

inline constexpr int kLanguageCount = 26;

// The 26 result languages in the order of the language box; row 0 is "any language".
inline constexpr std::array<TLanguage, kLanguageCount> LanguageTable = {{
    {"XX", "any language"}, {"en", "English"},    {"zh", "Chinese"},    {"cs", "Czech"},
    {"da", "Danish"},       {"nl", "Dutch"},      {"et", "Estonian"},   {"fi", "Finnish"},
    {"fr", "French"},       {"de", "German"},     {"el", "Greek"},      {"he", "Hebrew"},
    {"hu", "Hungarian"},    {"is", "Icelandic"},  {"it", "Italian"},    {"ja", "Japanese"},
    {"ko", "Korean"},       {"lv", "Latvian"},    {"lt", "Lithuanian"}, {"no", "Norwegian"},
    {"pl", "Polish"},       {"pt", "Portuguese"}, {"ro", "Romanian"},   {"ru", "Russian"},
    {"es", "Spanish"},      {"sv", "Swedish"},
}};

}  // namespace quellion
