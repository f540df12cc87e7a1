// The real program under Xvfb: it searches the engine simulator and saves a picture of
// its window with the results (QUELLION_SCREENSHOT), which this test leaves in the build
// tree at tests/artifacts/quellion-window.png; and `quellion --demo`, searching its own
// bundled simulator, at tests/artifacts/quellion-demo.png.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/Registry.h"
#include "settings/SettingsSchema.h"
#include "tests/support/SettingsSandbox.h"
#include "tools/engine-sim/EngineSimulator.h"

extern char** environ;

namespace quellion {
namespace {

namespace fs = std::filesystem;
using tools::TEngineSimulator;
using tools::TSimConfig;

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            posix_spawn_file_actions_t* actions = nullptr) {
  std::vector<char*> argv, envp;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : env)
    envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0].c_str(), actions, nullptr, argv.data(), envp.data()) != 0)
    return -1;
  return pid;
}

// Waits for the process at most timeoutMs; kills it when it overstays. -1: killed.
int WaitExit(pid_t pid, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// An Xvfb of our own on a display number it picks itself (-displayfd).
class TXvfb {
 public:
  bool Start(const fs::path& folder) {
    int fds[2];
    if (pipe(fds) != 0)
      return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / "xvfb.log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_ = Spawn({QUELLION_XVFB, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                  "1024x768x24", "-nolisten", "tcp"},
                 {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return false;
    }
    // Xvfb writes the display number once it accepts clients; bounded by a timeout.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    while (std::chrono::steady_clock::now() < deadline) {
      char c;
      const ssize_t n = read(fds[0], &c, 1);
      if (n == 1) {
        if (c == '\n')
          break;
        number += c;
      } else if (n == 0) {
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    close(fds[0]);
    display_ = number.empty() ? "" : ":" + number;
    return !display_.empty();
  }
  ~TXvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      WaitExit(pid_, 5000);
    }
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST(QuellionProgram, SearchesUnderXvfbAndSavesAPictureOfItsWindow) {
  // The program's settings live in the sandbox's folder, beside its picture and logs.
  const test::TSettingsSandbox sandbox;
  const fs::path folder = sandbox.Folder();

  TSimConfig config;
  for (auto& engine : config) {
    engine.Total = 12;
    engine.DelayMs = 10;
  }
  TEngineSimulator simulator(config);
  simulator.Start();

  // The program's settings: engines pointed at the simulator, room for every hit.
  {
    TRegistry& registry = TRegistry::CurrentUser();
    TRegistryKey* engines = registry.OpenKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName, true);
    for (TEngine engine : kAllEngines)
      engines->WriteString(EngineName(engine), simulator.Host(engine));
    // The classic engines are ticked only when the user ticked them.
    TRegistryKey* choices = registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true);
    for (TEngine engine : kAllEngines)
      choices->WriteInteger(EngineName(engine), 1);
    registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteInteger("MaxSites", 100);
    ASSERT_TRUE(registry.Flush()) << registry.LastError();
  }

  TXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(folder)) << "Xvfb did not start";

  const fs::path picture = folder / "window.png";
  std::vector<std::string> env = {"DISPLAY=" + xvfb.Display(),
                                  "QT_QPA_PLATFORM=xcb",
                                  "XDG_CONFIG_HOME=" + folder.string(),
                                  "XDG_RUNTIME_DIR=" + folder.string(),
                                  "QUELLION_SCREENSHOT=" + picture.string(),
                                  "QUELLION_SCREENSHOT_KEYWORDS=desktop metasearch"};
  if (const char* home = getenv("HOME"))
    env.push_back(std::string("HOME=") + home);
  if (const char* asan = getenv("ASAN_OPTIONS"))
    env.push_back(std::string("ASAN_OPTIONS=") + asan);
  // Under the leak checker: what the desktop's own libraries keep is not ours to free.
  env.push_back(std::string("LSAN_OPTIONS=suppressions=") + QUELLION_LSAN_SUPPRESSIONS);
  const pid_t program = Spawn({QUELLION_PROGRAM}, env);
  ASSERT_GT(program, 0);
  EXPECT_EQ(WaitExit(program, 90000), 0);

  ASSERT_TRUE(fs::exists(picture));
  std::ifstream in(picture, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_GT(fs::file_size(picture), 2000u);
  // Every engine was asked.
  for (TEngine engine : kAllEngines)
    EXPECT_GE(simulator.RequestCount(engine), 1);

  fs::create_directories(QUELLION_ARTIFACTS);
  fs::copy_file(picture, fs::path(QUELLION_ARTIFACTS) / "quellion-window.png",
                fs::copy_options::overwrite_existing);
}

