#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "FakeAppBarPlatform.h"
#include "appbar/AppBarCore.h"
#include "platform/Exception.h"
#include "settings/Registry.h"
#include "tests/support/TempDir.h"

namespace quellion {
namespace {

// A bar reading and writing a throw-away store file.
class AppBarSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Registry = std::make_unique<TRegistry>(Dir.File("registry.reg"));
    Bar = std::make_unique<TAppBarCore>(std::make_unique<test::TFakeAppBarPlatform>(), Service);
    Bar->SetRegistry(Registry.get());
  }
  void TearDown() override {
    Bar.reset();
    Registry.reset();
  }

  void PutDefaultValue(std::uint32_t type, std::string data) {
    Registry->OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteValue("", {type, data});
  }

  static std::string Record(const TAppBarState& state) {
    const auto bytes = EncodeAppBarState(state);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  test::TTempDir Dir{"appbar-settings"};
  std::unique_ptr<TRegistry> Registry;
  TEmulatedToolbarService Service{{0, 0, 1024, 768}};
  std::unique_ptr<TAppBarCore> Bar;
};

TEST_F(AppBarSettingsTest, MissingKeyOrValueLeavesTheStateAndCreatesNothing) {
  const TAppBarState before = Bar->State();
  EXPECT_FALSE(Bar->RestoreSettings());
  EXPECT_EQ(Registry->FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
  Registry->OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteDword("MaxSites", 10);
  EXPECT_FALSE(Bar->RestoreSettings());
  EXPECT_EQ(Bar->State(), before);
}

TEST_F(AppBarSettingsTest, ExactRecordLoadsWholeOthersAreIgnoredOrRaise) {
  TAppBarState stored;
  stored.Edge = abeLeft;
  stored.Flags = TAppBarFlags{abfAllowTop};
  stored.VertDockSize = 260;
  stored.Padding1 = {1, 2, 3};
  const TAppBarState defaults = Bar->State();
  enum TOutcome { Loaded, Ignored, Raises };
  const struct {
    std::uint32_t type;
    std::size_t size;
    TOutcome outcome;
  } cases[] = {
      {REG_BINARY, 84, Loaded}, {REG_NONE, 84, Loaded},   {REG_BINARY, 83, Ignored},
      {REG_BINARY, 0, Ignored}, {REG_BINARY, 85, Raises}, {REG_DWORD, 4, Raises},
      {REG_SZ, 84, Raises},
  };
  for (const auto& c : cases) {
    Bar->SetState(defaults);
    std::string data = Record(stored);
    data.resize(c.size, '\0');
    PutDefaultValue(c.type, data);
    switch (c.outcome) {
      case Loaded:
        EXPECT_TRUE(Bar->RestoreSettings()) << c.type << "/" << c.size;
        EXPECT_EQ(Bar->State(), stored);
        break;
      case Ignored:
        EXPECT_FALSE(Bar->RestoreSettings()) << c.type << "/" << c.size;
        EXPECT_EQ(Bar->State(), defaults);
        break;
      case Raises:
        EXPECT_THROW(Bar->RestoreSettings(), EException) << c.type << "/" << c.size;
        EXPECT_EQ(Bar->State(), defaults);
        break;
    }
  }
}

TEST_F(AppBarSettingsTest, StoreWritesTheRecordAsBinaryDefaultValueAndFlushes) {
  TAppBarState loaded;
  loaded.Edge = abeRight;
  loaded.Padding2 = {0xAA, 0xBB, 0xCC};
  PutDefaultValue(REG_BINARY, Record(loaded));
  ASSERT_TRUE(Bar->RestoreSettings());
  Bar->SetAutoHide(true);
  EXPECT_TRUE(Bar->StoreSettings());

  TRegistry reread(Dir.File("registry.reg"));
  const TRegistryKey* key = reread.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  ASSERT_NE(key, nullptr);
  const TRegValue* value = key->FindValue("");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->Type, REG_BINARY);
  loaded.AutoHide = true;
  EXPECT_EQ(value->Data, Record(loaded)) << "padding kept as held";
}

TEST_F(AppBarSettingsTest, StoreReportsAKeyThatCannotBeOpened) {
  Bar->SetKeyName("Software\nBroken");
  EXPECT_FALSE(Bar->StoreSettings());
}

}  // namespace
}  // namespace quellion
