#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engines/DefinitionExtractor.h"
#include "search/Hit.h"

namespace quellion::test {

// A fresh folder under the system's temporary folder, removed with its content.
class TEngineTempDir {
 public:
  TEngineTempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quellion-engines-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TEngineTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TEngineTempDir(const TEngineTempDir&) = delete;
  TEngineTempDir& operator=(const TEngineTempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes name (folders created) and returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every hit the extractor hands on for one page.
inline std::vector<THit> ExtractAll(TDefinitionExtractor& extractor, const std::string& page,
                                    const std::string& contentType = "",
                                    const std::string& pageUrl = "http://engine.test/search?q=x") {
  std::vector<THit> hits;
  extractor.Extract(
      page, contentType, pageUrl, [] { return true; },
      [&hits](const THit& hit) { hits.push_back(hit); });
  return hits;
}

}  // namespace quellion::test
