// Definition files are the user's or anyone's: loading one gives a definition or a reason,
// never a crash. A loaded definition's request address is built too, for every language.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engines/EngineDefinition.h"
#include "engines/RequestAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quellion;
  const TDefinitionLoad load =
      ParseDefinition(std::string_view(reinterpret_cast<const char*>(data), size));
  if (load.Definition.has_value() == !load.Error.empty())
    std::abort();  // exactly one of them
  if (load.Definition) {
    for (int language = -1; language <= 26; ++language)
      (void)RequestAddress(*load.Definition, "a b\r\n\"+'", language, 3);
  }
  return 0;
}
