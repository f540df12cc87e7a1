#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "settings/Registry.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
namespace {

using test::SettingsSandbox;

// One of two whole states; large enough that writing one file takes many system calls.
void SetState(TRegistry& reg, char which) {
  TRegistryKey* key = reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true);
  key->WriteDword("Which", static_cast<unsigned char>(which));
  key->WriteBinary("Bulk", std::string(128 * 1024, which));
  key->WriteString("ProxyPassword", std::string(1000, which));
}

std::string TextOf(char which) {
  TRegistry scratch("/nonexistent-folder/never-written.reg");
  SetState(scratch, which);
  return FormatRegistryText(scratch.Root());
}

// A writer killed at any moment of a store leaves the file wholly old or wholly new.
TEST_F(SettingsSandbox, KillDuringStoreLeavesTheOldOrTheNewFileWhole) {
  const std::string textA = TextOf('A');
  const std::string textB = TextOf('B');
  {
    TRegistry reg(FilePath);
    SetState(reg, 'A');
    ASSERT_TRUE(reg.Flush()) << reg.LastError();
  }
  ASSERT_EQ(ReadFile(FilePath), textA);

  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> delayMicros(0, 60000);
  int sawB = 0;
  for (int round = 0; round < 30; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TRegistry reg(FilePath);
      for (unsigned i = 0;; ++i) {
        SetState(reg, i % 2 ? 'A' : 'B');
        if (!reg.Flush())
          ::_exit(2);
      }
    }
    ::usleep(static_cast<useconds_t>(delayMicros(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

    const std::string now = ReadFile(FilePath);
    ASSERT_TRUE(now == textA || now == textB)
        << "round " << round << ": a file of " << now.size() << " bytes is neither state";
    if (now == textB)
      ++sawB;
  }
  TRegistry reread(FilePath);
  EXPECT_FALSE(reread.LoadReport().Damaged);
  EXPECT_EQ(Mode(FilePath), 0600u);
  // Not a timing requirement, only a sign that the writers did get to replace the file.
  RecordProperty("RoundsEndingInStateB", sawB);
}

}  // namespace
}  // namespace quellion
