#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace quellion::test {

// A throw-away settings store for the life of the object: XDG_CONFIG_HOME points into a
// fresh folder and the process's store is read anew from there (XDG_STATE_HOME, where
// engine rests are kept, points to its "state" folder); afterwards the variables are
// put back and the store dropped, so nothing of it reaches the next test.
class TSettingsSandbox {
 public:
  TSettingsSandbox();
  ~TSettingsSandbox();
  TSettingsSandbox(const TSettingsSandbox&) = delete;
  TSettingsSandbox& operator=(const TSettingsSandbox&) = delete;

  // The folder XDG_CONFIG_HOME names; Write puts files below it.
  const TTempDir& Dir() const { return dir_; }
  const std::string& Folder() const { return dir_.Path(); }
  // The store's own file inside the folder.
  std::string FilePath() const;

 private:
  TTempDir dir_{"quellion-settings"};
  std::optional<std::string> previous_, previousState_;
};

// The sandbox as a fixture, with the file checks the store's tests make.
class SettingsSandbox : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static void WriteFile(const std::string& path, const std::string& bytes);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);
  static unsigned Mode(const std::string& path);

  std::string Folder;
  std::string FilePath;

 private:
  std::optional<TSettingsSandbox> sandbox_;
};

}  // namespace quellion::test
