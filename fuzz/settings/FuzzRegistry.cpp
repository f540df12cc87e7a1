// Registry files from disk may be damaged in any way: reading one must never fail, and
// what was read must survive writing and reading again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/Registry.h"

namespace {

void ReadEverything(const quellion::TRegistryKey& key, int depth) {
  for (const std::string& name : key.ValueNames()) {
    std::uint32_t d;
    std::string s;
    key.ReadDword(name, d);
    key.ReadString(name, s);
    key.ReadBinary(name, s);
  }
  if (depth > quellion::kMaxKeyDepth)
    std::abort();
  for (const std::string& sub : key.SubKeyNames())
    ReadEverything(*key.SubKey(sub), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  quellion::TRegistryKey root("HKEY_CURRENT_USER");
  quellion::ParseRegistryText(text, root);
  ReadEverything(root, 0);

  const std::string once = quellion::FormatRegistryText(root);
  quellion::TRegistryKey again("HKEY_CURRENT_USER");
  if (quellion::ParseRegistryText(once, again).Damaged)
    std::abort();
  if (quellion::FormatRegistryText(again) != once)
    std::abort();
  return 0;
}
