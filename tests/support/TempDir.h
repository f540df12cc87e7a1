#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace quellion::test {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object dies. The prefix starts the folder's name, so one left behind says whose it
// was. Header-only: the peers' library, which benchmarks build without the tests, uses it.
class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix = "quellion-test") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("cannot make a temporary folder " + pattern);
    path_ = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes name (its folders created) and returns its path; throws when it cannot.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string file = File(name);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
      throw std::runtime_error("cannot write " + file);
    return file;
  }

 private:
  std::string path_;
};

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace quellion::test