// Under a real X server: keys typed right after start land in the keyword box, and Enter
// there starts the search.
TEST(QuellionProgram, TypingRightAfterStartSearchesTheTypedWords) {
  const test::TSettingsSandbox sandbox;
  const fs::path folder = sandbox.Folder();
  TSimConfig config;
  for (auto& engine : config)
    engine.Total = 5;
  TEngineSimulator simulator(config);
  simulator.Start();
  {
    TRegistry& registry = TRegistry::CurrentUser();
    TRegistryKey* engines = registry.OpenKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName, true);
    for (TEngine engine : kAllEngines)
      engines->WriteString(EngineName(engine), simulator.Host(engine));
    // The classic engines are ticked only when the user ticked them.
    TRegistryKey* choices = registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true);
    for (TEngine engine : kAllEngines)
      choices->WriteInteger(EngineName(engine), 1);
    ASSERT_TRUE(registry.Flush()) << registry.LastError();
  }
  TXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(folder)) << "Xvfb did not start";

  const fs::path errors = folder / "stderr.txt";
  std::vector<std::string> env = {"DISPLAY=" + xvfb.Display(),
                                  "QT_QPA_PLATFORM=xcb",
                                  "XDG_CONFIG_HOME=" + folder.string(),
                                  "XDG_RUNTIME_DIR=" + folder.string(),
                                  "QUELLION_SCREENSHOT=" + (folder / "typed.png").string(),
                                  "QUELLION_SCREENSHOT_KEYWORDS=quokka habitat",
                                  "QUELLION_SCREENSHOT_TYPE=1"};
  if (const char* home = getenv("HOME"))
    env.push_back(std::string("HOME=") + home);
  if (const char* asan = getenv("ASAN_OPTIONS"))
    env.push_back(std::string("ASAN_OPTIONS=") + asan);
  env.push_back(std::string("LSAN_OPTIONS=suppressions=") + QUELLION_LSAN_SUPPRESSIONS);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t program = Spawn({QUELLION_PROGRAM}, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_GT(program, 0);
  EXPECT_EQ(WaitExit(program, 90000), 0);

  std::ifstream errorText(errors);
  const std::string written((std::istreambuf_iterator<char>(errorText)), {});
  EXPECT_NE(written.find("keywords \"quokka habitat\""), std::string::npos) << written;
  EXPECT_NE(written.find("status \"Search Complete  -  Found"), std::string::npos) << written;
  EXPECT_GE(simulator.RequestCount(TEngine::Altavista), 1);
}

TEST(QuellionProgram, DemoSearchesItsOwnSimulatorAndLeavesTheStoredHostsAlone) {
  const test::TSettingsSandbox sandbox;
  const fs::path folder = sandbox.Folder();

  // Stored hosts where nothing answers: a demo that used them would find nothing.
  const std::string deadHost = "127.0.0.1:1";
  {
    TRegistry& registry = TRegistry::CurrentUser();
    TRegistryKey* engines = registry.OpenKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName, true);
    for (TEngine engine : kAllEngines)
      engines->WriteString(EngineName(engine), deadHost);
    registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteInteger("MaxSites", 100);
    ASSERT_TRUE(registry.Flush()) << registry.LastError();
  }

  TXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(folder)) << "Xvfb did not start";

  const fs::path picture = folder / "demo.png";
  const fs::path errors = folder / "stderr.txt";
  std::vector<std::string> env = {"DISPLAY=" + xvfb.Display(),
                                  "QT_QPA_PLATFORM=xcb",
                                  "XDG_CONFIG_HOME=" + folder.string(),
                                  "XDG_RUNTIME_DIR=" + folder.string(),
                                  "QUELLION_SCREENSHOT=" + picture.string(),
                                  "QUELLION_SCREENSHOT_KEYWORDS=offline demo"};
  if (const char* home = getenv("HOME"))
    env.push_back(std::string("HOME=") + home);
  if (const char* asan = getenv("ASAN_OPTIONS"))
    env.push_back(std::string("ASAN_OPTIONS=") + asan);
  env.push_back(std::string("LSAN_OPTIONS=suppressions=") + QUELLION_LSAN_SUPPRESSIONS);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t program = Spawn({QUELLION_PROGRAM, "--demo"}, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_GT(program, 0);
  EXPECT_EQ(WaitExit(program, 90000), 0);

  std::ifstream errorText(errors);
  const std::string written((std::istreambuf_iterator<char>(errorText)), {});
  EXPECT_NE(written.find("screenshot: 100 rows; title \"Tarnwick Quellion 2 - Demo\"; status "
                         "\"Search Complete  -  Found 100 sites\""),
            std::string::npos)
      << written;
  ASSERT_TRUE(fs::exists(picture));
  EXPECT_GT(fs::file_size(picture), 2000u);

  // The stored hosts were neither used nor changed.
  TRegistry::ResetCurrentUser();
  const TEngineHosts stored = ReadStoredEngineHosts(TRegistry::CurrentUser());
  for (TEngine engine : kAllEngines)
    EXPECT_EQ(stored[EngineIndex(engine)], deadHost) << EngineName(engine);

  fs::create_directories(QUELLION_ARTIFACTS);
  fs::copy_file(picture, fs::path(QUELLION_ARTIFACTS) / "quellion-demo.png",
                fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace quellion
