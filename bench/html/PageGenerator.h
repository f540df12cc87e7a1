#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quellion::bench {

// A search engine result page of the kind the extraction rules read: head with
// scripts and styles, navigation tables, a form, `results` hits (title link,
// description with markup and entities, address line), paging links and a footer.
// The same seed always gives the same page.
std::string MakeResultPage(uint32_t seed, int results);

// Result pages joined until the text reaches at least `bytes`.
std::string MakeLargePage(size_t bytes);

}  // namespace quellion::bench
