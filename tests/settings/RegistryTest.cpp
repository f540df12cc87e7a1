#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "platform/Exception.h"
#include "settings/Registry.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
namespace {

using test::SettingsSandbox;
using RS = TRegReadStatus;

std::string Bytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 131 + seed) & 0xFF);
  return s;
}

// Everything the program may put in the store comes back unchanged from the file.
TEST_F(SettingsSandbox, EveryKindOfValueSurvivesTheFile) {
  const std::string raw8bit = "caf\xE9 \xFF\x80 \"quoted\" back\\slash \\\\ end\\";
  const std::string withBreaks = std::string("line1\nline2\r\nnul\0after", 22);
  {
    TRegistry reg(FilePath);
    TRegistryKey* key = reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true);
    ASSERT_NE(key, nullptr);
    key->WriteBinary("", Bytes(84, 7));
    key->WriteDword("MaxSites", 1000);
    key->WriteInteger("LanguageIndex", -1);
    key->WriteBool("FullInfo", false);
    key->WriteString("ProxyPassword", raw8bit);
    key->WriteString("Multi", withBreaks);
    key->WriteString("Empty", "");
    key->WriteBinary("Nothing", "");
    key->WriteBinary("Long", Bytes(1000, 3));
    key->WriteValue("Odd", TRegValue{REG_QWORD, Bytes(8, 1)});
    key->WriteValue("Untyped", TRegValue{REG_NONE, "ab"});
    key->WriteValue("ShortDword", TRegValue{REG_DWORD, "\x01\x02"});
    key->WriteValue("na\"me\\", TRegValue{REG_EXPAND_SZ, "%HOME%"});
    ASSERT_NE(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Tarnwick Quellion\\Empty\\Deeper", true),
              nullptr);
    ASSERT_TRUE(reg.Flush()) << reg.LastError();
  }
  TRegistry reg(FilePath);
  EXPECT_FALSE(reg.LoadReport().Damaged);
  const TRegistryKey* key = reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  ASSERT_NE(key, nullptr);
  std::string s;
  std::uint32_t d = 0;
  std::int32_t i = 0;
  bool b = true;
  EXPECT_EQ(key->ReadBinary("", s), RS::rsOk);
  EXPECT_EQ(s, Bytes(84, 7));
  EXPECT_EQ(key->ReadDword("MaxSites", d), RS::rsOk);
  EXPECT_EQ(d, 1000u);
  EXPECT_EQ(key->ReadInteger("LanguageIndex", i), RS::rsOk);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(key->ReadBool("FullInfo", b), RS::rsOk);
  EXPECT_FALSE(b);
  EXPECT_EQ(key->ReadString("ProxyPassword", s), RS::rsOk);
  EXPECT_EQ(s, raw8bit);
  EXPECT_EQ(key->FindValue("Multi")->Type, REG_SZ);
  EXPECT_EQ(key->FindValue("Multi")->Data, withBreaks);
  EXPECT_EQ(key->ReadString("Multi", s), RS::rsOk);
  EXPECT_EQ(s, "line1\nline2\r\nnul");  // text ends at its NUL
  EXPECT_EQ(key->ReadString("Empty", s), RS::rsOk);
  EXPECT_EQ(s, "");
  EXPECT_EQ(key->ReadBinary("Nothing", s), RS::rsOk);
  EXPECT_EQ(s, "");
  EXPECT_EQ(key->ReadBinary("Long", s), RS::rsOk);
  EXPECT_EQ(s, Bytes(1000, 3));
  EXPECT_EQ(key->FindValue("Odd")->Type, REG_QWORD);
  EXPECT_EQ(key->FindValue("Odd")->Data, Bytes(8, 1));
  EXPECT_EQ(key->ReadBinary("Untyped", s), RS::rsOk);
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(key->FindValue("ShortDword")->Data, "\x01\x02");
  EXPECT_EQ(key->ReadString("na\"me\\", s), RS::rsOk);
  EXPECT_EQ(s, "%HOME%");
  EXPECT_NE(reg.FindKey(HKEY_CURRENT_USER, "Software\\Tarnwick Quellion\\Empty\\Deeper"), nullptr);
  EXPECT_EQ(key->ValueNames(),
            (std::vector<std::string>{"", "MaxSites", "LanguageIndex", "FullInfo", "ProxyPassword",
                                      "Multi", "Empty", "Nothing", "Long", "Odd", "Untyped",
                                      "ShortDword", "na\"me\\"}));
}

