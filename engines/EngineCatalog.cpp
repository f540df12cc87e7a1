#include "engines/EngineCatalog.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/TextUtil.h"
#include "settings/Registry.h"

#ifndef QUELLION_SOURCE_ENGINES_DIR
#define QUELLION_SOURCE_ENGINES_DIR ""
#endif
#ifndef QUELLION_INSTALLED_ENGINES_DIR
#define QUELLION_INSTALLED_ENGINES_DIR "/usr/local/share/tarnwick-quellion/engines"
#endif
#ifndef QUELLION_BUILD_DIR
#define QUELLION_BUILD_DIR ""
#endif

namespace quellion {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> DefinitionFiles(const std::string& folder) {
  std::vector<std::string> files;
  if (folder.empty())
    return files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (path.extension() != ".json")
      continue;
    std::error_code typeError;
    if (it->is_directory(typeError))
      continue;
    files.push_back(path.string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Loads one folder's files; a second file with a name already given in the same
// folder is invalid.
std::vector<TEngineDefinition> LoadFolder(const std::string& folder, TEngineCatalog& catalog) {
  std::vector<TEngineDefinition> loaded;
  for (const std::string& file : DefinitionFiles(folder)) {
    TDefinitionLoad load = LoadDefinitionFile(file);
    for (const std::string& warning : load.Warnings)
      catalog.Warnings.push_back(file + ": " + warning);
    if (!load.Definition) {
      catalog.Invalid.push_back({file, load.Name, load.Error});
      continue;
    }
    auto same = std::find_if(loaded.begin(), loaded.end(), [&](const TEngineDefinition& d) {
      return SameTextAscii(d.Name, load.Definition->Name);
    });
    if (same != loaded.end()) {
      catalog.Invalid.push_back(
          {file, load.Name, "name '" + load.Name + "' is already defined by " + same->SourceFile});
      continue;
    }
    loaded.push_back(std::move(*load.Definition));
  }
  return loaded;
}

}  // namespace

const TEngineDefinition* TEngineCatalog::Find(std::string_view name) const {
  for (const TEngineDefinition& d : Engines)
    if (SameTextAscii(d.Name, name))
      return &d;
  return nullptr;
}

const TInvalidDefinition* TEngineCatalog::FindInvalid(std::string_view name) const {
  for (const TInvalidDefinition& d : Invalid)
    if (!d.Name.empty() && SameTextAscii(d.Name, name))
      return &d;
  return nullptr;
}

std::string ShippedEngineFolder() {
  const std::string buildDir = QUELLION_BUILD_DIR;
  if (!buildDir.empty()) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.string().rfind(buildDir + "/", 0) == 0)
      return QUELLION_SOURCE_ENGINES_DIR;
  }
  return QUELLION_INSTALLED_ENGINES_DIR;
}

std::string UserEngineFolder() {
  return fs::path(TRegistry::DefaultFilePath()).parent_path().string() + "/engines";
}

TEngineCatalog LoadEngineCatalog(const std::string& shippedFolder, const std::string& userFolder) {
  TEngineCatalog catalog;
  std::vector<TEngineDefinition> shipped = LoadFolder(shippedFolder, catalog);
  std::vector<TEngineDefinition> user = LoadFolder(userFolder, catalog);
  for (TEngineDefinition& d : shipped) {
    const bool replaced = std::any_of(user.begin(), user.end(), [&](const TEngineDefinition& u) {
      return SameTextAscii(u.Name, d.Name);
    });
    if (!replaced)
      catalog.Engines.push_back(std::move(d));
  }
  for (TEngineDefinition& d : user)
    catalog.Engines.push_back(std::move(d));
  std::stable_sort(catalog.Engines.begin(), catalog.Engines.end(),
                   [](const TEngineDefinition& a, const TEngineDefinition& b) {
                     return LessTextAscii(a.Name, b.Name);
                   });
  return catalog;
}

TEngineCatalog LoadEngineCatalog() {
  return LoadEngineCatalog(ShippedEngineFolder(), UserEngineFolder());
}

}  // namespace quellion
