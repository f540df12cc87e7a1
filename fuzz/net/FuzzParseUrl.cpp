// ParseUrl on arbitrary text: never fails, and every part is a piece of the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const quellion::TUrlParts p = quellion::ParseUrl(url);
  for (const std::string* part : {&p.User, &p.Pass, &p.Host, &p.Port, &p.Path})
    if (part->size() > url.size() || url.find(*part) == std::string::npos)
      std::abort();
  if (p.Proto != "http" && p.Proto != "mailto" && url.find(p.Proto) == std::string::npos)
    std::abort();
  return 0;
}
