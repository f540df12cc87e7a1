#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "search/Engines.h"

namespace quellion {

// The addresses an engine task fetches: the first-page address once per task, then
// per request that address followed by the current page suffix (suffixes replace
// each other, they never accumulate).

// Keywords that trim to nothing (bytes 0 to 32 only) start no search: the window's button
// and Enter, and quellion-cli's search, follow this one rule.
bool KeywordsAreBlank(std::string_view keywords);

// Keyword text in query form, byte by byte: space -> "+", '"' -> "%22", '\'' -> "%27",
// '+' -> "%2B", control bytes (below 0x20, and 0x7F) -> "%XX"; every other byte unchanged.
// Not trimmed.
std::string EncodeKeywords(const std::string& keywords);

// The language value the engine sends for language index i; an index outside 0..25
// (no row selected, or a stored index naming no row) sends what "any language" sends.
// Excite and Hotbot send none (empty).
std::string LanguageValue(TEngine engine, int languageIndex);

// "http://" + host + the engine's path and query with the encoded keywords and,
// for Altavista, All The Web and Google, the language value. host may carry ":port".
std::string FirstPageAddress(TEngine engine, const std::string& host,
                             const std::string& encodedKeywords, int languageIndex);

// The suffix of the task's first request (only Excite's is not empty).
std::string FirstPageSuffix(TEngine engine);
// The suffix of every later request, for page counter n (decimal, no padding).
std::string PageSuffix(TEngine engine, int32_t n);

}  // namespace quellion
