#include "tests/support/SettingsSandbox.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "settings/Registry.h"

namespace quellion::test {

TSettingsSandbox::TSettingsSandbox() {
  if (const char* old = ::getenv("XDG_CONFIG_HOME"))
    previous_ = old;
  ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
  if (const char* old = ::getenv("XDG_STATE_HOME"))
    previousState_ = old;
  ::setenv("XDG_STATE_HOME", (dir_.Path() + "/state").c_str(), 1);
  TRegistry::ResetCurrentUser();
}

TSettingsSandbox::~TSettingsSandbox() {
  TRegistry::ResetCurrentUser();
  if (previous_)
    ::setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  if (previousState_)
    ::setenv("XDG_STATE_HOME", previousState_->c_str(), 1);
  else
    ::unsetenv("XDG_STATE_HOME");
}

std::string TSettingsSandbox::FilePath() const {
  return TRegistry::DefaultFilePath();
}

void SettingsSandbox::SetUp() {
  sandbox_.emplace();
  Folder = sandbox_->Folder();
  FilePath = sandbox_->FilePath();
}

void SettingsSandbox::TearDown() {
  sandbox_.reset();
}

void SettingsSandbox::WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string SettingsSandbox::ReadFile(const std::string& path) {
  return test::ReadFile(path);
}

bool SettingsSandbox::Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

unsigned SettingsSandbox::Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

}  // namespace quellion::test
