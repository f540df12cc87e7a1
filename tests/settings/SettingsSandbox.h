#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/Registry.h"

namespace quellion::test {

// A throw-away settings folder per test: XDG_CONFIG_HOME points into it and the process's
// registry is dropped before and after, so every test starts from the file it sets up.
class SettingsSandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quellion-settings-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    Folder = pattern;
    ::setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
    TRegistry::ResetCurrentUser();
    FilePath = TRegistry::DefaultFilePath();
  }

  void TearDown() override {
    TRegistry::ResetCurrentUser();
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }

  void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
  }

  std::string Folder;
  std::string FilePath;
};

}  // namespace quellion::test