TEST_F(SettingsSandbox, FileIsInTheRegistryEditorsExportFormat) {
  TRegistry reg(FilePath);
  TRegistryKey* key = reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true);
  key->WriteDword("MaxSites", 10);
  key->WriteString("ProxyName", "C:\\a \"b\"");
  key->WriteBinary("", std::string("\x54\x00\x00\x00", 4));
  key->WriteValue("Other", TRegValue{REG_MULTI_SZ, "a"});
  key->WriteBinary("Wide", std::string(30, '\xAB'));
  ASSERT_TRUE(reg.Flush());
  EXPECT_EQ(ReadFile(FilePath),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n"
            "@=hex:54,00,00,00\n"
            "\"MaxSites\"=dword:0000000a\n"
            "\"ProxyName\"=\"C:\\\\a \\\"b\\\"\"\n"
            "\"Other\"=hex(7):61\n"
            "\"Wide\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
            "  ab,ab,ab,ab,ab,ab,ab,ab\n");
  EXPECT_EQ(Mode(FilePath), 0600u);
  EXPECT_EQ(Mode(Folder + "/tarnwick-quellion"), 0700u);
}

TEST_F(SettingsSandbox, TypedReadsTellMissingFromMismatch) {
  TRegistryKey key("k");
  key.WriteString("Text", "8080");
  key.WriteDword("Number", 7);
  key.WriteBinary("Blob", "xyz");
  key.WriteValue("Dword3", TRegValue{REG_DWORD, "\x01\x02\x03"});
  key.WriteValue("Dword5", TRegValue{REG_DWORD, "\x01\x02\x03\x04\x05"});
  key.WriteValue("BigEndian", TRegValue{5, "\x00\x00\x00\x01"});
  key.WriteValue("Untyped", TRegValue{REG_NONE, "u"});
  key.WriteValue("Expand", TRegValue{REG_EXPAND_SZ, "e"});

  struct Case {
    const char* name;
    RS asDword, asString, asBinary;
  };
  const Case cases[] = {
      {"Text", RS::rsWrongType, RS::rsOk, RS::rsWrongType},
      {"Number", RS::rsOk, RS::rsWrongType, RS::rsWrongType},
      {"Blob", RS::rsWrongType, RS::rsWrongType, RS::rsOk},
      {"Dword3", RS::rsWrongType, RS::rsWrongType, RS::rsWrongType},
      {"Dword5", RS::rsWrongType, RS::rsWrongType, RS::rsWrongType},
      {"BigEndian", RS::rsWrongType, RS::rsWrongType, RS::rsWrongType},
      {"Untyped", RS::rsWrongType, RS::rsWrongType, RS::rsOk},
      {"Expand", RS::rsWrongType, RS::rsOk, RS::rsWrongType},
      {"Absent", RS::rsMissing, RS::rsMissing, RS::rsMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t d = 12345;
    std::int32_t i = 12345;
    bool b = true;
    std::string s = "untouched";
    std::string bin = "untouched";
    EXPECT_EQ(key.ReadDword(c.name, d), c.asDword);
    EXPECT_EQ(key.ReadInteger(c.name, i), c.asDword);
    EXPECT_EQ(key.ReadBool(c.name, b), c.asDword);
    EXPECT_EQ(key.ReadString(c.name, s), c.asString);
    EXPECT_EQ(key.ReadBinary(c.name, bin), c.asBinary);
    if (c.asDword != RS::rsOk) {
      EXPECT_EQ(d, 12345u);
    }
    if (c.asString != RS::rsOk) {
      EXPECT_EQ(s, "untouched");
    }
    if (c.asBinary != RS::rsOk) {
      EXPECT_EQ(bin, "untouched");
    }
  }
}

TEST(RegistryKey, NamesIgnoreCaseAndKeepTheirPlace) {
  TRegistryKey key("k");
  key.WriteDword("First", 1);
  key.WriteDword("Second", 2);
  key.WriteString("FIRST", "replaced");
  std::string s;
  EXPECT_EQ(key.ReadString("first", s), RS::rsOk);
  EXPECT_EQ(s, "replaced");
  EXPECT_EQ(key.ValueNames(), (std::vector<std::string>{"First", "Second"}));
  EXPECT_TRUE(key.DeleteValue("fIrSt"));
  EXPECT_FALSE(key.DeleteValue("First"));
  key.WriteDword("Third", 3);
  EXPECT_EQ(key.ValueNames(), (std::vector<std::string>{"Second", "Third"}));
  std::uint32_t d = 0;
  EXPECT_EQ(key.ReadDword("THIRD", d), RS::rsOk);
  EXPECT_EQ(d, 3u);

  EXPECT_THROW(key.WriteDword("bad\nname", 1), EException);
  EXPECT_THROW(key.WriteDword(std::string("nul\0", 4), 1), EException);
}

TEST(RegistryKey, KeysOpenCreateAndDeleteWithTheirSubkeys) {
  TRegistryKey root("HKEY_CURRENT_USER");
  EXPECT_EQ(root.OpenKey("Software\\Tarnwick Quellion", false), nullptr);
  TRegistryKey* key = root.OpenKey("Software\\Tarnwick Quellion", true);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(root.OpenKey("\\software\\\\TARNWICK QUELLION\\", false), key);
  key->OpenKey("A\\B\\C", true)->WriteDword("x", 1);
  root.OpenKey("Software\\Tarnwick Quellion Engines", true)->WriteString("Google", "g");

  EXPECT_TRUE(root.DeleteKey("Software\\Tarnwick Quellion"));
  EXPECT_EQ(root.FindKey("Software\\Tarnwick Quellion"), nullptr);
  EXPECT_EQ(root.FindKey("Software\\Tarnwick Quellion\\A\\B\\C"), nullptr);
  EXPECT_NE(root.FindKey("Software\\Tarnwick Quellion Engines"), nullptr);
  EXPECT_FALSE(root.DeleteKey("Software\\Tarnwick Quellion"));
  EXPECT_FALSE(root.DeleteKey(""));

  // The registry's depth limit holds for paths built step by step as well.
  std::string deep;
  for (int i = 0; i < kMaxKeyDepth; ++i)
    deep += "k\\";
  TRegistryKey* bottom = root.OpenKey(deep, true);
  ASSERT_NE(bottom, nullptr);
  EXPECT_EQ(bottom->OpenKey("one-more", true), nullptr);
  EXPECT_EQ(root.OpenKey("bad\rname", true), nullptr);

  TRegistry reg("/nonexistent-folder/never-written.reg");
  EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER + 1, "Software", true), nullptr);
  EXPECT_FALSE(reg.DeleteKey(HKEY_CURRENT_USER + 1, "Software"));
}

