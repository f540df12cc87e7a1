#pragma once

#include <string>

#include "engines/EngineDefinition.h"

namespace quellion {

// The {lang} value for a language index (0..25 of the language list): the code the
// definition's "languages" gives for that language's name (or its two-letter code),
// else lang_all. Any other index sends lang_all.
std::string DefinitionLanguage(const TEngineDefinition& definition, int languageIndex);

// search_url with its placeholders filled: {query} the keywords encoded as the
// classic engines encode them, {pageno} first_page_num + pageIndex, {offset}
// pageIndex * page_size, {first} that offset + 1, {lang} DefinitionLanguage
// percent-encoded (all but letters, digits and - . _ ~).
std::string RequestAddress(const TEngineDefinition& definition, const std::string& keywords,
                           int languageIndex, int pageIndex);
// post_body with the same placeholders filled (for "method": "POST"); {query} is
// form-encoded there (blanks as '+', every other byte but letters, digits and - . _ ~
// as %XX), so no keyword can add or split a field.
std::string RequestBody(const TEngineDefinition& definition, const std::string& keywords,
                        int languageIndex, int pageIndex);

}  // namespace quellion
