// The extraction rules on hostile pages: the first byte picks the engine, the rest is
// the page, read twice as two successive pages of one task (state carries over).
#include <cstddef>
#include <cstdint>
#include <string>

#include "search/ClassicRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  using namespace quellion;
  const TEngine engine = kAllEngines[data[0] % kEngineCount];
  const std::string page(reinterpret_cast<const char*>(data + 1), size - 1);
  TClassicRules rules(engine);
  int rows = 0;
  auto sink = [&](const THit& hit) { rows += hit.URL.empty() ? 0 : 1; };
  auto mayRead = [&] { return rows < 1000; };
  for (int pass = 0; pass < 2; ++pass) {
    try {
      rules.Extract(page, mayRead, sink);
    } catch (const ERuleFailed&) {
      break;
    }
  }
  return 0;
}