// What each damaged or foreign file yields: the readable values, and whether the file
// counts as damaged (and is then kept aside at the next store).
TEST(RegistryText, DamagedTextKeepsWhatCanBeRead) {
  const std::string head =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n";
  struct Case {
    const char* what;
    std::string text;
    bool damaged;
    std::vector<std::string> names;  // the values read, in order
  };
  const Case cases[] = {
      {"cut in the middle of a value", head + "\"A\"=dword:00000001\n\"B\"=dword:000", true, {"A"}},
      {"complete last line without its line feed",
       head + "\"A\"=dword:00000001\n\"B\"=dword:00000002",
       false,
       {"A", "B"}},
      {"cut inside the last text value", head + "\"A\"=dword:00000001\n\"B\"=\"ab", true, {"A"}},
      {"cut inside a hex list", head + "\"A\"=dword:00000001\n@=hex:54,00,\\\n", true, {"A"}},
      {"hex list ending with a comma", head + "@=hex:54,00,\n\"A\"=\"x\"\n", true, {"A"}},
      {"odd hex digit", head + "@=hex:54,0\n\"A\"=\"x\"\n", true, {"A"}},
      {"bad lines between good ones",
       head + "\"A\"=dword:00000001\ngarbage\n\"B\"=\"unterminated\n\"C\"\n\"D\"=dword:xyz00000\n"
              "\"E\"=dword:123456789\n\"F\"=hex(zz):00\n\"G\"=text\n\"H\"=\"x\" trailing\n"
              "[unclosed\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n\"Z\"=\"z\"\n",
       true,
       {"A", "Z"}},
      {"wrong header but readable values", "REGEDIT9\n" + head + "\"A\"=\"a\"\n", true, {"A"}},
      {"values before any key", "Windows Registry Editor Version 5.00\n\"A\"=\"a\"\n", true, {}},
      {"binary garbage", std::string("\x00\xFF\x13[\"=\n\n\x7F@=\n", 12), true, {}},
      {"other roots, deletions and comments are not damage",
       "Windows Registry Editor Version 5.00\n; comment\n"
       "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Quellion]\n\"X\"=\"x\"\n"
       "[-HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n\"Y\"=\"y\"\n"
       "[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n\"A\"=-\n\"B\"=\"b\"\n",
       false,
       {"B"}},
      {"CR LF, byte order mark, REGEDIT4, blanks and continuation lines",
       "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKCU\\Software\\Tarnwick Quellion]\r\n"
       "  \"A\" = dword:0000000A \r\n@=hex:01,\\\r\n  02, 03\r\n\"C\"=hex:\r\n",
       false,
       {"A", "", "C"}},
      {"later duplicates win", head + "\"A\"=\"1\"\n\"a\"=\"2\"\n", false, {"A"}},
      {"empty file", "", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRegistryKey root("HKEY_CURRENT_USER");
    TRegParseReport report = ParseRegistryText(c.text, root);
    EXPECT_EQ(report.Damaged, c.damaged);
    if (c.damaged) {
      EXPECT_FALSE(report.Problems.empty());
    }
    const TRegistryKey* key = root.FindKey(kQuellionKeyName);
    std::vector<std::string> names = key ? key->ValueNames() : std::vector<std::string>{};
    EXPECT_EQ(names, c.names);
  }

  TRegistryKey root("HKEY_CURRENT_USER");
  ParseRegistryText(cases[11].text, root);
  const TRegistryKey* key = root.FindKey(kQuellionKeyName);
  std::uint32_t d = 0;
  std::string s;
  EXPECT_EQ(key->ReadDword("A", d), RS::rsOk);
  EXPECT_EQ(d, 10u);
  EXPECT_EQ(key->ReadBinary("", s), RS::rsOk);
  EXPECT_EQ(s, "\x01\x02\x03");
  TRegistryKey dup("HKEY_CURRENT_USER");
  ParseRegistryText(cases[12].text, dup);
  EXPECT_EQ(dup.FindKey(kQuellionKeyName)->ReadString("A", s), RS::rsOk);
  EXPECT_EQ(s, "2");
}

TEST(RegistryText, DeepAndHugeInputStaysBounded) {
  std::string deep = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i)
    deep += "\\k";
  deep += "]\n\"A\"=\"a\"\n";
  TRegistryKey root("HKEY_CURRENT_USER");
  TRegParseReport report = ParseRegistryText(deep, root);
  EXPECT_TRUE(report.Damaged);
  EXPECT_TRUE(root.SubKeyNames().empty());

  // Many values in a skipped section and many faults: linear, and the report stays short.
  std::string many = "Windows Registry Editor Version 5.00\n[HKEY_USERS\\x]\n";
  for (int i = 0; i < 200000; ++i)
    many += "\"v\"=\"x\"\n!\n";
  TRegistryKey root2("HKEY_CURRENT_USER");
  report = ParseRegistryText(many, root2);
  EXPECT_TRUE(report.Damaged);
  EXPECT_LE(report.Problems.size(), 20u);
}

