#include <gtest/gtest.h>

#include "cli/StoredDefaults.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
namespace {

using cli::ReadStoredDefaults;
using cli::TStoredDefaults;
using test::SettingsSandbox;

const std::string kHead =
    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n";

TEST_F(SettingsSandbox, CliDefaultsWithoutStoredSettings) {
  TStoredDefaults d = ReadStoredDefaults();
  // The classic engines' hosts serve no pages today: none is ticked on a first start.
  EXPECT_EQ(d.Engines, (std::array<bool, 5>{false, false, false, false, false}));
  EXPECT_EQ(d.LanguageIndex, 0);
  EXPECT_EQ(d.MaxSites, 10);
  EXPECT_EQ(d.ProxyPort, "80");
  EXPECT_EQ(d.ProxyName, "");
  EXPECT_EQ(d.ProxyUserName, "");
  EXPECT_EQ(d.ProxyPassword, "");
  EXPECT_EQ(d.EngineHosts, TEngineHosts{});
  EXPECT_FALSE(Exists(FilePath));
}

TEST_F(SettingsSandbox, CliDefaultsFollowTheWindowsReadingRules) {
  struct Case {
    const char* lines;
    int language, maxSites;
    const char* port;
  };
  const Case cases[] = {
      {"\"MaxSites\"=dword:00000005\n", 0, 10, "80"},
      {"\"MaxSites\"=dword:000007d0\n", 0, 1000, "80"},
      {"\"MaxSites\"=dword:ffffffff\n", 0, 10, "80"},
      {"\"MaxSites\"=\"500\"\n", 0, 10, "80"},
      {"\"MaxSites\"=dword:00000200\n", 0, 512, "80"},
      {"\"LanguageIndex\"=dword:00000003\n", 3, 10, "80"},
      {"\"LanguageIndex\"=dword:0000001a\n", -1, 10, "80"},
      {"\"LanguageIndex\"=dword:ffffffff\n", -1, 10, "80"},
      {"\"LanguageIndex\"=hex(4):03,00,00,00,00\n", 0, 10, "80"},
      {"\"ProxyPort\"=dword:00001f90\n", 0, 10, "8080"},
      {"\"ProxyPort\"=\"8080\"\n", 0, 10, "80"},
      {"\"ProxyPort\"=dword:000186a0\n", 0, 10, "80"},
      {"\"ProxyPort\"=dword:00000000\n", 0, 10, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    TRegistry reg("/nonexistent-folder/never-written.reg");
    ParseRegistryText(kHead + c.lines, reg.Root());
    TStoredDefaults d = ReadStoredDefaults(reg);
    EXPECT_EQ(d.LanguageIndex, c.language);
    EXPECT_EQ(d.MaxSites, c.maxSites);
    EXPECT_EQ(d.ProxyPort, c.port);
  }
}

TEST_F(SettingsSandbox, CliReadsEnginesProxyAndHostsButNeverWrites) {
  const std::string file = kHead +
                           "\"Altavista\"=dword:00000000\n"
                           "\"Excite\"=dword:00000002\n"
                           "\"Hotbot\"=dword:00000000\n"
                           "\"AllTheWeb\"=\"0\"\n"
                           "\"google\"=dword:00000000\n"
                           "\"ProxyName\"=\"proxy.example\"\n"
                           "\"ProxyUserName\"=\"user\"\n"
                           "\"ProxyPassword\"=\"p\xE4ss\\\"word\"\n"
                           "\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion Engines]\n"
                           "\"Altavista\"=\"127.0.0.1:8080\"\n"
                           "\"Google\"=\"\"\n"
                           "\"Excite\"=dword:00000001\n"
                           "\"AllTheWeb\"=\"cut";  // damaged: the last line is cut short
  WriteFile(FilePath, file);
  TStoredDefaults d = ReadStoredDefaults();
  // AllTheWeb's value is text, so it reads as its default: unticked.
  EXPECT_EQ(d.Engines, (std::array<bool, 5>{false, true, false, false, false}));
  EXPECT_EQ(d.ProxyName, "proxy.example");
  EXPECT_EQ(d.ProxyUserName, "user");
  EXPECT_EQ(d.ProxyPassword, "p\xE4ss\"word");
  EXPECT_EQ(d.EngineHosts, (TEngineHosts{"127.0.0.1:8080", "", "", "", ""}));

  TRegistry::ResetCurrentUser();
  EXPECT_EQ(ReadFile(FilePath), file);
  EXPECT_FALSE(Exists(FilePath + ".bad"));
}

}  // namespace
}  // namespace quellion
