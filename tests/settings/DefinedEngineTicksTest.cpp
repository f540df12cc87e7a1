// The defined engines' ticks as the window and quellion-cli read them: one DWORD per
// engine name in a key of their own.
#include <gtest/gtest.h>

#include "settings/RegistryKey.h"
#include "settings/SettingsSchema.h"

namespace quellion {
namespace {

TEST(DefinedEngineTicks, OnlyAFourByteDwordOtherThanZeroTicks) {
  TRegistryKey key(kDefinedEnginesKeyName);
  key.WriteDword("One", 1);
  key.WriteDword("Seven", 7);
  key.WriteDword("Zero", 0);
  key.WriteString("Text", "1");
  key.WriteValue("Short", TRegValue{REG_DWORD, std::string("\x01\x00", 2)});
  const struct {
    const char* name;
    bool ticked;
  } cases[] = {
      {"One", true},   {"ONE", true},    {"Seven", true}, {"Zero", false},
      {"Text", false}, {"Short", false}, {"Gone", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadDefinedEngineTick(&key, c.name), c.ticked) << c.name;
  EXPECT_FALSE(ReadDefinedEngineTick(nullptr, "One")) << "no key: nothing ticked";
}

TEST(DefinedEngineTicks, WrittenTicksAreStoredAsTheyWereBefore) {
  TRegistryKey key(kDefinedEnginesKeyName);
  WriteDefinedEngineTick(key, "My Engine", true);
  WriteDefinedEngineTick(key, "Other", false);
  const TRegValue* on = key.FindValue("My Engine");
  const TRegValue* off = key.FindValue("Other");
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(on->Type, REG_DWORD);
  EXPECT_EQ(on->Data, std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(off->Data, std::string(4, '\0'));
  EXPECT_TRUE(ReadDefinedEngineTick(&key, "my engine"));
  EXPECT_FALSE(ReadDefinedEngineTick(&key, "Other"));
}

}  // namespace
}  // namespace quellion