TEST_F(SettingsSandbox, MissingFileIsAnEmptyRegistry) {
  TRegistry reg(FilePath);
  EXPECT_FALSE(reg.LoadReport().Damaged);
  EXPECT_EQ(reg.FindKey(HKEY_CURRENT_USER, "Software"), nullptr);
  EXPECT_FALSE(Exists(FilePath));  // reading never writes
}

TEST_F(SettingsSandbox, DamagedFileIsKeptAsideBeforeItIsReplaced) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n"
      "\"MaxSites\"=dword:00000064\n\"ProxyName\"=\"half";
  WriteFile(FilePath, damaged);
  WriteFile(FilePath + ".bad", "an older damaged file");
  {
    TRegistry reg(FilePath);
    EXPECT_TRUE(reg.LoadReport().Damaged);
    std::uint32_t d = 0;
    EXPECT_EQ(reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName)->ReadDword("MaxSites", d), RS::rsOk);
    EXPECT_EQ(d, 100u);
    EXPECT_EQ(ReadFile(FilePath + ".bad"), "an older damaged file");  // nothing written yet
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteString("ProxyName", "whole");
    ASSERT_TRUE(reg.Flush()) << reg.LastError();
    EXPECT_EQ(ReadFile(FilePath + ".bad"), damaged);
    EXPECT_EQ(Mode(FilePath + ".bad"), 0600u);
    // Once replaced, later stores leave the kept copy alone.
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteString("ProxyName", "again");
    ASSERT_TRUE(reg.Flush());
    EXPECT_EQ(ReadFile(FilePath + ".bad"), damaged);
  }
  TRegistry reread(FilePath);
  EXPECT_FALSE(reread.LoadReport().Damaged);
  std::string s;
  EXPECT_EQ(reread.FindKey(HKEY_CURRENT_USER, kQuellionKeyName)->ReadString("ProxyName", s),
            RS::rsOk);
  EXPECT_EQ(s, "again");
}

