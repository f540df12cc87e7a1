#include "engines/EngineCatalog.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/TextUtil.h"
#include "platform/XdgDirs.h"

#ifndef QUELLION_SOURCE_ENGINES_DIR
#define QUELLION_SOURCE_ENGINES_DIR ""
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

namespace {

constexpr const char* kEnginesSubfolder = "/tarnwick-quellion/engines";

std::string ProgramPath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace

std::vector<std::string> ShippedEngineFoldersFor(const std::string& programPath) {
  std::vector<std::string> candidates{XdgDataHome() + kEnginesSubfolder};
  for (const std::string& dir : XdgDataDirs())
    candidates.push_back(dir + kEnginesSubfolder);
  if (!programPath.empty()) {
    const fs::path beside = fs::path(programPath).parent_path().parent_path() / "share";
    candidates.push_back(beside.lexically_normal().string() + kEnginesSubfolder);
  }
  // /usr/bin/../share is /usr/share: one folder, read once, in its first place.
  std::vector<std::string> folders;
  std::vector<fs::path> seen;
  for (const std::string& folder : candidates) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(folder, ec);
    if (ec)
      key = fs::path(folder).lexically_normal();
    if (std::find(seen.begin(), seen.end(), key) != seen.end())
      continue;
    seen.push_back(key);
    folders.push_back(folder);
  }
  return folders;
}

std::vector<std::string> ShippedEngineFolders() {
  const std::string program = ProgramPath();
  const std::string buildDir = QUELLION_BUILD_DIR;
  if (!buildDir.empty() && program.rfind(buildDir + "/", 0) == 0)
    return {QUELLION_SOURCE_ENGINES_DIR};
  return ShippedEngineFoldersFor(program);
}

std::string UserEngineFolder() {
  return XdgConfigHome() + kEnginesSubfolder;
}

TEngineCatalog LoadEngineCatalog(const std::vector<std::string>& shippedFolders,
                                 const std::string& userFolder) {
  TEngineCatalog catalog;
  auto hasName = [](const std::vector<TEngineDefinition>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const TEngineDefinition& d) { return SameTextAscii(d.Name, name); });
  };
  std::vector<TEngineDefinition> shipped;
  for (const std::string& folder : shippedFolders) {
    for (TEngineDefinition& d : LoadFolder(folder, catalog))
      if (!hasName(shipped, d.Name))
        shipped.push_back(std::move(d));
  }
  std::vector<TEngineDefinition> user = LoadFolder(userFolder, catalog);
  for (TEngineDefinition& d : shipped) {
    if (!hasName(user, d.Name))
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

TEngineCatalog LoadEngineCatalog(const std::string& shippedFolder, const std::string& userFolder) {
  return LoadEngineCatalog(std::vector<std::string>{shippedFolder}, userFolder);
}

TEngineCatalog LoadEngineCatalog() {
  return LoadEngineCatalog(ShippedEngineFolders(), UserEngineFolder());
}

}  // namespace quellion