TEST_F(SettingsSandbox, RepeatedFlushWritesOnlyChanges) {
  TRegistry reg(FilePath);
  reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 20);
  ASSERT_TRUE(reg.Flush());
  auto inode = [&] {
    struct stat st {};
    ::stat(FilePath.c_str(), &st);
    return st.st_ino;
  };
  const auto first = inode();
  ASSERT_TRUE(reg.Flush());
  EXPECT_EQ(inode(), first);  // each write renames a new file into place
  reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 30);
  ASSERT_TRUE(reg.Flush());
  EXPECT_NE(inode(), first);
  // A file removed or replaced behind the store's back is written again.
  const std::string text = ReadFile(FilePath);
  std::filesystem::remove(FilePath);
  ASSERT_TRUE(reg.Flush());
  EXPECT_EQ(ReadFile(FilePath), text);
}

TEST_F(SettingsSandbox, HealthyFileIsReplacedWithoutACopy) {
  {
    TRegistry reg(FilePath);
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 20);
    ASSERT_TRUE(reg.Flush());
  }
  TRegistry reg(FilePath);
  ASSERT_TRUE(reg.Flush());
  EXPECT_FALSE(Exists(FilePath + ".bad"));
  std::filesystem::directory_iterator it(Folder + "/tarnwick-quellion");
  std::vector<std::string> names;
  for (const auto& entry : it)
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});  // no temporary left behind
}

// Anything but a regular file in the store's place (or a link to one) is neither read nor
// followed nor replaced: the flush fails saying what is there, and nothing is written.
TEST_F(SettingsSandbox, SomethingOtherThanAFileInItsPlaceIsLeftAloneAndReported) {
  const std::string elsewhere = Folder + "/dotfiles/quellion.reg";
  const std::string fifo = Folder + "/dotfiles/fifo";
  const std::string header = "Windows Registry Editor Version 5.00\n";
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* reported;
  };
  const std::vector<Case> cases = {
      {"link to a file", [&] { std::filesystem::create_symlink(elsewhere, FilePath); },
       "a symbolic link"},
      {"link to a FIFO", [&] { std::filesystem::create_symlink(fifo, FilePath); },
       "a symbolic link"},
      {"dangling link", [&] { std::filesystem::create_symlink(Folder + "/gone", FilePath); },
       "a symbolic link"},
      {"FIFO", [&] { ASSERT_EQ(::mkfifo(FilePath.c_str(), 0600), 0); }, "not a regular file"},
      {"folder", [&] { std::filesystem::create_directories(FilePath + "/inside"); }, "a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(Folder + "/tarnwick-quellion");
    std::filesystem::remove_all(Folder + "/dotfiles");
    WriteFile(elsewhere, header);
    ::chmod(elsewhere.c_str(), 0644);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(Folder + "/tarnwick-quellion");
    c.make();
    TRegistry reg(FilePath);  // a FIFO without a writer would block a plain open
    EXPECT_TRUE(reg.LoadReport().Damaged);
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 20);
    EXPECT_FALSE(reg.Flush());
    EXPECT_NE(reg.LastError().find(c.reported), std::string::npos) << reg.LastError();
    EXPECT_NE(reg.LastError().find("not saved"), std::string::npos) << reg.LastError();
    EXPECT_FALSE(Exists(FilePath + ".bad"));
    EXPECT_EQ(ReadFile(elsewhere), header);
    EXPECT_EQ(Mode(elsewhere), 0644u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder + "/tarnwick-quellion"))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});  // no temporary left behind
  }
}

// A damaged file's .bad copy is made beside it, never through a link in the copy's place.
TEST_F(SettingsSandbox, DamagedFileIsKeptAsideWithoutFollowingALinkNamedBad) {
  const std::string elsewhere = Folder + "/elsewhere";
  WriteFile(elsewhere, "precious\n");
  WriteFile(FilePath, "garbage\n");
  std::filesystem::create_symlink(elsewhere, FilePath + ".bad");
  TRegistry reg(FilePath);
  ASSERT_TRUE(reg.LoadReport().Damaged);
  ASSERT_TRUE(reg.Flush()) << reg.LastError();
  EXPECT_FALSE(std::filesystem::is_symlink(FilePath + ".bad"));
  EXPECT_EQ(ReadFile(FilePath + ".bad"), "garbage\n");
  EXPECT_EQ(ReadFile(elsewhere), "precious\n");
}

TEST_F(SettingsSandbox, UnwritableFolderReportsFailureAndKeepsTheOldFile) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes everywhere";
  {
    TRegistry reg(FilePath);
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 20);
    ASSERT_TRUE(reg.Flush());
  }
  const std::string before = ReadFile(FilePath);
  ::chmod((Folder + "/tarnwick-quellion").c_str(), 0500);
  TRegistry reg(FilePath);
  reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 30);
  EXPECT_FALSE(reg.Flush());
  EXPECT_NE(reg.LastError().find("temporary"), std::string::npos) << reg.LastError();
  ::chmod((Folder + "/tarnwick-quellion").c_str(), 0700);
  EXPECT_EQ(ReadFile(FilePath), before);
}

TEST_F(SettingsSandbox, FolderThatIsAFileReportsFailure) {
  WriteFile(Folder + "/tarnwick-quellion", "not a folder");
  TRegistry reg(FilePath);
  EXPECT_FALSE(reg.LoadReport().Damaged);  // ENOTDIR: nothing there to read
  reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 20);
  EXPECT_FALSE(reg.Flush());
  EXPECT_FALSE(reg.LastError().empty());
  EXPECT_EQ(ReadFile(Folder + "/tarnwick-quellion"), "not a folder");
}

TEST_F(SettingsSandbox, TheFileLivesUnderTheUsersConfigFolder) {
  EXPECT_EQ(TRegistry::DefaultFilePath(), Folder + "/tarnwick-quellion/registry.reg");
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::setenv("HOME", "/home/someone", 1);
  ::setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(TRegistry::DefaultFilePath(), "/home/someone/.config/tarnwick-quellion/registry.reg");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(TRegistry::DefaultFilePath(), "/home/someone/.config/tarnwick-quellion/registry.reg");
  ::setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
  ::setenv("HOME", savedHome.c_str(), 1);

  // The process's store is read once; a reset reads the file again.
  WriteFile(FilePath,
            "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Tarnwick "
            "Quellion]\n\"MaxSites\"=dword:00000014\n");
  TRegistry& first = TRegistry::CurrentUser();
  EXPECT_EQ(&first, &TRegistry::CurrentUser());
  EXPECT_NE(first.FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
  std::filesystem::remove(FilePath);
  EXPECT_NE(TRegistry::CurrentUser().FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
  TRegistry::ResetCurrentUser();
  EXPECT_EQ(TRegistry::CurrentUser().FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
}

}  // namespace
}  // namespace quellion
